#include "ui/page_setup.h"

#include "resources/control_ids.h"
#include "settings/ble_tags.h"
#include "settings/setting_catalogue.h"

#include <array>

namespace {

// The read-only fields take no limit.
constexpr TextLimit kTextLimits[] = {
    {1004, 25}, {1005, 25}, {1012, 3},  {1013, 3},  {1019, 2},  {1107, 3},  {1112, 50}, {1117, 50},
    {1121, 19}, {1125, 19}, {1129, 5},  {1133, 30}, {1137, 30}, {1204, 16}, {1209, 16}, {1213, 32},
    {1304, 60}, {1308, 60}, {1501, 12}, {1505, 12}, {1509, 12}, {1513, 12}, {1517, 12}, {1521, 12},
    {1525, 12}, {1529, 12}, {1537, 12}, {1542, 2},  {1544, 20}, {1548, 1},  {1603, 3},  {1605, 3},
    {1607, 3},  {1703, 12}, {1707, 2},  {1711, 12}, {1715, 1},
};

constexpr std::array<int, 5> kLists = {IDC_LORA_BAND, IDC_SIZ_RSSI, IDC_BRACELET_TYPE, IDC_GAS_TYPE,
                                       IDC_TOKEN_TYPE};

} // namespace

std::span<const TextLimit> textLimits() {
    return kTextLimits;
}

std::span<const int> pageLists() {
    return kLists;
}

std::vector<std::u16string> listEntries(int listId) {
    std::vector<std::u16string> entries;
    if (listId == IDC_SIZ_RSSI) {
        for (int entry = 0; entry < kRssiEntries; ++entry) {
            entries.push_back(rssiEntryText(entry));
        }
        return entries;
    }
    for (const SettingRow& row : settingCatalogue()) {
        for (const SettingField& field : settingFields(row)) {
            if (field.controlId == listId && !field.listEntries.empty()) {
                entries.assign(field.listEntries.begin(), field.listEntries.end());
                return entries;
            }
        }
    }
    return entries;
}

void setUpPageControls(Controls& controls) {
    for (const TextLimit& limit : kTextLimits) {
        controls.setTextLimit(limit.editId, limit.chars);
    }
    for (int listId : kLists) {
        controls.setListEntries(listId, listEntries(listId));
    }
    controls.setListSelection(IDC_SIZ_RSSI, 0);
}
