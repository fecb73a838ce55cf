#include "tests/support/ui_rig.h"

#include "link/command_index.h"
#include "ui/aux_sensor_view.h"
#include "ui/input_filters.h"
#include "ui/menu_commands.h"
#include "ui/mmi_tests.h"

#include <algorithm>
#include <optional>
#include <set>

namespace {

using namespace ui_test;
using namespace command;

constexpr int kClicked = 0; // BN_CLICKED

// A button of the pages and what it must send: the command, which of its action texts, and
// the index byte the request starts with, if any.
struct ButtonRow {
    int button;
    CommandCode code;
    std::size_t use = 0;
    std::optional<std::uint8_t> index = std::nullopt;
};

ButtonRow indexedButton(int button, CommandCode code, std::uint8_t index) {
    return {button, code, index, index};
}

std::vector<ButtonRow> pageButtons() {
    std::vector<ButtonRow> rows = {
        {601, kGetMasterFlag},
        {602, kSetMasterFlag},
        indexedButton(1006, kGetButtonNumber, 0),
        indexedButton(1007, kSetButtonNumber, 0),
        indexedButton(1008, kGetButtonNumber, 1),
        indexedButton(1009, kSetButtonNumber, 1),
        indexedButton(1014, kGetVolume, 0),
        indexedButton(1015, kSetVolume, 0),
        indexedButton(1016, kGetVolume, 1),
        indexedButton(1017, kSetVolume, 1),
        {1020, kGetMicGain},
        {1021, kSetMicGain},
        {1024, kGetImei},
        {1027, kGetImsi},
        {1102, kGetDeviceId},
        {1104, kGetServerAckFlag},
        {1105, kSetServerAckFlag},
        {1108, kGetDataPeriod},
        {1109, kSetDataPeriod},
        {1113, kGetApn},
        {1114, kSetApn},
        {1118, kGetMqttBroker},
        {1119, kSetMqttBroker},
        {1122, kGetMqttUsername},
        {1123, kSetMqttUsername},
        {1126, kGetMqttPassword},
        {1127, kSetMqttPassword},
        {1130, kGetMqttPort},
        {1131, kSetMqttPort},
        indexedButton(1134, kGetMqttTopic, 0),
        indexedButton(1135, kSetMqttTopic, 0),
        indexedButton(1138, kGetMqttTopic, 1),
        indexedButton(1139, kSetMqttTopic, 1),
        {1201, kGetLoraEnable},
        {1202, kSetLoraEnable},
        {1205, kGetLoraDevEui},
        {1206, kSetLoraDevEui},
        {1210, kGetLoraAppEui},
        {1211, kSetLoraAppEui},
        {1214, kGetLoraAppKey},
        {1215, kSetLoraAppKey},
        {1225, kGetLoraBand},
        {1226, kSetLoraBand},
        {1301, kGetWifiEnable},
        {1302, kSetWifiEnable},
        {1305, kGetWifiSsid},
        {1306, kSetWifiSsid},
        {1309, kGetWifiPassword},
        {1310, kSetWifiPassword},
        {1401, kGetXnbEnable},
        {1402, kSetXnbEnable},
        {1405, kGetXnbId},
    };
    for (std::uint8_t siz = 0; siz < 8; ++siz) {
        rows.push_back(indexedButton(1502 + 4 * siz, kGetSizAddress, siz));
        rows.push_back(indexedButton(1503 + 4 * siz, kSetSizAddress, siz));
    }
    const std::vector<ButtonRow> rest = {
        {1534, kGetSizRssi},
        {1535, kSetSizRssi},
        {1539, kGetBracelet},
        {1540, kSetBracelet},
        {1545, kGetBleNamespace},
        {1546, kSetBleNamespace},
        {1549, kGetBleScanTime},
        {1550, kSetBleScanTime},
        {1608, kGetImmobility},
        {1609, kSetImmobility},
        {1700, kGetAuxSensors},
        {1708, kSetAuxSensor, 0},
        {1716, kSetAuxSensor, 1},
        {1901, kGetGnssAlwaysOn},
        {1902, kSetGnssAlwaysOn},
        {2027, kGetLogFlags},
        {2028, kSetLogFlags},
        indexedButton(2001, kLedTest, 0),
        indexedButton(2002, kLedTest, 1),
        {2003, kVoiceTest},
        {2004, kVibroTest},
    };
    rows.insert(rows.end(), rest.begin(), rest.end());
    return rows;
}

TEST(ButtonTable, HoldsEveryDeviceButtonOnce) {
    std::multiset<int> table;
    for (const ButtonAction& action : buttonActions()) {
        table.insert(action.buttonId);
    }
    const std::multiset<int> buttons(deviceButtons().begin(), deviceButtons().end());
    EXPECT_EQ(table, buttons);
    EXPECT_EQ(table.size(), 91u);
    EXPECT_EQ(pageButtons().size() + 2, 91u);
}

TEST(Dispatch, EveryButtonRunsItsOperationOnce) {
    UiRig rig;
    // Valid values in every field first, so that every write gets as far as the device.
    getAllSettings(rig.ui.settings);
    ASSERT_EQ(rig.controls.log().find("error"), std::string::npos) << rig.controls.log();

    for (const ButtonRow& row : pageButtons()) {
        SCOPED_TRACE(row.button);
        rig.controls.clearLog();
        rig.device.clearRequests();

        EXPECT_TRUE(dispatchPageCommand(rig.ui, row.button, kClicked));

        EXPECT_EQ(rig.controls.log(), std::string(actionText(row.code, row.use)) + "success.\r\n");
        ASSERT_EQ(rig.device.requests().size(), 1u);
        const RecordedRequest& request = rig.device.requests()[0];
        EXPECT_EQ(request.code, row.code);
        if (row.index) {
            ASSERT_FALSE(request.payload.empty());
            EXPECT_EQ(request.payload[0], *row.index);
        }
    }
}

TEST(Dispatch, AButtonActsWhateverItsNotification) {
    for (int notification : {0, 5, kEditChange, kListSelectionChange}) {
        SCOPED_TRACE(notification);
        UiRig rig;
        EXPECT_TRUE(dispatchPageCommand(rig.ui, IDC_MASTER_FLAG_READ, notification));
        EXPECT_EQ(rig.controls.log(), "Getting Master flag...   success.\r\n");
        EXPECT_EQ(rig.device.requests().size(), 1u);
    }
}

TEST(Dispatch, TheNoSignalVibrationButtonsAreAcceptedAndDoNothing) {
    UiRig rig;
    rig.controls.setChecked(IDC_NO_SIGNAL_VIBRO, true);
    for (int button : {IDC_NO_SIGNAL_VIBRO_READ, IDC_NO_SIGNAL_VIBRO_SET}) {
        SCOPED_TRACE(button);
        EXPECT_TRUE(dispatchPageCommand(rig.ui, button, kClicked));
    }
    EXPECT_EQ(rig.controls.log(), "");
    EXPECT_TRUE(rig.device.requests().empty());
    EXPECT_TRUE(rig.controls.isChecked(IDC_NO_SIGNAL_VIBRO));
}

TEST(Dispatch, OtherControlsAndNotificationsAreLeftToDefaultProcessing) {
    const struct {
        const char* name;
        int id;
        int notification;
    } rows[] = {
        {"label", IDC_BUTTON_NUMBER_1_LABEL, kClicked},
        {"check box", IDC_MASTER_FLAG, kClicked},
        {"vibration check box", IDC_NO_SIGNAL_VIBRO, kClicked},
        {"group box", IDC_MQTT_GROUP, kClicked},
        {"unfiltered edit", IDC_APN, kEditChange},
        {"read-only edit", IDC_IMEI, kEditChange},
        {"band list", IDC_LORA_BAND, kListSelectionChange},
        {"rssi list", IDC_SIZ_RSSI, kListSelectionChange},
        {"bracelet list", IDC_BRACELET_TYPE, kListSelectionChange},
        {"filtered edit, focus", IDC_VOICE_VOLUME, 0x0100},   // EN_SETFOCUS
        {"filtered edit, update", IDC_MQTT_PORT, 0x0400},     // EN_UPDATE
        {"filtered edit, max text", IDC_SIZ_1, 0x0501},       // EN_MAXTEXT
        {"gas type list, drop-down", IDC_GAS_TYPE, 7},        // CBN_DROPDOWN
        {"token type list, double click", IDC_TOKEN_TYPE, 2}, // CBN_DBLCLK
        {"gas type list, edit change", IDC_GAS_TYPE, kEditChange},
        {"tab strip", IDC_TAB_STRIP, kClicked},
        {"log pane", IDC_LOG_PANE, kEditChange},
        {"IDOK", 1, kClicked},
        {"no such control", 4242, kClicked},
        {"About label", 10001, kClicked},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UiRig rig;
        rig.controls.setNotificationHandler(nullptr);
        // Text a filter would cut, and a type whose cached entry would fill the fields.
        rig.controls.setEditText(IDC_VOICE_VOLUME, u"9");
        rig.controls.setEditText(IDC_MQTT_PORT, u"99999");
        rig.controls.setEditText(IDC_SIZ_1, u"XYZ");
        rig.auxSensors.gas[0] = {"001122334455", 1, "7"};
        rig.controls.setListSelection(IDC_GAS_TYPE, 1);
        rig.controls.setEditText(IDC_GAS_ADDRESS, u"AB");

        EXPECT_FALSE(dispatchPageCommand(rig.ui, row.id, row.notification));

        EXPECT_EQ(rig.controls.fullText(IDC_VOICE_VOLUME), u"9");
        EXPECT_EQ(rig.controls.fullText(IDC_MQTT_PORT), u"99999");
        EXPECT_EQ(rig.controls.fullText(IDC_SIZ_1), u"XYZ");
        EXPECT_EQ(rig.controls.fullText(IDC_GAS_ADDRESS), u"AB");
        EXPECT_EQ(rig.controls.listSelection(IDC_GAS_TYPE), 1);
        EXPECT_EQ(rig.controls.log(), "");
        EXPECT_TRUE(rig.device.requests().empty());
    }
}

TEST(Dispatch, FilteredEditsActOnEveryChangeAndTheTypeListsOnAChoice) {
    UiRig rig;
    rig.controls.setNotificationHandler(nullptr);
    rig.controls.setEditText(IDC_VOICE_VOLUME, u"9");
    EXPECT_TRUE(dispatchPageCommand(rig.ui, IDC_VOICE_VOLUME, kEditChange));
    EXPECT_EQ(rig.controls.fullText(IDC_VOICE_VOLUME), u"");

    rig.auxSensors.gas[0] = {"001122334455", 1, "7"};
    rig.controls.setListSelection(IDC_GAS_TYPE, 1);
    EXPECT_TRUE(dispatchPageCommand(rig.ui, IDC_GAS_TYPE, kListSelectionChange));
    EXPECT_EQ(rig.controls.fullText(IDC_GAS_ADDRESS), u"001122334455");
    EXPECT_EQ(rig.controls.fullText(IDC_GAS_PERIOD), u"7");
    EXPECT_EQ(rig.controls.log(), "");
}

enum class Entry { Typed, Pasted, SetByProgram };

struct FilterRow {
    const char* name;
    int field;
    Entry entry;
    std::u16string input;
    std::u16string after;
    int changes;  // EN_CHANGE reports, the nested ones included
    int maxDepth; // how deep the reports nested
};

TEST(InputFilters, DeleteTheLastCharacterReadUntilItPasses) {
    const std::u16string zeros30(30, u'0');
    const std::vector<FilterRow> rows = {
        {"SIZ typed 1 2 x", IDC_SIZ_1, Entry::Typed, u"12x", u"12", 4, 2},
        {"SIZ pasted 1x2 stays whole", IDC_SIZ_1, Entry::Pasted, u"1x2", u"1x2", 1, 1},
        {"SIZ 8 pasted with two bad letters", IDC_SIZ_1 + 7 * IDC_SIZ_ROW_STRIDE, Entry::Pasted,
         u"12gg", u"12", 3, 3},
        {"voice volume typed 7", IDC_VOICE_VOLUME, Entry::Typed, u"7", u"", 2, 2},
        {"tone volume typed 4 then 5", IDC_TONE_VOLUME, Entry::Typed, u"45", u"4", 3, 2},
        {"volume with blanks and sign", IDC_VOICE_VOLUME, Entry::Pasted, u" +3", u" +3", 1, 1},
        {"volume negative passes", IDC_TONE_VOLUME, Entry::Pasted, u"-9", u"-9", 1, 1},
        {"volume without digits is 0", IDC_VOICE_VOLUME, Entry::Pasted, u"x9", u"x9", 1, 1},
        {"mic gain put by a read", IDC_MIC_GAIN, Entry::SetByProgram, u"6", u"", 2, 2},
        {"data period pasted 999", IDC_DATA_PERIOD, Entry::Pasted, u"999", u"99", 2, 2},
        {"data period 180 stays", IDC_DATA_PERIOD, Entry::Typed, u"180", u"180", 3, 1},
        {"port pasted 9999999", IDC_MQTT_PORT, Entry::Pasted, u"9999999", u"9999", 4, 4},
        {"port pasted 65536", IDC_MQTT_PORT, Entry::Pasted, u"65536", u"6553", 2, 2},
        {"port pasted 65535 stays", IDC_MQTT_PORT, Entry::Pasted, u"65535", u"65535", 1, 1},
        {"T1 typed 12x stays", IDC_IMMOBILITY_T1, Entry::Typed, u"12x", u"12x", 3, 1},
        {"T3 typed 121", IDC_IMMOBILITY_T3, Entry::Typed, u"121", u"12", 4, 2},
        {"button number plus first", IDC_BUTTON_NUMBER_1, Entry::Typed, u"+7", u"+7", 2, 1},
        {"button number plus anywhere", IDC_BUTTON_NUMBER_2, Entry::Typed, u"8+9+", u"8+9+", 4, 1},
        {"button number letter after 8", IDC_BUTTON_NUMBER_1, Entry::Typed, u"8a", u"8", 3, 2},
        {"DEV_EUI reads 31 characters only", IDC_LORA_DEV_EUI, Entry::Pasted, zeros30 + u"0x",
         zeros30 + u"0x", 1, 1},
        {"DEV_EUI deletes the 31st, not the last", IDC_LORA_DEV_EUI, Entry::Pasted, zeros30 + u"x0",
         zeros30 + u"0", 2, 2},
        {"APP_KEY letter g", IDC_LORA_APP_KEY, Entry::Typed, u"Ag", u"A", 3, 2},
        {"bracelet lower-case hex stays", IDC_BRACELET_ADDRESS, Entry::Pasted, u"ab09ef", u"ab09ef",
         1, 1},
        {"bracelet period pasted 61", IDC_BRACELET_PERIOD, Entry::Pasted, u"61", u"6", 2, 2},
        {"namespace pasted with Z", IDC_BLE_NAMESPACE, Entry::Pasted, u"ABCDEFZ", u"ABCDEF", 2, 2},
        {"scan time typed 9", IDC_BLE_SCAN_TIME, Entry::Typed, u"9", u"", 2, 2},
        {"gas MAC typed G", IDC_GAS_ADDRESS, Entry::Typed, u"G", u"", 2, 2},
        {"gas period 60 stays", IDC_GAS_PERIOD, Entry::Pasted, u"60", u"60", 1, 1},
        {"token MAC pasted", IDC_TOKEN_ADDRESS, Entry::Pasted, u"D8A01D556002", u"D8A01D556002", 1,
         1},
        {"token on/off typed 1", IDC_TOKEN_VALUE, Entry::Typed, u"1", u"1", 1, 1},
        {"token on/off typed 2", IDC_TOKEN_VALUE, Entry::Typed, u"2", u"", 2, 2},
        {"unfiltered APN", IDC_APN, Entry::Pasted, u"x!", u"x!", 1, 1},
    };
    for (const FilterRow& row : rows) {
        SCOPED_TRACE(row.name);
        UiRig rig;
        int changes = 0;
        int depth = 0;
        int maxDepth = 0;
        rig.controls.setNotificationHandler([&](int id, int code) {
            ++changes;
            maxDepth = std::max(maxDepth, ++depth);
            dispatchPageCommand(rig.ui, id, code);
            --depth;
        });

        switch (row.entry) {
        case Entry::Typed:
            rig.controls.typeText(row.field, row.input);
            break;
        case Entry::Pasted:
            rig.controls.pasteText(row.field, row.input);
            break;
        case Entry::SetByProgram:
            rig.controls.setEditText(row.field, row.input);
            break;
        }

        EXPECT_EQ(rig.controls.fullText(row.field), row.after);
        EXPECT_EQ(changes, row.changes);
        EXPECT_EQ(maxDepth, row.maxDepth);
        EXPECT_EQ(rig.controls.log(), "");
    }
}

TEST(InputFilters, TheLoraKeysDeleteByClearingTheSelection) {
    const struct {
        int field;
        EditDeletion expected;
    } rows[] = {
        {IDC_LORA_DEV_EUI, EditDeletion::ClearSelection},
        {IDC_LORA_APP_EUI, EditDeletion::ClearSelection},
        {IDC_LORA_APP_KEY, EditDeletion::ClearSelection},
        {IDC_SIZ_1, EditDeletion::ReplaceSelection},
        {IDC_VOICE_VOLUME, EditDeletion::ReplaceSelection},
        {IDC_BUTTON_NUMBER_1, EditDeletion::ReplaceSelection},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.field);
        UiRig rig;
        rig.controls.typeText(row.field, u"9z");
        const EditDeletion* deletion = rig.controls.lastDeletion(row.field);
        ASSERT_NE(deletion, nullptr);
        EXPECT_EQ(*deletion, row.expected);
    }
}

