#include "link/command_index.h"
#include "link/device_link.h"
#include "resources/control_ids.h"
#include "settings/setting_shapes.h"
#include "sim/device_simulator.h"
#include "sim/simulator_channel.h"
#include "controls/memory_controls.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using S = SettingId;

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes concat(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

std::u16string repeat(char16_t c, std::size_t count) {
    return std::u16string(count, c);
}

struct SettingsFixture : ::testing::Test {
    DeviceSimulator device;
    SimulatorChannel channel{device};
    DeviceLink link;
    MemoryControls controls;
    AuxSensorCache auxSensors;
    SettingContext context{link, controls, auxSensors};

    void SetUp() override {
        initDeviceLink(link, &channel);
        controls.setListEntries(IDC_LORA_BAND, {u" ", u"EU863-870", u"RU864-870"});
    }

    void scriptReply(CommandCode code, std::optional<Bytes> payload) {
        SimFault fault;
        if (payload) {
            fault.payload = *payload;
        } else {
            fault.silent = true;
        }
        device.scriptFault(code, fault);
    }

    // The control's state as one text: flags "0"/"1", lists the selected index or "none".
    std::u16string shown(const SettingRow& row) const {
        switch (row.shape) {
        case Shape::Flag:
            return controls.isChecked(row.controlId) ? u"1" : u"0";
        case Shape::ListChoice: {
            const int selection = controls.listSelection(row.controlId);
            return selection == kNoSelection ? u"none" : std::u16string(1, u'0' + selection);
        }
        default:
            return controls.fullText(row.controlId);
        }
    }

    void fillStale(const SettingRow& row) {
        controls.setChecked(row.controlId, true);
        controls.setListSelection(row.controlId, 2);
        controls.setEditText(row.controlId, u"stale");
    }
};

// A reply the device is made to give; nullopt: it stays silent.
struct GetRow {
    const char* name;
    SettingId id;
    std::optional<Bytes> reply;
    const char* result;
    std::u16string shownAfter;
};

using GetShapes = SettingsFixture;

TEST_F(GetShapes, CheckEachReplyAndFillOrResetTheControl) {
    const std::vector<GetRow> rows = {
        // Flag
        {"flag set", S::MasterFlag, Bytes{0x00, 0x01}, "success.\r\n", u"1"},
        {"flag any non-zero byte", S::MasterFlag, Bytes{0x00, 0x02}, "success.\r\n", u"1"},
        {"flag clear", S::XnbEnable, Bytes{0x00, 0x00}, "success.\r\n", u"0"},
        {"flag status alone", S::MasterFlag, Bytes{0x00}, "ack error.\r\n", u"0"},
        {"flag refused", S::MasterFlag, Bytes{0x01}, "ack error.\r\n", u"0"},
        {"flag refused with value", S::ServerAckFlag, Bytes{0x01, 0x01}, "ack error.\r\n", u"0"},
        {"flag empty payload", S::MasterFlag, Bytes{}, "error (data format).\r\n", u"0"},
        {"flag too long", S::LoraEnable, Bytes{0x00, 0x01, 0x00}, "error (data format).\r\n", u"0"},
        {"flag silent device", S::WifiEnable, std::nullopt, "cmd sending error.\r\n", u"0"},
        // Text
        {"text", S::Imei, concat({0x00}, bytesOf("352094087654321")), "success.\r\n",
         u"352094087654321"},
        {"text status alone empties", S::Imei, Bytes{0x00}, "success.\r\n", u""},
        {"text stops at a zero byte", S::Apn, concat({0x00}, bytesOf(std::string("ab\0cd", 5))),
         "success.\r\n", u"ab"},
        {"text in windows-1251", S::WifiSsid, Bytes{0x00, 0xD1, 0xE5, 0xF2, 0xFC}, "success.\r\n",
         u"Сеть"},
        {"text refused", S::DeviceId, Bytes{0x01}, "ack error.\r\n", u""},
        {"text empty payload", S::XnbId, Bytes{}, "error (data format).\r\n", u""},
        {"key read as plain text", S::LoraAppEui, concat({0x00}, bytesOf("0123456789")),
         "success.\r\n", u"0123456789"},
        // Indexed text
        {"indexed text", S::ButtonNumberRed, concat({0x01, 0x00}, bytesOf("+79991234567")),
         "success.\r\n", u"+79991234567"},
        {"indexed text wrong echo", S::ButtonNumberRed, concat({0x00, 0x00}, bytesOf("+7")),
         "ack error.\r\n", u""},
        {"indexed text refused", S::MqttTopicSub, Bytes{0x00, 0x01}, "ack error.\r\n", u""},
        {"indexed text echo alone", S::MqttTopicPub, Bytes{0x01}, "error (data format).\r\n", u""},
        {"indexed text empty", S::ButtonNumberGreen, Bytes{0x00, 0x00}, "success.\r\n", u""},
        // Small number, plain and indexed
        {"small number", S::MicGain, Bytes{0x00, 0x05}, "success.\r\n", u"5"},
        {"small number above 5", S::MicGain, Bytes{0x00, 0x06}, "ack error.\r\n", u""},
        {"small number status alone", S::MicGain, Bytes{0x00}, "ack error.\r\n", u""},
        {"small number too long", S::MicGain, Bytes{0x00, 0x01, 0x02}, "error (data format).\r\n",
         u""},
        {"indexed small number", S::ToneVolume, Bytes{0x01, 0x00, 0x03}, "success.\r\n", u"3"},
        {"indexed small number above 5", S::VoiceVolume, Bytes{0x00, 0x00, 0x06}, "ack error.\r\n",
         u""},
        {"indexed small number wrong echo", S::VoiceVolume, Bytes{0x01, 0x00, 0x03},
         "ack error.\r\n", u""},
        {"indexed small number without value", S::VoiceVolume, Bytes{0x00, 0x00}, "ack error.\r\n",
         u""},
        {"indexed small number echo alone", S::VoiceVolume, Bytes{0x00}, "error (data format).\r\n",
         u""},
        // 16-bit number
        {"period at its top", S::DataPeriod, Bytes{0x00, 0x00, 0xB4}, "success.\r\n", u"180"},
        {"period at its bottom", S::DataPeriod, Bytes{0x00, 0x00, 0x07}, "success.\r\n", u"7"},
        {"period above range", S::DataPeriod, Bytes{0x00, 0x00, 0xB5},
         "error (data is out of range).\r\n", u""},
        {"period below range", S::DataPeriod, Bytes{0x00, 0x00, 0x06},
         "error (data is out of range).\r\n", u""},
        {"period status alone", S::DataPeriod, Bytes{0x00}, "ack error.\r\n", u""},
        {"period two bytes", S::DataPeriod, Bytes{0x00, 0x00}, "error (data format).\r\n", u""},
        {"port 300", S::MqttPort, Bytes{0x00, 0x01, 0x2C}, "success.\r\n", u"300"},
        {"port 0", S::MqttPort, Bytes{0x00, 0x00, 0x00}, "success.\r\n", u"0"},
        {"port 65535", S::MqttPort, Bytes{0x00, 0xFF, 0xFF}, "success.\r\n", u"65535"},
        {"port refused", S::MqttPort, Bytes{0x02, 0x01, 0x2C}, "ack error.\r\n", u""},
        // List choice
        {"band RU", S::LoraBand, Bytes{0x00, 0x01}, "success.\r\n", u"2"},
        {"band EU", S::LoraBand, Bytes{0x00, 0x00}, "success.\r\n", u"1"},
        {"band beyond the list", S::LoraBand, Bytes{0x00, 0x02},
         "error (data is out of range).\r\n", u"none"},
        {"band too long", S::LoraBand, Bytes{0x00, 0x00, 0x00}, "error (data format).\r\n",
         u"none"},
        {"band status alone", S::LoraBand, Bytes{0x00}, "ack error.\r\n", u"none"},
        {"band silent device", S::LoraBand, std::nullopt, "cmd sending error.\r\n", u"none"},
    };
    for (const GetRow& row : rows) {
        SCOPED_TRACE(row.name);
        const SettingRow& setting = settingRow(row.id);
        fillStale(setting);
        controls.clearLog();
        device.clearRequests();
        scriptReply(*setting.getCode, row.reply);

        EXPECT_EQ(getSetting(context, setting), std::string(row.result) == "success.\r\n");

        EXPECT_EQ(controls.log(),
                  std::string(actionText(*setting.getCode, setting.index < 0 ? 0 : setting.index)) +
                      row.result);
        EXPECT_EQ(shown(setting), row.shownAfter);
        ASSERT_EQ(device.requests().size(), 1u);
        EXPECT_EQ(device.requests()[0].code, setting.getCode);
        const Bytes expectedRequest =
            setting.index < 0 ? Bytes{} : Bytes{static_cast<std::uint8_t>(setting.index)};
        EXPECT_EQ(device.requests()[0].payload, expectedRequest);
    }
}

// How the control is filled before the set. Built by the functions below: GCC 12 miscompiles
// designated initializers of nested aggregates that hold strings.
struct Input {
    std::u16string text;
    bool checked;
    int selection;
};

Input typed(std::u16string text) {
    return Input{std::move(text), false, kNoSelection};
}
Input empty() {
    return typed(u"");
}
Input ticked() {
    return Input{u"", true, kNoSelection};
}
Input chosen(int selection) {
    return Input{u"", false, selection};
}

struct SetRow {
    const char* name;
    SettingId id;
    Input input;
    std::optional<Bytes> sent; // nullopt: nothing may be sent
    const char* result;
    std::optional<Bytes> reply = std::nullopt; // the device's own answer when not given
};

using SetShapes = SettingsFixture;

TEST_F(SetShapes, SendExactlyTheCheckedInputAndJudgeTheReply) {
    const std::u16string hex16 = u"0123456789ABCDEF";
    const std::vector<SetRow> rows = {
        // Flag
        {"flag on", S::MasterFlag, ticked(), Bytes{0x01}, "success.\r\n"},
        {"flag off", S::XnbEnable, empty(), Bytes{0x00}, "success.\r\n"},
        {"flag refused", S::LoraEnable, ticked(), Bytes{0x01}, "ack error.\r\n", Bytes{0x01}},
        {"flag reply too long", S::WifiEnable, empty(), Bytes{0x00}, "error (ack format).\r\n",
         Bytes{0x00, 0x00}},
        {"flag silent device", S::ServerAckFlag, empty(), Bytes{0x00}, "cmd sending error.\r\n",
         std::nullopt},
        // Text
        {"text", S::Apn, typed(u"internet.mts.ru"), bytesOf("internet.mts.ru"), "success.\r\n"},
        {"empty text sends L = 0", S::Apn, empty(), Bytes{}, "success.\r\n"},
        {"text cut to 63", S::MqttBroker, typed(repeat(u'b', 70)), Bytes(63, 'b'), "success.\r\n"},
        {"text cut to 31", S::MqttUserName, typed(repeat(u'u', 40)), Bytes(31, 'u'),
         "success.\r\n"},
        {"text first line only", S::WifiSsid, typed(u"home\r\nnext"), bytesOf("home"),
         "success.\r\n"},
        {"text in windows-1251", S::WifiPassword, typed(u"Тест"), Bytes{0xD2, 0xE5, 0xF1, 0xF2},
         "success.\r\n"},
        {"text reply empty", S::MqttPassword, typed(u"pw"), bytesOf("pw"),
         "error (ack format).\r\n", Bytes{}},
        // Indexed text
        {"button number", S::ButtonNumberGreen, typed(u"+79991234567"),
         concat({0x00}, bytesOf("+79991234567")), "success.\r\n"},
        {"button number empty sends the index alone", S::ButtonNumberGreen, empty(), Bytes{0x00},
         "success.\r\n"},
        {"indexed text of 30 characters", S::MqttTopicPub, typed(repeat(u't', 30)),
         concat({0x01}, Bytes(30, 't')), "success.\r\n"},
        {"indexed text of 31 characters", S::MqttTopicPub, typed(repeat(u't', 31)), std::nullopt,
         "error.\r\n"},
        {"indexed text of 40 characters", S::ButtonNumberRed, typed(repeat(u'1', 40)), std::nullopt,
         "error.\r\n"},
        {"button number takes a longer reply", S::ButtonNumberRed, typed(u"1"), Bytes{0x01, '1'},
         "success.\r\n", Bytes{0x01, 0x00, 0x07}},
        {"topic takes exactly two bytes", S::MqttTopicPub, typed(u"t"), Bytes{0x01, 't'},
         "error (ack format).\r\n", Bytes{0x01, 0x00, 0x00}},
        {"topic wrong echo", S::MqttTopicPub, typed(u"t"), Bytes{0x01, 't'}, "ack error.\r\n",
         Bytes{0x00, 0x00}},
        {"button number echo alone", S::ButtonNumberRed, empty(), Bytes{0x01},
         "error (ack format).\r\n", Bytes{0x01}},
        // Small number
        {"mic gain 5", S::MicGain, typed(u"5"), Bytes{0x05}, "success.\r\n"},
        {"mic gain 6", S::MicGain, typed(u"6"), std::nullopt, "error (data is out of range).\r\n"},
        {"mic gain negative", S::MicGain, typed(u"-1"), std::nullopt,
         "error (data is out of range).\r\n"},
        {"mic gain empty", S::MicGain, empty(), std::nullopt, "error.\r\n"},
        {"number after blanks and sign", S::MicGain, typed(u" +3"), Bytes{0x03}, "success.\r\n"},
        {"number stops at a letter", S::MicGain, typed(u"2x"), Bytes{0x02}, "success.\r\n"},
        {"letters alone read as 0", S::MicGain, typed(u"x"), Bytes{0x00}, "success.\r\n"},
        {"tone volume 3", S::ToneVolume, typed(u"3"), Bytes{0x01, 0x03}, "success.\r\n"},
        {"volume reply too long", S::VoiceVolume, typed(u"1"), Bytes{0x00, 0x01},
         "error (ack format).\r\n", Bytes{0x00, 0x00, 0x00}},
        {"volume refused", S::VoiceVolume, typed(u"1"), Bytes{0x00, 0x01}, "ack error.\r\n",
         Bytes{0x00, 0x03}},
        // 16-bit number
        {"period 7", S::DataPeriod, typed(u"7"), Bytes{0x00, 0x07}, "success.\r\n"},
        {"period 180", S::DataPeriod, typed(u"180"), Bytes{0x00, 0xB4}, "success.\r\n"},
        {"period 6", S::DataPeriod, typed(u"6"), std::nullopt, "error (data is out of range).\r\n"},
        {"period 181", S::DataPeriod, typed(u"181"), std::nullopt,
         "error (data is out of range).\r\n"},
        {"period empty", S::DataPeriod, empty(), std::nullopt, "error.\r\n"},
        {"port 65535", S::MqttPort, typed(u"65535"), Bytes{0xFF, 0xFF}, "success.\r\n"},
        {"port 0", S::MqttPort, typed(u"0"), Bytes{0x00, 0x00}, "success.\r\n"},
        {"port 300", S::MqttPort, typed(u"300"), Bytes{0x01, 0x2C}, "success.\r\n"},
        {"port 65536", S::MqttPort, typed(u"65536"), std::nullopt,
         "error (data is out of range).\r\n"},
        {"port negative", S::MqttPort, typed(u"-5"), std::nullopt,
         "error (data is out of range).\r\n"},
        {"port of many digits", S::MqttPort, typed(u"99999999999999999999"), std::nullopt,
         "error (data is out of range).\r\n"},
        // Key text
        {"dev eui of 16", S::LoraDevEui, typed(hex16), bytesOf("0123456789ABCDEF"), "success.\r\n"},
        {"dev eui of 15", S::LoraDevEui, typed(hex16.substr(1)), std::nullopt,
         "error (wrong data length).\r\n"},
        {"dev eui of 17", S::LoraDevEui, typed(hex16 + u"0"), std::nullopt,
         "error (wrong data length).\r\n"},
        {"dev eui of 25", S::LoraAppEui, typed(hex16 + u"012345678"), std::nullopt,
         "error (wrong data length).\r\n"},
        {"dev eui empty", S::LoraDevEui, empty(), std::nullopt, "error.\r\n"},
        {"app key of 32", S::LoraAppKey, typed(hex16 + hex16),
         bytesOf("0123456789ABCDEF0123456789ABCDEF"), "success.\r\n"},
        {"app key of 16", S::LoraAppKey, typed(hex16), std::nullopt,
         "error (wrong data length).\r\n"},
        // List choice
        {"band EU", S::LoraBand, chosen(1), Bytes{0x00}, "success.\r\n"},
        {"band RU", S::LoraBand, chosen(2), Bytes{0x01}, "success.\r\n"},
        {"band blank entry", S::LoraBand, chosen(0), std::nullopt, "error.\r\n"},
        {"band nothing chosen", S::LoraBand, empty(), std::nullopt, "error.\r\n"},
    };
    for (const SetRow& row : rows) {
        SCOPED_TRACE(row.name);
        const SettingRow& setting = settingRow(row.id);
        controls.setEditText(setting.controlId, row.input.text);
        controls.setChecked(setting.controlId, row.input.checked);
        controls.setListSelection(setting.controlId, row.input.selection);
        controls.clearLog();
        device.clearRequests();
        if (row.reply || std::string(row.result) == "cmd sending error.\r\n") {
            scriptReply(*setting.setCode, row.reply);
        }
        const std::u16string before = shown(setting);

        EXPECT_EQ(setSetting(context, setting), std::string(row.result) == "success.\r\n");

        EXPECT_EQ(controls.log(),
                  std::string(actionText(*setting.setCode, setting.index < 0 ? 0 : setting.index)) +
                      row.result);
        EXPECT_EQ(shown(setting), before);
        if (!row.sent) {
            EXPECT_TRUE(device.requests().empty());
            continue;
        }
        ASSERT_EQ(device.requests().size(), 1u);
        EXPECT_EQ(device.requests()[0].code, *setting.setCode);
        EXPECT_EQ(device.requests()[0].payload, *row.sent);
    }
    device.clearFaults();
}

TEST_F(SetShapes, MultiByteCodePageNeverExceedsTheByteLimit) {
    // Windows may run with UTF-8 as its ANSI code page: two bytes per Cyrillic letter.
    MemoryControls utf8Controls(utf8CodePage());
    SettingContext utf8Context{link, utf8Controls, auxSensors};
    struct Row {
        const char* name;
        SettingId id;
        std::u16string text;
        std::optional<Bytes> sent;
        const char* result;
    };
    const std::u16string cyrillic40 = repeat(u'Ж', 40);
    Bytes zhe31(62);
    for (std::size_t i = 0; i < zhe31.size(); i += 2) {
        zhe31[i] = 0xD0;
        zhe31[i + 1] = 0x96;
    }
    const std::vector<Row> rows = {
        {"text cut at a character boundary within 63 bytes", S::Apn, cyrillic40, zhe31,
         "success.\r\n"},
        {"indexed text of 20 letters is 40 bytes", S::MqttTopicSub, repeat(u'Ж', 20), std::nullopt,
         "error.\r\n"},
        {"indexed text of 15 letters fits in 30 bytes", S::MqttTopicSub, repeat(u'Ж', 15),
         concat({0x00}, Bytes(zhe31.begin(), zhe31.begin() + 30)), "success.\r\n"},
        {"key of 16 letters is 32 bytes", S::LoraDevEui, repeat(u'Ж', 16), std::nullopt,
         "error (wrong data length).\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const SettingRow& setting = settingRow(row.id);
        utf8Controls.setEditText(setting.controlId, row.text);
        utf8Controls.clearLog();
        device.clearRequests();
        EXPECT_EQ(setSetting(utf8Context, setting), std::string(row.result) == "success.\r\n");
        EXPECT_TRUE(utf8Controls.log().ends_with(row.result)) << utf8Controls.log();
        if (!row.sent) {
            EXPECT_TRUE(device.requests().empty());
            continue;
        }
        ASSERT_EQ(device.requests().size(), 1u);
        EXPECT_EQ(device.requests()[0].payload, *row.sent);
    }
}

TEST_F(SetShapes, WhatIsWrittenIsReadBack) {
    const struct {
        SettingId id;
        Input input;
        std::u16string shownAfter;
    } rows[] = {
        {S::MasterFlag, ticked(), u"1"},
        {S::MqttBroker, typed(u"broker.example.net"), u"broker.example.net"},
        {S::MqttTopicPub, typed(u"devices/42/up"), u"devices/42/up"},
        {S::ToneVolume, typed(u"4"), u"4"},
        {S::MqttPort, typed(u"8883"), u"8883"},
        {S::LoraAppKey, typed(u"00112233445566778899AABBCCDDEEFF"),
         u"00112233445566778899AABBCCDDEEFF"},
        {S::LoraBand, chosen(1), u"1"},
        {S::WifiSsid, typed(u"Склад-3"), u"Склад-3"},
    };
    for (const auto& row : rows) {
        const SettingRow& setting = settingRow(row.id);
        SCOPED_TRACE(setting.name);
        controls.setEditText(setting.controlId, row.input.text);
        controls.setChecked(setting.controlId, row.input.checked);
        controls.setListSelection(setting.controlId, row.input.selection);
        ASSERT_TRUE(setSetting(context, setting)) << controls.log();
        fillStale(setting);
        ASSERT_TRUE(getSetting(context, setting)) << controls.log();
        EXPECT_EQ(shown(setting), row.shownAfter);
    }
}

TEST_F(SetShapes, IndexOutsideThePairDoesNothingAtAll) {
    for (int index : {-1, 2, 255}) {
        SCOPED_TRACE(index);
        getPairMember(context, index, S::MqttTopicSub, S::MqttTopicPub);
        setPairMember(context, index, S::ButtonNumberGreen, S::ButtonNumberRed);
    }
    EXPECT_EQ(controls.log(), "");
    EXPECT_TRUE(device.requests().empty());
}

} // namespace
