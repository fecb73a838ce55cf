#include "link/command_index.h"
#include "resources/control_ids.h"
#include "settings/ble_address.h"
#include "settings/ble_tags.h"
#include "settings/gnss_log.h"
#include "settings/sensors.h"
#include "settings/setting_shapes.h"
#include "sim/device_simulator.h"
#include "sim/simulator_channel.h"
#include "controls/memory_controls.h"
#include "ui/page_setup.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using S = SettingId;

Bytes concat(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

const Bytes kAddress = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};

struct Fixture : ::testing::Test {
    DeviceSimulator device;
    SimulatorChannel channel{device};
    DeviceLink link;
    MemoryControls controls;
    AuxSensorCache cache;
    SettingContext context{link, controls, cache};

    void SetUp() override {
        initDeviceLink(link, &channel);
        setUpPageControls(controls);
    }

    void reply(CommandCode code, Bytes payload) {
        SimFault fault;
        fault.payload = std::move(payload);
        device.scriptFault(code, fault);
    }

    Bytes lastRequest() const {
        return device.requests().empty() ? Bytes{0xEE} : device.requests().back().payload;
    }

    void startLine() {
        controls.clearLog();
        device.clearRequests();
    }
};

using BleTags = Fixture;

TEST_F(BleTags, RssiEntriesAndWireValuesBothWays) {
    EXPECT_EQ(rssiEntryText(1), u"127 dB");
    EXPECT_EQ(rssiEntryText(128), u"0 dB");
    EXPECT_EQ(rssiEntryText(129), u"-1 dB");
    EXPECT_EQ(rssiEntryText(256), u"-128 dB");
    const struct {
        std::uint8_t wire;
        int entry;
    } rows[] = {{0x7F, 1}, {0x01, 127}, {0x00, 128}, {0xFF, 129}, {0x80, 256}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.entry);
        reply(command::kGetSizRssi, {0x00, row.wire});
        getSizRssi(context);
        EXPECT_EQ(controls.listSelection(IDC_SIZ_RSSI), row.entry);

        startLine();
        controls.setListSelection(IDC_SIZ_RSSI, row.entry);
        setSizRssi(context);
        EXPECT_EQ(lastRequest(), Bytes{row.wire});
        EXPECT_EQ(controls.log(), "Setting SIZ rssi...   success.\r\n");
    }
    startLine();
    controls.setListSelection(IDC_SIZ_RSSI, 0);
    setSizRssi(context);
    EXPECT_EQ(controls.log(), "Setting SIZ rssi...   error.\r\n");
    EXPECT_TRUE(device.requests().empty());
}

TEST(BleAddress, TextToBytesAndBack) {
    const struct {
        std::u16string text;
        AddressParse parse;
        Bytes bytes;
    } rows[] = {
        {u"0A1B2C3D4E5F", AddressParse::Ok, kAddress},
        {u"0a1b2c3d4e5f", AddressParse::Ok, kAddress},
        {u"FFFFFFFFFFFF", AddressParse::Ok, Bytes(6, 0xFF)},
        {u"0A1B2C3D4E5", AddressParse::WrongLength, {}},
        {u"0A1B2C3D4E5F0", AddressParse::WrongLength, {}},
        {u"", AddressParse::WrongLength, {}},
        {u"GGGGGGGGGGGG", AddressParse::NoNumber, {}},
        // The scan stops at the first non-hex character.
        {u"12x456789ABC", AddressParse::Ok, {0x00, 0x00, 0x00, 0x00, 0x00, 0x12}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.text.begin(), row.text.end()));
        BleAddress address{};
        ASSERT_EQ(parseAddress(row.text, address), row.parse);
        if (row.parse == AddressParse::Ok) {
            EXPECT_EQ(Bytes(address.begin(), address.end()), row.bytes);
        }
    }
    EXPECT_EQ(addressText(kAddress.data()), u"0A1B2C3D4E5F");
}