TEST(InputFilters, OneRowPerFilteredField) {
    std::set<int> fields;
    for (const InputFilter& filter : inputFilters()) {
        EXPECT_TRUE(fields.insert(filter.fieldId).second) << filter.fieldId;
        EXPECT_EQ(findInputFilter(filter.fieldId), &filter);
    }
    const std::set<int> expected = {1004, 1005, 1012, 1013, 1019, 1107, 1129, 1204, 1209, 1213,
                                    1501, 1505, 1509, 1513, 1517, 1521, 1525, 1529, 1537, 1542,
                                    1544, 1548, 1603, 1605, 1607, 1703, 1707, 1711, 1715};
    EXPECT_EQ(fields, expected);
}

struct AuxRow {
    const char* name;
    int list;
    int choice;
    std::u16string mac;
    std::u16string value;
    int selectionAfter;
};

TEST(AuxSensorView, AChoiceShowsTheCachedEntryOfItsType) {
    const std::vector<AuxRow> rows = {
        {"gas type with values", IDC_GAS_TYPE, 2, u"E45F01020304", u"15", 2},
        {"gas type whose entry is empty", IDC_GAS_TYPE, 1, u"", u"", 1},
        {"gas type with a MAC the filter cuts", IDC_GAS_TYPE, 3, u"0011223344", u"60", 3},
        {"gas type last entry", IDC_GAS_TYPE, 4, u"ABCDEF012345", u"0", 4},
        {"gas blank entry", IDC_GAS_TYPE, 0, u"", u"", kNoSelection},
        {"gas nothing chosen", IDC_GAS_TYPE, kNoSelection, u"", u"", kNoSelection},
        {"token type", IDC_TOKEN_TYPE, 1, u"D8A01D556002", u"1", 1},
        {"token blank entry", IDC_TOKEN_TYPE, 0, u"", u"", kNoSelection},
    };
    for (const AuxRow& row : rows) {
        SCOPED_TRACE(row.name);
        UiRig rig;
        rig.auxSensors.gas[1] = {"E45F01020304", 2, "15"};
        rig.auxSensors.gas[2] = {"0011223344ZZ", 3, "60"};
        rig.auxSensors.gas[3] = {"ABCDEF012345", 4, "0"};
        rig.auxSensors.token = {"D8A01D556002", 1, "1"};
        const AuxSensorGroup* group = findAuxSensorGroup(row.list);
        ASSERT_NE(group, nullptr);
        rig.controls.setEditText(group->macField, u"AAAA");
        rig.controls.setEditText(group->valueField, u"0");
        // The other group is not touched.
        const AuxSensorGroup* other =
            findAuxSensorGroup(row.list == IDC_GAS_TYPE ? IDC_TOKEN_TYPE : IDC_GAS_TYPE);
        rig.controls.setEditText(other->macField, u"BBBB");
        rig.controls.setListSelection(row.list, row.choice);

        EXPECT_TRUE(dispatchPageCommand(rig.ui, row.list, kListSelectionChange));

        EXPECT_EQ(rig.controls.fullText(group->macField), row.mac);
        EXPECT_EQ(rig.controls.fullText(group->valueField), row.value);
        EXPECT_EQ(rig.controls.listSelection(row.list), row.selectionAfter);
        EXPECT_EQ(rig.controls.fullText(other->macField), u"BBBB");
        EXPECT_EQ(rig.auxSensors.gas[2].macText, "0011223344ZZ");
        EXPECT_EQ(rig.controls.log(), "");
        EXPECT_TRUE(rig.device.requests().empty());
    }
    EXPECT_EQ(findAuxSensorGroup(IDC_BRACELET_TYPE), nullptr);
}

