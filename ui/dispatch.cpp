#include "ui/dispatch.h"

#include "resources/control_ids.h"
#include "settings/setting_shapes.h"
#include "ui/aux_sensor_view.h"
#include "ui/input_filters.h"

#include <vector>

namespace {

std::vector<ButtonAction> buildButtonActions() {
    std::vector<ButtonAction> actions;
    for (const SettingRow& row : settingCatalogue()) {
        if (row.readButton != 0) {
            actions.push_back({row.readButton, ButtonOp::Get, &row});
        }
        if (row.setButton != 0) {
            actions.push_back({row.setButton, ButtonOp::Set, &row});
        }
    }
    for (const MmiTest& test : mmiTests()) {
        actions.push_back({test.buttonId, ButtonOp::MmiTest, nullptr, &test});
    }
    // The no-signal vibration check box has no exchange behind it.
    actions.push_back({IDC_NO_SIGNAL_VIBRO_READ, ButtonOp::Nothing});
    actions.push_back({IDC_NO_SIGNAL_VIBRO_SET, ButtonOp::Nothing});
    return actions;
}

void runButton(UiContext& ui, const ButtonAction& action) {
    switch (action.op) {
    case ButtonOp::Get:
        getSetting(ui.settings, *action.row);
        break;
    case ButtonOp::Set:
        setSetting(ui.settings, *action.row);
        break;
    case ButtonOp::MmiTest:
        runMmiTest(ui.settings, *action.test);
        break;
    case ButtonOp::Nothing:
        break;
    }
}

} // namespace

std::span<const ButtonAction> buttonActions() {
    static const std::vector<ButtonAction> actions = buildButtonActions();
    return actions;
}

const ButtonAction* findButtonAction(int buttonId) {
    for (const ButtonAction& action : buttonActions()) {
        if (action.buttonId == buttonId) {
            return &action;
        }
    }
    return nullptr;
}

bool dispatchPageCommand(UiContext& ui, int controlId, int notification) {
    if (const ButtonAction* action = findButtonAction(controlId)) {
        runButton(ui, *action);
        return true;
    }
    if (const InputFilter* filter = findInputFilter(controlId)) {
        if (notification != kEditChange) {
            return false;
        }
        runInputFilter(ui.settings.controls, *filter);
        return true;
    }
    if (const AuxSensorGroup* group = findAuxSensorGroup(controlId)) {
        if (notification != kListSelectionChange) {
            return false;
        }
        showAuxSensorEntry(ui.settings.controls, ui.settings.auxSensors, *group);
        return true;
    }
    return false;
}
