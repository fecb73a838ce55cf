#include "tests/support/ui_rig.h"
#include "tests/support/wire_bytes.h"

#include "profile/page_profile.h"
#include "settings/setting_catalogue.h"
#include "ui/about_queries.h"
#include "ui/menu_commands.h"
#include "ui/ui_language.h"

#include <map>
#include <numeric>
#include <set>
#include <tuple>

namespace {

using namespace ui_test;

std::string gPresentPort; // the port directory as the removal check sees it

enum class Event { Connect, FromMenu, Disconnect, Exit, Unplug, OtherDevice };

TEST(Connection, ConnectDisconnectRemovalAndTheFarewellAtExit) {
    using enum Event;
    const Bytes second02 = encodeReplyFrame(0x0000, Bytes{0x02});
    const struct {
        Event event;
        bool connected;
        SimFault fault;
        std::uint32_t secondReplyMs; // after the first connect reply; 0: at once
        const char* log;
        bool changes; // connects, or releases the port
    } rows[] = {
        {Connect, false, answer({}, {}, 9999), 59999, "Connecting...   success.\r\n", true},
        {Connect, false, answer({}, {}, 10001), 0, "Connecting...   cmd sending error.\r\n", false},
        {FromMenu, false, answer({}, {}, 601), 0, "Connecting...   cmd sending error.\r\n", false},
        {Connect, false, {}, 60001, "Connecting...   ack error.\r\n", false},
        {Connect, false, answer(Bytes{0x01}, second02), 0, "Connecting...   ack error.\r\n", false},
        {Disconnect, true, {}, 0, "Disconnecting...   success.\r\n", true},
        {Disconnect, true, answer(Bytes{0x01}), 0, "Disconnecting...   ack error.\r\n", false},
        {Disconnect, true, kSilent, 0, "Disconnecting...   cmd sending error.\r\n", false},
        {Exit, true, {}, 0, "Disconnecting...   success.\r\n", false},
        {Exit, false, {}, 0, "", false},
        {Unplug, true, {}, 0, "Com Port was closed\r\n", true},
        {OtherDevice, true, {}, 0, "", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << int(row.event) << row.connected << row.log);
        SimulatorOptions options;
        options.connectSecondReplyDelayMs = row.secondReplyMs;
        UiRig rig(options);
        if (row.connected) {
            rig.connectOnCom7();
        }
        const bool connect = row.event == Connect || row.event == FromMenu;
        if (connect) { // the port the picker opened
            rig.connection.openPortName = rig.connection.currentPortName = "COM7";
        }
        rig.device.scriptFault(connect ? 0x0000 : 0x0001, row.fault);
        const std::string before = enablingState(rig.controls);
        gPresentPort = row.event == OtherDevice ? "COM7" : "";
        if (connect) {
            const std::uint32_t timeoutMs = row.event == Connect ? 10000 : 600;
            EXPECT_EQ(connectDevice(rig.ui.settings, rig.connection, timeoutMs), row.changes);
        } else if (row.event == Disconnect) {
            EXPECT_EQ(disconnectDevice(rig.ui.settings, rig.connection), row.changes);
        } else if (row.event == Exit) {
            disconnectOnExit(rig.ui.settings, rig.connection);
        } else {
            onDeviceChange(rig.ui.settings, rig.connection, 7, // DBT_DEVNODES_CHANGED
                           [](const std::string& name) { return name == gPresentPort; });
        }
        EXPECT_EQ(rig.controls.log(), row.log);
        const std::string log = row.log;
        ASSERT_EQ(rig.device.requests().size(), log.find("...") != std::string::npos ? 1u : 0u);
        if (!rig.device.requests().empty()) { // 0x0000 or 0x0001, empty payload
            const std::uint8_t code = log.starts_with("Conn") ? 0x00 : 0x01;
            EXPECT_EQ(rig.device.requests()[0].message, (Bytes{0x00, code, 0x00, 0x00}));
        }
        const std::string after = !row.changes ? before : connect ? kConnected : kNoDevice;
        EXPECT_EQ(enablingState(rig.controls), after);
        const bool inUse = connect ? row.changes : row.connected && !row.changes;
        EXPECT_EQ(rig.connection.currentPortName, inUse ? "COM7" : "");
        EXPECT_EQ(rig.channel.isOpen(), !row.changes || connect);
    }
}

// An exchange of a run over all settings: code, index its request starts with, progress text.
struct Exchange {
    CommandCode code;
    int index;
    const char* action;
};

// clang-format off
const std::vector<Exchange> kReadAll = {
    {0x0009, -1, "Getting Master flag...   "}, {0x0101, 0, "Getting green button number...   "},
    {0x0101, 1, "Getting red button number...   "}, {0x0103, 0, "Getting voice volume...   "},
    {0x0103, 1, "Getting tone volume...   "}, {0x0105, -1, "Getting mic gain...   "},
    {0x0300, -1, "Getting IMEI...   "}, {0x0301, -1, "Getting IMSI...   "},
    {0x0200, -1, "Getting device ID...   "}, {0x0204, -1, "Getting server ack flag...   "},
    {0x0206, -1, "Getting data period...   "}, {0x0303, -1, "Getting APN...   "},
    {0x020A, -1, "Getting MQTT BROKER...   "}, {0x020C, -1, "Getting MQTT USERNAME...   "},
    {0x020E, -1, "Getting MQTT PASSWORD...   "}, {0x0210, -1, "Getting MQTT PORT...   "},
    {0x0212, 0, "Getting MQTT TOPIC_SUB...   "}, {0x0212, 1, "Getting MQTT TOPIC_PUB...   "},
    {0x0501, -1, "Getting LoRa enable flag...   "}, {0x0503, -1, "Getting LoRa DEV_EUI...   "},
    {0x0505, -1, "Getting LoRa APP_EUI...   "}, {0x0507, -1, "Getting LoRa APP_KEY...   "},
    {0x0509, -1, "Getting LoRa band...   "}, {0x0701, -1, "Getting WiFi enable flag...   "},
    {0x0703, -1, "Getting WiFi ssid...   "}, {0x0705, -1, "Getting WiFi pwd...   "},
    {0x0601, -1, "Getting XNB enable flag...   "}, {0x0603, -1, "Getting XNB ID...   "},
    {0x0801, 0, "Getting SIZ_1...   "}, {0x0801, 1, "Getting SIZ_2...   "},
    {0x0801, 2, "Getting SIZ_3...   "}, {0x0801, 3, "Getting SIZ_4...   "},
    {0x0801, 4, "Getting SIZ_5...   "}, {0x0801, 5, "Getting SIZ_6...   "},
    {0x0801, 6, "Getting SIZ_7...   "}, {0x0801, 7, "Getting SIZ_8...   "},
    {0x0803, -1, "Getting SIZ rssi...   "}, {0x0805, -1, "Getting bracelet...   "},
    {0x0807, -1, "Getting BLE namespace...   "}, {0x0809, -1, "Getting BLE period...   "},
    {0x0A03, -1, "Getting immobility settings...   "}, {0x0A01, -1, "Getting ble aux data...   "},
    {0x0C01, -1, "Getting GNSS always flag...   "}, {0x0007, -1, "Getting log flags...   "},
};

const std::vector<Exchange> kLoadAll = {
    {0x0008, -1, "Setting Master flag...   "}, {0x0100, 0, "Setting green button number...   "},
    {0x0100, 1, "Setting red button number...   "}, {0x0102, 0, "Setting voice volume...   "},
    {0x0102, 1, "Setting tone volume...   "}, {0x0104, -1, "Setting mic gain...   "},
    {0x0203, -1, "Setting server ack flag...   "}, {0x0205, -1, "Setting data period...   "},
    {0x0302, -1, "Setting APN...   "}, {0x0209, -1, "Setting MQTT BROKER...   "},
    {0x020B, -1, "Setting MQTT USERNAME...   "}, {0x020D, -1, "Setting MQTT PASSWORD...   "},
    {0x020F, -1, "Setting MQTT PORT...   "}, {0x0211, 0, "Setting MQTT TOPIC_SUB...   "},
    {0x0211, 1, "Setting MQTT TOPIC_PUB...   "}, {0x0500, -1, "Setting LoRa enable flag...   "},
    {0x0502, -1, "Setting LoRa DEV_EUI...   "}, {0x0504, -1, "Setting LoRa APP_EUI...   "},
    {0x0506, -1, "Setting LoRa APP_KEY...   "}, {0x0508, -1, "Setting LoRa band...   "},
    {0x0700, -1, "Setting WiFi enable flag...   "}, {0x0702, -1, "Setting WiFi ssid...   "},
    {0x0704, -1, "Setting WiFi pwd...   "}, {0x0600, -1, "Setting XNB enable flag...   "},
    {0x0800, 0, "Setting SIZ_1...   "}, {0x0800, 1, "Setting SIZ_2...   "},
    {0x0800, 2, "Setting SIZ_3...   "}, {0x0800, 3, "Setting SIZ_4...   "},
    {0x0800, 4, "Setting SIZ_5...   "}, {0x0800, 5, "Setting SIZ_6...   "},
    {0x0800, 6, "Setting SIZ_7...   "}, {0x0800, 7, "Setting SIZ_8...   "},
    {0x0802, -1, "Setting SIZ rssi...   "}, {0x0804, -1, "Setting bracelet...   "},
    {0x0806, -1, "Setting BLE namespace...   "}, {0x0808, -1, "Setting BLE scan time...   "},
    {0x0A02, -1, "Setting immobility settings...   "},
    {0x0A00, -1, "Setting gas analyzer data...   "}, {0x0A00, -1, "Setting token data...   "},
    {0x0C00, -1, "Setting GNSS always flag...   "}, {0x0006, -1, "Setting log flags...   "},
};
// clang-format on

std::string logOf(const std::vector<Exchange>& run, const char* result) {
    return std::accumulate(
        run.begin(), run.end(), std::string(),
        [&](const std::string& log, const Exchange& e) { return log + e.action + result; });
}

// Each request's code and index: a read's payload, or the first byte of an indexed write.
void expectSent(const DeviceSimulator& device, const std::vector<Exchange>& run) {
    ASSERT_EQ(device.requests().size(), run.size());
    for (std::size_t i = 0; i < run.size(); ++i) {
        const Bytes& payload = device.requests()[i].payload;
        EXPECT_EQ(device.requests()[i].code, run[i].code) << run[i].action;
        EXPECT_EQ(payload.empty() || run[i].index < 0 ? -1 : payload[0], run[i].index)
            << run[i].action;
    }
}

TEST(AllSettings, ReadAndLoadEveryOneInOrderWithTheButtonsDisabled) {
    for (const bool answers : {true, false}) {
        SCOPED_TRACE(answers ? "model device" : "silent device");
        UiRig rig;
        rig.connectOnCom7();
        for (const auto* run : {&kReadAll, &kLoadAll}) {
            for (const Exchange& exchange : *run) {
                rig.device.scriptFault(exchange.code, answers ? SimFault{} : kSilent);
            }
        }
        // A log text written while a button is enabled would let another exchange start.
        std::size_t textsWithAButtonEnabled = 0;
        rig.controls.setLogSink([&](std::string_view) {
            textsWithAButtonEnabled += enablingState(rig.controls) != "00111 off";
        });
        getAllSettings(rig.ui.settings);
        EXPECT_EQ(rig.controls.log(),
                  logOf(kReadAll, answers ? "success.\r\n" : "cmd sending error.\r\n"));
        expectSent(rig.device, kReadAll);
        EXPECT_EQ(enablingState(rig.controls), kConnected);
        rig.startLine();
        setAllSettings(rig.ui.settings);
        if (answers) {
            EXPECT_EQ(rig.controls.log(), logOf(kLoadAll, "success.\r\n"));
            expectSent(rig.device, kLoadAll);
        }
        EXPECT_EQ(textsWithAButtonEnabled, 0u);
        EXPECT_EQ(enablingState(rig.controls), kConnected);
    }
}

// Saved after a read all, opened elsewhere, read back from a device that kept another port.
TEST(PageProfiles, SaveOpenAndVerifyThePageFields) {
    std::string file; // what the last save wrote, what the next open reads
    const ProfileSink save = [&](std::string_view text, std::string&) { return file = text, true; };
    const ProfileSource open = [&](std::string& text, std::string&) { return text = file, true; };
    const ProfileSink full = [](auto, std::string& error) { return error = "disk full", false; };
    UiRig rig, fresh;
    rig.connectOnCom7();
    getAllSettings(rig.ui.settings);
    rig.startLine();
    EXPECT_TRUE(!savePageProfile(rig.controls, full) && savePageProfile(rig.controls, save));
    const std::string saved = file;
    const std::size_t port = saved.find("\nmqtt-port=1883\nmqtt-topic-sub=tarnwick/cmd/");
    ASSERT_NE(port, std::string::npos);
    // A refused file changes no field, not even those above its faulty line (master-flag=1).
    for (const std::string& refused : {std::string(saved).replace(port, 15, "\nmqtt-port=70000"),
                                       std::string(1 << 20 | 1, '#')}) {
        file = refused;
        EXPECT_FALSE(openPageProfile(fresh.controls, open));
    }
    EXPECT_FALSE(fresh.controls.isChecked(600));
    file = saved;
    EXPECT_TRUE(openPageProfile(fresh.controls, open));
    EXPECT_TRUE(fresh.controls.isChecked(600) && fresh.controls.fullText(1129) == u"1883");
    EXPECT_EQ(
        rig.controls.log() + fresh.controls.log(),
        "Saving profile...   error (disk full).\r\nSaving profile...   success.\r\n"
        "Opening profile...   error (line 17: mqtt-port takes a number up to 65535).\r\n"
        "Opening profile...   error (larger than 1 MiB).\r\nOpening profile...   success.\r\n");
    rig.startLine();
    rig.device.storeValue(0x0210, {0x22, 0xB3}); // 8883
    std::size_t textsWithAButtonEnabled = 0;
    rig.controls.setLogSink([&](std::string_view) {
        textsWithAButtonEnabled += enablingState(rig.controls) != "00111 off";
    });
    verifyPageSettings(rig.ui.settings);
    EXPECT_TRUE(rig.controls.log().ends_with("Getting log flags...   success.\r\n"
                                             "mqtt-port: wrote 1883, the device has 8883\r\n"
                                             "not verifiable: gas-analyzer, token (write only)\r\n"
                                             "39 settings read back, 1 field differs\r\n"));
    EXPECT_EQ(std::to_string(textsWithAButtonEnabled) + " " + enablingState(rig.controls),
              "0 " + kConnected);
    EXPECT_EQ(rig.controls.fullText(1129), u"1883"); // the page keeps what it had
}

std::string cacheText(const AuxSensorCache& cache) {
    std::string text = cache.token.macText + cache.token.valueText;
    for (const AuxSensorEntry& entry : cache.gas) {
        text += ";" + entry.macText + "," + std::to_string(entry.listIndex) + "," + entry.valueText;
    }
    return text;
}

TEST(Pages, EveryButtonRunsOneExchangeAndClearingEmptiesEveryFieldInPageOrderAndNothingElse) {
    UiRig rig;
    rig.connectOnCom7();
    getAllSettings(rig.ui.settings); // valid values everywhere, so that every write is sent
    // Each device button runs one exchange above or a test, once; the no-signal two run none.
    std::multiset<std::string> ran, expected = {"0 ",
                                                "0 ",
                                                "1 3 Toggle green led...   success.\r\n",
                                                "1 3 Toggle red led...   success.\r\n",
                                                "1 4 Switching on voice...   success.\r\n",
                                                "1 5 Switching on vibro...   success.\r\n"};
    for (const auto* run : {&kReadAll, &kLoadAll}) {
        for (const Exchange& e : *run) {
            expected.insert("1 " + std::to_string(e.code) + " " + e.action + "success.\r\n");
        }
    }
    for (int button : deviceButtons()) {
        rig.startLine();
        EXPECT_TRUE(dispatchPageCommand(rig.ui, button, 0)) << button;
        const auto& sent = rig.device.requests();
        ran.insert(std::to_string(sent.size()) + " " +
                   (sent.empty() ? "" : std::to_string(sent[0].code) + " ") + rig.controls.log());
    }
    EXPECT_EQ(ran, expected);
    rig.controls.setChecked(1028, true);
    const std::string log = rig.controls.log(), cache = cacheText(rig.auxSensors);
    rig.device.clearRequests();
    std::vector<int> editsEmptied;
    rig.controls.setNotificationHandler([&](int id, int) { editsEmptied.push_back(id); });
    clearAllFields(rig.controls, rig.ui.pages);
    std::map<int, FieldKind> fields = {{1028, FieldKind::Check}}; // and the catalogue's
    for (const SettingRow& row : settingCatalogue()) {
        for (const SettingField& field : settingFields(row)) {
            fields.emplace(field.controlId, field.kind);
        }
    }
    std::vector<int> editsInPageOrder;
    std::map<int, int> slots;
    for (std::size_t page = 0; page < kPageCount; ++page) {
        for (std::size_t slot = 0; slot < pageControlCount(rig.ui.pages, page); ++slot) {
            const int id = rig.ui.pages.slots[page][slot];
            if (++slots[id] == 1 && fields.contains(id) && isEditField(fields[id])) {
                editsInPageOrder.push_back(id);
            }
        }
    }
    for (const auto& [id, kind] : fields) {
        EXPECT_EQ(slots[id], 1) << id;
        if (kind == FieldKind::Check) {
            EXPECT_FALSE(rig.controls.isChecked(id)) << id;
        } else if (isEditField(kind)) {
            EXPECT_EQ(rig.controls.fullText(id), u"") << id;
        } else {
            EXPECT_EQ(rig.controls.listSelection(id), 0) << id; // the blank entry, not none
        }
    }
    EXPECT_EQ(editsEmptied, editsInPageOrder);
    EXPECT_EQ(rig.controls.log(), log);
    EXPECT_EQ(cacheText(rig.auxSensors), cache);
    EXPECT_EQ(enablingState(rig.controls), kConnected);
    EXPECT_TRUE(rig.connection.currentPortName == "COM7" && rig.channel.isOpen());
    EXPECT_TRUE(rig.device.requests().empty());
}

// A LoRa key (1204) reads 31 characters and clears the selection instead of replacing it.
TEST(InputFilters, DeleteTheLastCharacterNestedUntilItPasses) {
    const std::u16string zeros30(30, u'0');
    const struct {
        int field;
        bool typed; // or pasted
        std::u16string input;
        std::u16string after;
        int changes;  // the edit's change reports, the nested ones included
        int maxDepth; // how deep they nested
    } rows[] = {
        {1501, true, u"12x", u"12", 4, 2},   {1501, false, u"1x2", u"1x2", 1, 1},
        {1529, false, u"12gg", u"12", 3, 3}, {1012, true, u"7", u"", 2, 2},
        {1107, false, u"999", u"99", 2, 2},  {1129, false, u"9999999", u"9999", 4, 4},
        {1603, true, u"12x", u"12x", 3, 1},  {1005, true, u"8+9+", u"8+9+", 4, 1},
        {1112, false, u"x!", u"x!", 1, 1},   {1204, false, zeros30 + u"x0", zeros30 + u"0", 2, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.field << " " << row.input.size());
        UiRig rig;
        int changes = 0, depth = 0, maxDepth = 0;
        rig.controls.setNotificationHandler([&](int id, int code) {
            ++changes;
            maxDepth = std::max(maxDepth, ++depth);
            dispatchPageCommand(rig.ui, id, code);
            --depth;
        });
        (rig.controls.*(row.typed ? &MemoryControls::typeText : &MemoryControls::pasteText))(
            row.field, row.input);
        EXPECT_EQ(rig.controls.fullText(row.field), row.after);
        EXPECT_EQ(changes, row.changes);
        EXPECT_EQ(maxDepth, row.maxDepth);
        if (const EditDeletion* how = rig.controls.lastDeletion(row.field)) {
            EXPECT_EQ(*how == EditDeletion::ClearSelection, row.field == 1204);
        }
    }
}

TEST(MmiTests, SendTheirRequestAndJudgeTheStatus) {
    const struct {
        int button;
        SimFault fault;
        Bytes sent;
        const char* log;
    } rows[] = {
        {2001, {}, {0, 3, 0, 1, 0}, "Toggle green led...   success.\r\n"},
        {2003, {}, {0, 4, 0, 0}, "Switching on voice...   success.\r\n"},
        {2002, answer(Bytes{2}), {0, 3, 0, 1, 1}, "Toggle red led...   ack error.\r\n"},
        {2004, kSilent, {0, 5, 0, 0}, "Switching on vibro...   cmd sending error.\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.log);
        UiRig rig;
        rig.device.scriptFault(row.sent[1], row.fault);
        EXPECT_TRUE(dispatchPageCommand(rig.ui, row.button, 0));
        EXPECT_EQ(rig.controls.log(), row.log);
        ASSERT_EQ(rig.device.requests().size(), 1u);
        EXPECT_EQ(rig.device.requests()[0].message, row.sent);
    }
}

// Each type list has its MAC field 2 below its ID and its value field 2 above.
TEST(AuxSensorView, AChoiceShowsTheCachedEntryOfItsType) {
    const struct {
        int list;
        int choice;
        std::u16string mac;
        std::u16string value;
        int selectionAfter;
    } rows[] = {
        {1705, 2, u"E45F01020304", u"15", 2}, {1705, 1, u"", u"", 1},
        {1705, 3, u"0011223344", u"60", 3},   {1705, 0, u"", u"", kNoSelection},
        {1713, 1, u"D8A01D556002", u"1", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.list << " entry " << row.choice);
        UiRig rig;
        rig.auxSensors.gas[1] = {"E45F01020304", 2, "15"};
        rig.auxSensors.gas[2] = {"0011223344ZZ", 3, "60"}; // the MAC filter cuts what it shows
        rig.auxSensors.token = {"D8A01D556002", 1, "1"};
        rig.controls.setEditText(row.list - 2, u"A");
        rig.controls.setEditText(row.list + 2, u"1");
        rig.controls.setListSelection(row.list, row.choice);
        EXPECT_TRUE(dispatchPageCommand(rig.ui, row.list, kListSelectionChange));
        EXPECT_EQ(rig.controls.fullText(row.list - 2), row.mac);
        EXPECT_EQ(rig.controls.fullText(row.list + 2), row.value);
        EXPECT_EQ(rig.controls.listSelection(row.list), row.selectionAfter);
    }
}

TEST(About, SixQueriesOneLabelEachCutTo63BytesAtAWholeCharacter) {
    const struct {
        const WireCodePage& codePage;
        const char* reply; // to the firmware query
        std::u16string label;
        const char* result;
    } rows[] = {
        {cp1251CodePage(), "00 00 'v'*80", u"FW: " + std::u16string(59, u'v'), "success.\r\n"},
        // "FW: " and 29 letters make 62 bytes; a 30th would need 64.
        {utf8CodePage(), "00 00 'Ж'*40", u"FW: " + std::u16string(29, u'Ж'), "success.\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.reply << " " << row.result);
        UiRig rig;
        MemoryControls controls(row.codePage);
        SettingContext context{rig.link, controls, rig.auxSensors};
        rig.reply(0x0002, wire(row.reply));
        const VersionLabels labels = queryVersions(context);
        const std::u16string texts[] = {row.label,       u"GSM: 01.200.01.200", u"LBLE: 1.6.2",
                                        u"GNSS: 3.01.2", u"WiFi: 3.2.0",        u"XNB: 1.0.3"};
        const std::uint8_t modules[] = {0, 1, 6, 7, 5, 4};
        ASSERT_EQ(rig.device.requests().size(), 6u);
        for (std::size_t i = 0; i < 6; ++i) {
            EXPECT_EQ(labels[i].labelId, 10001 + static_cast<int>(i));
            EXPECT_EQ(labels[i].text, texts[i]);
            EXPECT_EQ(rig.device.requests()[i].message, (Bytes{0, 2, 0, 1, modules[i]}));
        }
        std::string log = std::string("Get SW version...   ") + row.result;
        for (const char* module : {"GSM", "LBLE", "GNSS", "WiFi", "XNB"}) {
            log += std::string("Get ") + module + " version...   success.\r\n";
        }
        EXPECT_EQ(controls.log(), log);
    }
}

} // namespace

TEST(UiLanguage, RussianForTheFormerLayoutGroupEnglishOtherwiseAndTheLangOptionTakesRuOrEnOnly) {
    constexpr auto ru = UiLanguage::Russian, en = UiLanguage::English;
    // ru-RU, ru-MD, uk-UA, be-BY, kk-KZ; en-US, de-DE, uz-Latn-UZ, neutral
    const std::pair<std::uint16_t, UiLanguage> users[] = {{0x0419, ru}, {0x0819, ru}, {0x0422, ru},
                                                          {0x0423, ru}, {0x043F, ru}, {0x0409, en},
                                                          {0x0407, en}, {0x0443, en}, {0x0000, en}};
    for (const auto& [id, language] : users) {
        EXPECT_EQ(languageForUser(id), language) << std::hex << id;
    }
    const std::tuple<std::string, bool, UiLanguage> options[] = {
        {"ru", true, ru}, {"EN", true, en},   {"En", true, en},  {"de", false, ru},
        {"", false, ru},  {"en ", false, ru}, {"rus", false, ru}};
    for (const auto& [value, known, language] : options) {
        UiLanguage parsed = ru;
        EXPECT_EQ(parseUiLanguage(value, parsed), known) << value;
        EXPECT_EQ(parsed, language) << value;
    }
}