TEST(AuxSensorView, TextsAreTheDevicesEightBitText) {
    UiRig rig;
    // Windows-1251 bytes become the characters the control shows.
    rig.auxSensors.token = {"ABC", 1, "1"};
    rig.auxSensors.gas[0] = {std::string("\xC0\xC1", 2), 1, "5"};
    rig.controls.setNotificationHandler(nullptr);
    rig.controls.setListSelection(IDC_GAS_TYPE, 1);
    showAuxSensorEntry(rig.controls, rig.auxSensors, *findAuxSensorGroup(IDC_GAS_TYPE));
    EXPECT_EQ(rig.controls.fullText(IDC_GAS_ADDRESS), u"АБ");
    EXPECT_EQ(rig.controls.fullText(IDC_GAS_PERIOD), u"5");
}

const std::vector<std::size_t> kPageSizes = {3, 29, 40, 19, 11, 6, 51, 11, 17, 3, 33};

std::vector<int> slotsOf(const PageRegistry& pages, std::size_t page) {
    const auto& slots = pages.slots[page];
    return {slots.begin(), slots.begin() + static_cast<long>(pageControlCount(pages, page))};
}

std::vector<int> idRange(int first, int last) {
    std::vector<int> ids;
    for (int id = first; id <= last; ++id) {
        ids.push_back(id);
    }
    return ids;
}