TEST_F(BleTags, SizAddressReadAndWrite) {
    struct Row {
        const char* name;
        int index;
        std::u16string text; // set: the field; get: what it shows after
        std::optional<Bytes> deviceReply;
        std::optional<Bytes> sent; // set only; nullopt: nothing sent
        const char* log;
        bool isSet;
    };
    const std::vector<Row> rows = {
        {"read SIZ 3", 2, u"0A1B2C3D4E5F", concat({0x02, 0x00}, kAddress), Bytes{0x02},
         "Getting SIZ_3...   success.\r\n", false},
        {"read echoes another slot", 2, u"", concat({0x03, 0x00}, kAddress), Bytes{0x02},
         "Getting SIZ_3...   ack error.\r\n", false},
        {"read of one byte", 0, u"", Bytes{0x00}, Bytes{0x00},
         "Getting SIZ_1...   error (data format).\r\n", false},
        {"read of status alone", 7, u"", Bytes{0x07, 0x00}, Bytes{0x07},
         "Getting SIZ_8...   ack error.\r\n", false},
        {"write lower case", 4, u"0a1b2c3d4e5f", std::nullopt, concat({0x04}, kAddress),
         "Setting SIZ_5...   success.\r\n", true},
        {"write of 11", 4, u"0A1B2C3D4E5", std::nullopt, std::nullopt,
         "Setting SIZ_5...   error (wrong data length).\r\n", true},
        {"write of 13", 4, u"0A1B2C3D4E5F0", std::nullopt, std::nullopt,
         "Setting SIZ_5...   error (wrong data length).\r\n", true},
        {"write empty", 1, u"", std::nullopt, std::nullopt, "Setting SIZ_2...   error.\r\n", true},
        {"write no number", 1, u"ZZZZZZZZZZZZ", std::nullopt, std::nullopt,
         "Setting SIZ_2...   error (data conversion).\r\n", true},
        {"write reply too long", 1, u"0A1B2C3D4E5F", Bytes{0x01, 0x00, 0x00},
         concat({0x01}, kAddress), "Setting SIZ_2...   error (ack format).\r\n", true},
        {"write reply wrong echo", 1, u"0A1B2C3D4E5F", Bytes{0x02, 0x00}, concat({0x01}, kAddress),
         "Setting SIZ_2...   ack error.\r\n", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const int field = IDC_SIZ_1 + IDC_SIZ_ROW_STRIDE * row.index;
        controls.setEditText(field, row.isSet ? row.text : u"stale");
        startLine();
        if (row.deviceReply) {
            reply(row.isSet ? command::kSetSizAddress : command::kGetSizAddress, *row.deviceReply);
        }
        row.isSet ? setSizAddress(context, row.index) : getSizAddress(context, row.index);
        EXPECT_EQ(controls.log(), row.log);
        EXPECT_EQ(controls.fullText(field), row.text);
        if (row.sent) {
            EXPECT_EQ(lastRequest(), *row.sent);
        } else {
            EXPECT_TRUE(device.requests().empty());
        }
    }
    startLine();
    getSizAddress(context, 8);
    setSizAddress(context, -1);
    EXPECT_EQ(controls.log(), "error.\r\nerror.\r\n");
    EXPECT_TRUE(device.requests().empty());
    // Reading SIZ 3 sends exactly 08 01 00 01 02 before framing.
    getSizAddress(context, 2);
    EXPECT_EQ(device.requests().back().message, (Bytes{0x08, 0x01, 0x00, 0x01, 0x02}));
}

TEST_F(BleTags, BraceletNamespaceAndScanTime) {
    const Bytes bracelet = concat(concat({0x00, 0x05}, kAddress), {0x1E});
    struct Row {
        const char* name;
        SettingId id;
        bool isSet;
        std::optional<Bytes> deviceReply;
        const char* result;
    };
    // Field values before a set: address, type entry, period, namespace, scan time.
    controls.setEditText(IDC_BRACELET_ADDRESS, u"0a1b2c3d4e5f");
    controls.setListSelection(IDC_BRACELET_TYPE, 5);
    controls.setEditText(IDC_BRACELET_PERIOD, u"0");
    startLine();
    setBracelet(context);
    EXPECT_EQ(controls.log(), "Setting bracelet...   success.\r\n");
    EXPECT_EQ(lastRequest(), concat(concat({0x05}, kAddress), {0x00}));

    const struct {
        const char* name;
        std::u16string address;
        int type;
        std::u16string period;
        const char* result;
    } refusedSets[] = {
        {"empty address", u"", 5, u"30", "error.\r\n"},
        {"no type", u"0A1B2C3D4E5F", 0, u"30", "error.\r\n"},
        {"empty period", u"0A1B2C3D4E5F", 5, u"", "error.\r\n"},
        {"short address", u"0A1B2C3D4E5", 5, u"30", "error (wrong data length).\r\n"},
        {"type 4", u"0A1B2C3D4E5F", 4, u"30", "error (data is out of range).\r\n"},
        {"period 61", u"0A1B2C3D4E5F", 5, u"61", "error (data is out of range).\r\n"},
        {"address no number", u"-ZZZZZZZZZZZ", 5, u"61", "error (data is out of range).\r\n"},
        {"address no number, period fine", u"-ZZZZZZZZZZZ", 5, u"6",
         "error (data conversion).\r\n"},
    };
    for (const auto& row : refusedSets) {
        SCOPED_TRACE(row.name);
        controls.setEditText(IDC_BRACELET_ADDRESS, row.address);
        controls.setListSelection(IDC_BRACELET_TYPE, row.type);
        controls.setEditText(IDC_BRACELET_PERIOD, row.period);
        startLine();
        setBracelet(context);
        EXPECT_EQ(controls.log(), std::string("Setting bracelet...   ") + row.result);
        EXPECT_TRUE(device.requests().empty());
    }

    const struct {
        const char* name;
        Bytes deviceReply;
        const char* result;
        std::u16string address;
        int type;
        std::u16string period;
    } gets[] = {
        {"good", bracelet, "success.\r\n", u"0A1B2C3D4E5F", 5, u"30"},
        {"period 0", concat(concat({0x00, 0x05}, kAddress), {0x00}), "success.\r\n",
         u"0A1B2C3D4E5F", 5, u"0"},
        {"period 61", concat(concat({0x00, 0x05}, kAddress), {0x3D}),
         "error (data is out of range).\r\n", u"", kNoSelection, u""},
        {"type 4", concat(concat({0x00, 0x04}, kAddress), {0x1E}),
         "error (data is out of range).\r\n", u"", kNoSelection, u""},
        {"status alone", {0x00}, "ack error.\r\n", u"", kNoSelection, u""},
        {"short", {0x00, 0x05}, "error (data format).\r\n", u"", kNoSelection, u""},
    };
    for (const auto& row : gets) {
        SCOPED_TRACE(row.name);
        controls.setEditText(IDC_BRACELET_ADDRESS, u"stale");
        startLine();
        reply(command::kGetBracelet, row.deviceReply);
        getBracelet(context);
        EXPECT_EQ(controls.log(), std::string("Getting bracelet...   ") + row.result);
        EXPECT_EQ(controls.fullText(IDC_BRACELET_ADDRESS), row.address);
        EXPECT_EQ(controls.listSelection(IDC_BRACELET_TYPE), row.type);
        EXPECT_EQ(controls.fullText(IDC_BRACELET_PERIOD), row.period);
    }

    // The namespace travels as its own character codes.
    controls.setEditText(IDC_BLE_NAMESPACE, u"0123456789ABCDEF0123");
    startLine();
    setBleNamespace(context);
    EXPECT_EQ(lastRequest(), Bytes({'0', '1', '2', '3', '4', '5', '6', '7', '8', '9',
                                    'A', 'B', 'C', 'D', 'E', 'F', '0', '1', '2', '3'}));
    controls.setEditText(IDC_BLE_NAMESPACE, u"0123456789ABCDEF012");
    startLine();
    setBleNamespace(context);
    EXPECT_EQ(controls.log(), "Setting BLE namespace...   error (wrong data length).\r\n");
    EXPECT_TRUE(device.requests().empty());

    const struct {
        Bytes deviceReply;
        const char* log;
        std::u16string shown;
    } scanGets[] = {
        {{0x00, 0x09}, "Getting BLE period...   error (data is out of range).\r\n", u""},
        {{0x00, 0x00}, "Getting BLE period...   success.\r\n", u"0"},
        {{0x00, 0x08}, "Getting BLE period...   success.\r\n", u"8"},
    };
    for (const auto& row : scanGets) {
        startLine();
        reply(command::kGetBleScanTime, row.deviceReply);
        getBleScanTime(context);
        EXPECT_EQ(controls.log(), row.log);
        EXPECT_EQ(controls.fullText(IDC_BLE_SCAN_TIME), row.shown);
    }
    controls.setEditText(IDC_BLE_SCAN_TIME, u"-1");
    startLine();
    setBleScanTime(context);
    EXPECT_EQ(controls.log(), "Setting BLE scan time...   error (data is out of range).\r\n");
}

using Sensors = Fixture;

Bytes immobilityReply(std::uint8_t enabled, std::uint8_t horizontal, std::uint32_t t1,
                      std::uint32_t t2, std::uint32_t t3) {
    Bytes bytes = {0x00, enabled, horizontal};
    for (std::uint32_t ms : {t1, t2, t3}) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            bytes.push_back(static_cast<std::uint8_t>(ms >> shift));
        }
    }
    return bytes;
}

