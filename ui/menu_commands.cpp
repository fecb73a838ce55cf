#include "ui/menu_commands.h"

#include "controls/device_buttons.h"
#include "resources/control_ids.h"
#include "settings/setting_shapes.h"
#include "ui/input_filters.h"

#include <optional>

namespace {

// The kind of a value control: a field of some catalogue row, or the one check box that no
// operation reads or writes. Labels, groups and buttons have none.
std::optional<FieldKind> valueControlKind(int id) {
    if (id == IDC_NO_SIGNAL_VIBRO) {
        return FieldKind::Check;
    }
    for (const SettingRow& row : settingCatalogue()) {
        for (const SettingField& field : settingFields(row)) {
            if (field.controlId == id) {
                return field.kind;
            }
        }
    }
    return std::nullopt;
}

void clearEdit(Controls& controls, int id) {
    const InputFilter* filter = findInputFilter(id);
    if (filter != nullptr && filter->deletion == EditDeletion::ClearSelection) {
        // The key fields are emptied the way they delete: select all, then clear.
        controls.deleteEditText(id, 0, kTextEnd, EditDeletion::ClearSelection);
        return;
    }
    controls.setEditText(id, u"");
}

void clearControl(Controls& controls, int id, FieldKind kind) {
    switch (kind) {
    case FieldKind::Check:
        controls.setChecked(id, false);
        break;
    case FieldKind::Edit:
    case FieldKind::Number:
        clearEdit(controls, id);
        break;
    case FieldKind::List:
    case FieldKind::RssiList:
        // From the program, so no selection handler runs.
        controls.setListSelection(id, 0);
        break;
    }
}

bool stopped(StopCheck stopRequested) {
    return stopRequested != nullptr && stopRequested();
}

} // namespace

void getAllSettings(SettingContext& context, StopCheck stopRequested) {
    disableDeviceButtons(context.controls);
    for (const SettingRow& row : settingCatalogue()) {
        if (stopped(stopRequested)) {
            break;
        }
        if (row.getCode) {
            getSetting(context, row);
        }
    }
    enableDeviceButtons(context.controls);
}

void setAllSettings(SettingContext& context, StopCheck stopRequested) {
    disableDeviceButtons(context.controls);
    for (const SettingRow& row : settingCatalogue()) {
        if (stopped(stopRequested)) {
            break;
        }
        if (row.setCode) {
            setSetting(context, row);
        }
    }
    enableDeviceButtons(context.controls);
}

void clearAllFields(Controls& controls, const PageRegistry& registry) {
    for (std::size_t page = 0; page < kPageCount; ++page) {
        for (int id : registry.slots[page]) {
            if (id == kEmptySlot) {
                break;
            }
            if (const std::optional<FieldKind> kind = valueControlKind(id)) {
                clearControl(controls, id, *kind);
            }
        }
    }
}