std::vector<int> joined(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> all;
    for (const std::vector<int>& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

TEST(PageRegistry, RegistersEachPageInSlotOrder) {
    PageRegistry pages;
    pages.slots[3][40] = 12345; // filling empties the table first
    fillPageRegistry(pages);

    const struct {
        std::size_t page;
        std::vector<int> slots;
    } rows[] = {
        {0, {600, 601, 602}},
        {1, joined({{1002, 1004, 1006, 1007, 1003, 1005, 1008, 1009, 1010, 1012, 1014, 1015, 1011,
                     1013},
                    idRange(1016, 1030)})},
        {2, idRange(1100, 1139)},
        {3, joined({idRange(1200, 1206), idRange(1208, 1215), idRange(1223, 1226)})},
        {4, idRange(1300, 1310)},
        {5, idRange(1400, 1405)},
        {6, idRange(1500, 1550)},
        {7, idRange(1600, 1610)},
        {8, joined({idRange(1701, 1716), {1700}})},
        {9, {1900, 1901, 1902}},
        {10, joined({idRange(2000, 2013), idRange(2029, 2032), idRange(2014, 2028)})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.page);
        EXPECT_EQ(slotsOf(pages, row.page), row.slots);
        EXPECT_EQ(pageControlCount(pages, row.page), kPageSizes[row.page]);
        for (std::size_t slot = row.slots.size(); slot < kPageSlots; ++slot) {
            ASSERT_EQ(pages.slots[row.page][slot], kEmptySlot) << slot;
        }
    }
    EXPECT_EQ(std::u16string(pageLabel(0)), u"Общее");
    EXPECT_EQ(std::u16string(pageLabel(7)), u"Датчики(внутр.)");
    EXPECT_EQ(std::u16string(pageLabel(10)), u"Сервис");
    EXPECT_EQ(pageLabel(11), nullptr);
}

// The pages whose controls are all visible; a page partly shown is reported as -1.
std::vector<int> shownPages(const Controls& controls, const PageRegistry& pages) {
    std::vector<int> shown;
    for (std::size_t page = 0; page < kPageCount; ++page) {
        std::size_t visible = 0;
        for (int id : slotsOf(pages, page)) {
            visible += controls.isControlVisible(id) ? 1 : 0;
        }
        if (visible == pageControlCount(pages, page)) {
            shown.push_back(static_cast<int>(page));
        } else if (visible != 0) {
            shown.push_back(-1);
        }
    }
    return shown;
}

TEST(TabSwitch, ShowsTheChosenPageOnly) {
    UiRig rig;
    ASSERT_EQ(shownPages(rig.controls, rig.ui.pages), std::vector<int>{0});
    ASSERT_EQ(rig.ui.currentPage, 0u);

    EXPECT_TRUE(onTabNotification(rig.controls, rig.ui.pages, rig.ui.currentPage, IDC_TAB_STRIP,
                                  kTabSelectionChange, 6));

    EXPECT_EQ(rig.ui.currentPage, 6u);
    for (int id : {600, 601, 602}) {
        EXPECT_FALSE(rig.controls.isControlVisible(id)) << id;
    }
    for (int id = 1500; id <= 1550; ++id) {
        EXPECT_TRUE(rig.controls.isControlVisible(id)) << id;
    }
    EXPECT_EQ(shownPages(rig.controls, rig.ui.pages), std::vector<int>{6});

    for (std::size_t page : {10u, 1u, 8u, 3u, 0u, 9u, 2u, 7u, 4u, 5u}) {
        SCOPED_TRACE(page);
        switchPage(rig.controls, rig.ui.pages, rig.ui.currentPage, page);
        EXPECT_EQ(rig.ui.currentPage, page);
        EXPECT_EQ(shownPages(rig.controls, rig.ui.pages), std::vector<int>{static_cast<int>(page)});
    }
    EXPECT_EQ(rig.controls.log(), "");
}

TEST(TabSwitch, ChoosingTheShownTabChangesNothing) {
    UiRig rig;
    // Were the page shown again, this hidden control would reappear.
    rig.controls.setControlVisible(601, false);
    EXPECT_TRUE(onTabNotification(rig.controls, rig.ui.pages, rig.ui.currentPage, IDC_TAB_STRIP,
                                  kTabSelectionChange, 0));
    EXPECT_FALSE(rig.controls.isControlVisible(601));
    EXPECT_TRUE(rig.controls.isControlVisible(600));
    EXPECT_EQ(rig.ui.currentPage, 0u);
}

TEST(TabSwitch, OtherNotificationsAreNotHandled) {
    const struct {
        const char* name;
        int control;
        int code;
    } rows[] = {
        {"tab strip click", IDC_TAB_STRIP, -2},      // NM_CLICK
        {"tab strip changing", IDC_TAB_STRIP, -552}, // TCN_SELCHANGING
        {"another control", IDC_LOG_PANE, kTabSelectionChange},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UiRig rig;
        EXPECT_FALSE(onTabNotification(rig.controls, rig.ui.pages, rig.ui.currentPage, row.control,
                                       row.code, 6));
        EXPECT_EQ(rig.ui.currentPage, 0u);
        EXPECT_EQ(shownPages(rig.controls, rig.ui.pages), std::vector<int>{0});
    }
}

TEST(TabSwitch, AFullPageIsHiddenAndShownWhole) {
    MemoryControls controls;
    PageRegistry pages;
    for (std::size_t slot = 0; slot < kPageSlots; ++slot) {
        pages.slots[0][slot] = 3000 + static_cast<int>(slot);
    }
    pages.slots[1][0] = 4000;
    controls.setControlVisible(4000, false);
    std::size_t current = 0;

    switchPage(controls, pages, current, 1);
    for (std::size_t slot = 0; slot < kPageSlots; ++slot) {
        EXPECT_FALSE(controls.isControlVisible(3000 + static_cast<int>(slot))) << slot;
    }
    EXPECT_TRUE(controls.isControlVisible(4000));

    switchPage(controls, pages, current, 0);
    for (std::size_t slot = 0; slot < kPageSlots; ++slot) {
        EXPECT_TRUE(controls.isControlVisible(3000 + static_cast<int>(slot))) << slot;
    }
    EXPECT_FALSE(controls.isControlVisible(4000));
    EXPECT_EQ(pageControlCount(pages, 0), kPageSlots);
}

Bytes message(std::initializer_list<std::uint8_t> bytes) {
    return Bytes(bytes);
}

TEST(MmiTests, SendTheirRequestAndJudgeTheStatus) {
    const struct {
        const char* name;
        int button;
        std::optional<Bytes> reply; // nullopt: the device's own answer
        bool silent;
        Bytes sent;
        const char* log;
    } rows[] = {
        {"LED 1", 2001, std::nullopt, false, message({0x00, 0x03, 0x00, 0x01, 0x00}),
         "Toggle green led...   success.\r\n"},
        {"LED 2", 2002, std::nullopt, false, message({0x00, 0x03, 0x00, 0x01, 0x01}),
         "Toggle red led...   success.\r\n"},
        {"voice", 2003, std::nullopt, false, message({0x00, 0x04, 0x00, 0x00}),
         "Switching on voice...   success.\r\n"},
        {"vibro", 2004, std::nullopt, false, message({0x00, 0x05, 0x00, 0x00}),
         "Switching on vibro...   success.\r\n"},
        {"LED 2 status 02", 2002, Bytes{0x02}, false, message({0x00, 0x03, 0x00, 0x01, 0x01}),
         "Toggle red led...   ack error.\r\n"},
        {"voice reply of two bytes", 2003, Bytes{0x00, 0x00}, false,
         message({0x00, 0x04, 0x00, 0x00}), "Switching on voice...   ack error.\r\n"},
        {"vibro empty reply", 2004, Bytes{}, false, message({0x00, 0x05, 0x00, 0x00}),
         "Switching on vibro...   ack error.\r\n"},
        {"LED 1 silent device", 2001, std::nullopt, true, message({0x00, 0x03, 0x00, 0x01, 0x00}),
         "Toggle green led...   cmd sending error.\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UiRig rig;
        const CommandCode code = static_cast<CommandCode>(row.sent[0] << 8 | row.sent[1]);
        if (row.silent) {
            rig.silence(code);
        } else if (row.reply) {
            rig.reply(code, *row.reply);
        }

        EXPECT_TRUE(dispatchPageCommand(rig.ui, row.button, kClicked));

        EXPECT_EQ(rig.controls.log(), row.log);
        ASSERT_EQ(rig.device.requests().size(), 1u);
        EXPECT_EQ(rig.device.requests()[0].message, row.sent);
    }
}

TEST(MmiTests, NamedOperationsAndAClosedPort) {
    UiRig rig;
    EXPECT_TRUE(mmiToggleLed(rig.ui.settings, 1));
    EXPECT_TRUE(mmiToggleLed(rig.ui.settings, 0));
    EXPECT_TRUE(mmiVoice(rig.ui.settings));
    EXPECT_TRUE(mmiVibro(rig.ui.settings));
    EXPECT_EQ(rig.controls.log(), "Toggle red led...   success.\r\n"
                                  "Toggle green led...   success.\r\n"
                                  "Switching on voice...   success.\r\n"
                                  "Switching on vibro...   success.\r\n");
    ASSERT_EQ(rig.device.requests().size(), 4u);
    EXPECT_EQ(rig.device.requests()[0].payload, Bytes{0x01});

    rig.controls.clearLog();
    rig.device.clearRequests();
    EXPECT_FALSE(mmiToggleLed(rig.ui.settings, 2));
    EXPECT_FALSE(mmiToggleLed(rig.ui.settings, -1));
    EXPECT_EQ(rig.controls.log(), "");
    EXPECT_TRUE(rig.device.requests().empty());

    rig.channel.setOpen(false);
    EXPECT_FALSE(mmiVibro(rig.ui.settings));
    EXPECT_EQ(rig.controls.log(), "Switching on vibro...   cmd sending error.\r\n");
    EXPECT_TRUE(rig.device.requests().empty());
}

} // namespace