TEST_F(Sensors, ImmobilityMinutesAndPayload) {
    const struct {
        const char* name;
        Bytes deviceReply;
        const char* result;
        std::u16string t1, t3;
        bool enabled, horizontal;
    } gets[] = {
        {"one minute exactly", immobilityReply(1, 0, 60000, 60000, 60000), "success.\r\n", u"1",
         u"1", true, false},
        {"a millisecond short of one minute", immobilityReply(1, 0, 59999, 60000, 60000),
         "error (data is out of range).\r\n", u"", u"", false, false},
        {"just under 121 minutes shows 120", immobilityReply(2, 3, 60000, 60000, 121 * 60000 - 1),
         "success.\r\n", u"1", u"120", true, true},
        {"121 minutes", immobilityReply(1, 1, 60000, 60000, 121 * 60000),
         "error (data is out of range).\r\n", u"", u"", false, false},
        {"disabled still checks the times", immobilityReply(0, 0, 0, 60000, 60000),
         "error (data is out of range).\r\n", u"", u"", false, false},
        {"status alone", {0x00}, "ack error.\r\n", u"", u"", false, false},
    };
    for (const auto& row : gets) {
        SCOPED_TRACE(row.name);
        controls.setChecked(IDC_IMMOBILITY_ENABLE, true);
        startLine();
        reply(command::kGetImmobility, row.deviceReply);
        getImmobility(context);
        EXPECT_EQ(controls.log(), std::string("Getting immobility settings...   ") + row.result);
        EXPECT_EQ(controls.fullText(IDC_IMMOBILITY_T1), row.t1);
        EXPECT_EQ(controls.fullText(IDC_IMMOBILITY_T3), row.t3);
        EXPECT_EQ(controls.isChecked(IDC_IMMOBILITY_ENABLE), row.enabled);
        EXPECT_EQ(controls.isChecked(IDC_IMMOBILITY_HORIZONTAL), row.horizontal);
    }

    // Not enabled: one zero byte, whatever the fields hold.
    controls.setChecked(IDC_IMMOBILITY_ENABLE, false);
    controls.setEditText(IDC_IMMOBILITY_T1, u"");
    startLine();
    setImmobility(context);
    EXPECT_EQ(device.requests().back().message, (Bytes{0x0A, 0x02, 0x00, 0x01, 0x00}));

    controls.setChecked(IDC_IMMOBILITY_ENABLE, true);
    controls.setChecked(IDC_IMMOBILITY_HORIZONTAL, false);
    controls.setEditText(IDC_IMMOBILITY_T1, u"1");
    controls.setEditText(IDC_IMMOBILITY_T2, u"2");
    controls.setEditText(IDC_IMMOBILITY_T3, u"120");
    startLine();
    setImmobility(context);
    EXPECT_EQ(controls.log(), "Setting immobility settings...   success.\r\n");
    EXPECT_EQ(lastRequest(), (Bytes{0x01, 0x00, 0x00, 0x00, 0xEA, 0x60, 0x00, 0x01, 0xD4, 0xC0,
                                    0x00, 0x6D, 0xDD, 0x00}));

    const struct {
        std::u16string t1, t2, t3;
        const char* result;
    } refused[] = {
        {u"0", u"2", u"3", "error (data is out of range).\r\n"},
        {u"1", u"121", u"3", "error (data is out of range).\r\n"},
        {u"1", u"", u"3", "error.\r\n"},
        {u"500", u"2", u"", "error.\r\n"},
    };
    for (const auto& row : refused) {
        controls.setEditText(IDC_IMMOBILITY_T1, row.t1);
        controls.setEditText(IDC_IMMOBILITY_T2, row.t2);
        controls.setEditText(IDC_IMMOBILITY_T3, row.t3);
        startLine();
        setImmobility(context);
        EXPECT_EQ(controls.log(), std::string("Setting immobility settings...   ") + row.result);
        EXPECT_TRUE(device.requests().empty());
    }
}

