#include "ui/aux_sensor_view.h"

#include "resources/control_ids.h"

#include <array>
#include <span>
#include <string>

namespace {

constexpr std::array<AuxSensorGroup, 2> kGroups = {{
    {IDC_GAS_TYPE, IDC_GAS_ADDRESS, IDC_GAS_PERIOD},
    {IDC_TOKEN_TYPE, IDC_TOKEN_ADDRESS, IDC_TOKEN_VALUE},
}};

std::span<const AuxSensorEntry> groupEntries(const AuxSensorCache& cache,
                                             const AuxSensorGroup& group) {
    if (group.typeList == IDC_GAS_TYPE) {
        return cache.gas;
    }
    return {&cache.token, 1};
}

std::u16string controlText(const Controls& controls, const std::string& text) {
    return fromWireText(controls.codePage(), reinterpret_cast<const std::uint8_t*>(text.data()),
                        text.size());
}

} // namespace

const AuxSensorGroup* findAuxSensorGroup(int typeList) {
    for (const AuxSensorGroup& group : kGroups) {
        if (group.typeList == typeList) {
            return &group;
        }
    }
    return nullptr;
}

void showAuxSensorEntry(Controls& controls, const AuxSensorCache& cache,
                        const AuxSensorGroup& group) {
    controls.setEditText(group.macField, u"");
    controls.setEditText(group.valueField, u"");
    const int selection = controls.listSelection(group.typeList);
    if (selection < 1) {
        controls.setListSelection(group.typeList, kNoSelection);
        return;
    }
    const std::span<const AuxSensorEntry> entries = groupEntries(cache, group);
    const auto slot = static_cast<std::size_t>(selection - 1);
    if (slot >= entries.size()) {
        return; // the lists hold no more types than the cache
    }
    controls.setEditText(group.macField, controlText(controls, entries[slot].macText));
    controls.setEditText(group.valueField, controlText(controls, entries[slot].valueText));
}