Bytes record(std::uint8_t type, std::uint8_t value) {
    return concat(concat({type}, kAddress), {value});
}

TEST_F(Sensors, AuxSensorFrames) {
    struct Row {
        const char* name;
        std::optional<Bytes> stored; // the device's records; nullopt: keep its own
        std::optional<SimFault> fault;
        const char* log;
        std::u16string gasPeriod;
        int gasType;
        std::u16string tokenValue;
    };
    SimFault status2;
    status2.status = 2;
    SimFault moreAnnounced;
    moreAnnounced.status = 1;
    SimFault shortFrame;
    shortFrame.payload = Bytes{0x00, 0x03};
    const std::vector<Row> rows = {
        {"two frames", concat(record(3, 15), record(1, 1)), std::nullopt,
         "Getting ble aux data...   success.\r\n", u"15", 2, u"1"},
        {"no records", Bytes{}, std::nullopt, "Getting ble aux data...   success.\r\n", u"",
         kNoSelection, u""},
        {"status 2", concat(record(3, 15), record(1, 1)), status2,
         "Getting ble aux data...   ack error 1.\r\n", u"", kNoSelection, u""},
        {"further frame never comes", record(4, 20), moreAnnounced,
         "Getting ble aux data...   ack error 3.\r\n", u"20", 3, u""},
        {"bad length", Bytes{}, shortFrame, "Getting ble aux data...   error (data format).\r\n",
         u"", kNoSelection, u""},
        {"out-of-range records cost a line each",
         concat(concat(record(5, 61), record(1, 2)), concat(record(2, 9), record(0, 7))),
         std::nullopt,
         "Getting ble aux data...   \r\n   GAS ANALYZER error (data is out of range).\r\n"
         "\r\n   TOKEN error (data is out of range).\r\nsuccess.\r\n",
         u"7", 1, u""},
        {"a zero value fills the cache only", record(4, 0), std::nullopt,
         "Getting ble aux data...   success.\r\n", u"", kNoSelection, u""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // A device of its own per row: frames a refused read left unread stay out of the next.
        DeviceSimulator rowDevice;
        SimulatorChannel rowChannel{rowDevice};
        initDeviceLink(link, &rowChannel);
        emptyAuxSensorCache(cache);
        rowDevice.storeValue(command::kGetAuxSensors, *row.stored);
        if (row.fault) {
            rowDevice.scriptFault(command::kGetAuxSensors, *row.fault);
        }
        controls.clearLog();
        getAuxSensors(context);
        EXPECT_EQ(controls.log(), row.log);
        EXPECT_EQ(controls.fullText(IDC_GAS_PERIOD), row.gasPeriod);
        EXPECT_EQ(controls.listSelection(IDC_GAS_TYPE), row.gasType);
        EXPECT_EQ(controls.fullText(IDC_TOKEN_VALUE), row.tokenValue);
        initDeviceLink(link, &channel);
    }
    // The last row left Mirax in the cache with value 0.
    EXPECT_EQ(cache.gas[2].macText, "0A1B2C3D4E5F");
    EXPECT_EQ(cache.gas[2].valueText, "0");
    EXPECT_EQ(cache.gas[2].listIndex, 3);
}

TEST_F(Sensors, GasWriteUpdatesTheCacheAndTokenDoesNot) {
    cache.gas[0].valueText = "5";
    cache.gas[1].valueText = "15";
    cache.token.valueText = "1";
    controls.setEditText(IDC_GAS_ADDRESS, u"0A1B2C3D4E5F");
    controls.setListSelection(IDC_GAS_TYPE, 3); // Mirax ()
    controls.setEditText(IDC_GAS_PERIOD, u"30");
    startLine();
    setGasAnalyzer(context);
    EXPECT_EQ(controls.log(), "Setting gas analyzer data...   success.\r\n");
    EXPECT_EQ(lastRequest(), (Bytes{0x04, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x1E}));
    EXPECT_EQ(cache.gas[0].valueText, "0");
    EXPECT_EQ(cache.gas[1].valueText, "0");
    EXPECT_EQ(cache.gas[2].valueText, "30");
    EXPECT_EQ(cache.gas[3].valueText, "");
    EXPECT_EQ(cache.token.valueText, "1");

    controls.setListSelection(IDC_GAS_TYPE, 1);
    startLine();
    setGasAnalyzer(context);
    EXPECT_EQ(lastRequest()[0], 0x00);

    // A refused write leaves the cache alone.
    reply(command::kSetAuxSensor, {0x01});
    controls.setListSelection(IDC_GAS_TYPE, 4);
    startLine();
    setGasAnalyzer(context);
    EXPECT_EQ(controls.log(), "Setting gas analyzer data...   ack error.\r\n");
    EXPECT_EQ(cache.gas[3].valueText, "");
    EXPECT_EQ(cache.gas[0].valueText, "30");

    controls.setEditText(IDC_TOKEN_ADDRESS, u"0A1B2C3D4E5F");
    controls.setListSelection(IDC_TOKEN_TYPE, 1);
    controls.setEditText(IDC_TOKEN_VALUE, u"1");
    startLine();
    setToken(context);
    EXPECT_EQ(controls.log(), "Setting token data...   success.\r\n");
    EXPECT_EQ(device.requests().back().message,
              (Bytes{0x0A, 0x00, 0x00, 0x08, 0x01, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x01}));
    controls.setEditText(IDC_TOKEN_VALUE, u"2");
    startLine();
    setToken(context);
    EXPECT_EQ(controls.log(), "Setting token data...   error (data is out of range).\r\n");
    controls.setListSelection(IDC_TOKEN_TYPE, 0);
    startLine();
    setToken(context);
    EXPECT_EQ(controls.log(), "Setting token data...   error.\r\n");
    EXPECT_TRUE(device.requests().empty());
}

using GnssAndLogs = Fixture;

TEST_F(GnssAndLogs, LogFlagBitsBothWays) {
    const SettingRow& row = settingRow(S::LogFlags);
    const struct {
        const char* label;
        Bytes word;
    } rows[] = {
        {"Save in file", {0x80, 0x00, 0x00, 0x00}}, {"GSM_LL", {0x00, 0x00, 0x00, 0x01}},
        {"WiFi_LL", {0x00, 0x00, 0x40, 0x00}},      {"LORA", {0x00, 0x80, 0x00, 0x00}},
        {"DISP", {0x00, 0x00, 0x20, 0x00}},         {"XNB", {0x00, 0x20, 0x00, 0x00}},
    };
    for (const auto& flag : rows) {
        SCOPED_TRACE(flag.label);
        int controlId = 0;
        for (const SettingField& field : row.fields) {
            controls.setChecked(field.controlId, std::string(field.name) == flag.label);
            if (std::string(field.name) == flag.label) {
                controlId = field.controlId;
            }
        }
        ASSERT_NE(controlId, 0);
        startLine();
        setLogFlags(context);
        EXPECT_EQ(lastRequest(), flag.word);
        // And back: only that box ends up ticked.
        for (const SettingField& field : row.fields) {
            controls.setChecked(field.controlId, true);
        }
        reply(command::kGetLogFlags, concat({0x00}, flag.word));
        getLogFlags(context);
        for (const SettingField& field : row.fields) {
            EXPECT_EQ(controls.isChecked(field.controlId), field.controlId == controlId)
                << field.name;
        }
    }
    // Bits 24..30 are nobody's.
    reply(command::kGetLogFlags, {0x00, 0x7F, 0x00, 0x00, 0x00});
    startLine();
    getLogFlags(context);
    EXPECT_EQ(controls.log(), "Getting log flags...   success.\r\n");
    for (const SettingField& field : row.fields) {
        EXPECT_FALSE(controls.isChecked(field.controlId)) << field.name;
    }
    // A failed read leaves the boxes as they were.
    controls.setChecked(2026, true);
    reply(command::kGetLogFlags, {0x01});
    startLine();
    getLogFlags(context);
    EXPECT_EQ(controls.log(), "Getting log flags...   ack error.\r\n");
    EXPECT_TRUE(controls.isChecked(2026));
    reply(command::kGetLogFlags, {0x00, 0x00, 0x00, 0x00});
    startLine();
    getLogFlags(context);
    EXPECT_EQ(controls.log(), "Getting log flags...   error (data format).\r\n");
}

TEST_F(GnssAndLogs, GnssFlag) {
    reply(command::kGetGnssAlwaysOn, {0x00, 0x02});
    getGnssAlwaysOn(context);
    EXPECT_TRUE(controls.isChecked(IDC_GNSS_ALWAYS_ON));
    startLine();
    setGnssAlwaysOn(context);
    EXPECT_EQ(controls.log(), "Setting GNSS always flag...   success.\r\n");
    EXPECT_EQ(lastRequest(), Bytes{0x01});
    reply(command::kGetGnssAlwaysOn, {0x00});
    startLine();
    getGnssAlwaysOn(context);
    EXPECT_EQ(controls.log(), "Getting GNSS always flag...   ack error.\r\n");
    EXPECT_FALSE(controls.isChecked(IDC_GNSS_ALWAYS_ON));
}

} // namespace
