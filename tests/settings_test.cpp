#include "controls/wire_text.h"
#include "settings/ble_tags.h"
#include "settings/number_text.h"
#include "settings/setting_shapes.h"
#include "support/sim_rig.h"
#include "tests/support/wire_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using S = SettingId;
const std::u16string kNoAux = u"|-|||-|";

// A setting's controls as one text, a field each, joined by '|': boxes 1 or 0, lists the entry
// or "-", edits their text.
std::u16string shown(const MemoryControls& controls, SettingId id) {
    std::u16string out;
    const char16_t* separator = u"";
    for (const SettingField& field : settingFields(settingRow(id))) {
        const int entry = controls.listSelection(field.controlId);
        out += std::exchange(separator, u"|");
        out += field.kind == FieldKind::Check ? (controls.isChecked(field.controlId) ? u"1" : u"0")
               : isEditField(field.kind)      ? controls.fullText(field.controlId)
               : entry == kNoSelection        ? u"-"
                                              : utf16FromUtf8(std::to_string(entry));
    }
    return out;
}

// The reverse of shown(); "*" gives every control a value a get must clear.
void fill(MemoryControls& controls, SettingId id, std::u16string_view state) {
    const bool stale = state == u"*";
    for (const SettingField& field : settingFields(settingRow(id))) {
        const std::u16string_view value = state.substr(0, state.find(u'|'));
        state.remove_prefix(stale ? 0 : std::min(state.size(), value.size() + 1));
        const auto entry = value == u"-" ? kNoSelection : parseFieldNumber(value);
        controls.setChecked(field.controlId, stale || value == u"1");
        controls.setEditText(field.controlId, value);
        controls.setListSelection(field.controlId, stale ? 2 : static_cast<int>(entry));
    }
}

std::u16string many(char16_t c, std::size_t count) {
    return std::u16string(count, c);
}

// The value texts of the sensor cache: four gas analyzers, then the token.
std::string cacheValues(const AuxSensorCache& cache) {
    std::string out;
    for (const AuxSensorEntry& gas : cache.gas) {
        out += gas.valueText + "|";
    }
    return out + cache.token.valueText;
}

struct Case {
    std::u16string state; // get: the controls after; set: the input, which the set leaves alone
    const char* reply;    // nullptr: the model answers; "silent": none; "= records": stored
    const char* result;
    const char* sent = "";        // the request payload; nullptr: nothing may be sent
    const char* cache = "5||||0"; // the sensor cache after; before, it is "5||||0"
};

struct Exchange {
    SettingId id;
    CommandCode code;
    const char* action;
    std::vector<Case> cases;
    bool utf8 = false; // Windows may run with UTF-8 as its ANSI code page
};

void run(bool isSet, const std::vector<Exchange>& table) {
    for (const Exchange& exchange : table) {
        for (const Case& one : exchange.cases) {
            SCOPED_TRACE(exchange.action + utf8FromUtf16(one.state));
            SimRig rig;
            MemoryControls controls(exchange.utf8 ? utf8CodePage() : cp1251CodePage());
            setUpPageControls(controls);
            SettingContext context{rig.link, controls, rig.auxSensors};
            rig.auxSensors.gas[0].valueText = "5";
            rig.auxSensors.token.valueText = "0";
            fill(controls, exchange.id, isSet ? std::u16string_view(one.state) : u"*");
            const std::string_view reply = one.reply ? one.reply : "";
            if (reply == "silent") {
                rig.silence(exchange.code);
            } else if (reply.starts_with('=')) {
                rig.device.storeValue(exchange.code, wire(reply.substr(1)));
            } else if (one.reply) {
                rig.reply(exchange.code, wire(reply));
            }
            const bool ok =
                isSet ? setSetting(context, exchange.id) : getSetting(context, exchange.id);
            EXPECT_EQ(controls.log(), exchange.action + std::string(one.result));
            EXPECT_EQ(ok, std::string_view(one.result).ends_with("success.\r\n"));
            EXPECT_EQ(shown(controls, exchange.id), one.state);
            EXPECT_EQ(cacheValues(rig.auxSensors), one.cache);
            if (one.sent == nullptr) {
                EXPECT_TRUE(rig.device.requests().empty());
                continue;
            }
            ASSERT_EQ(rig.device.requests().size(), 1u);
            Bytes message = wire(one.sent);
            message.insert(message.begin(), {static_cast<std::uint8_t>(exchange.code >> 8),
                                             static_cast<std::uint8_t>(exchange.code), 0,
                                             static_cast<std::uint8_t>(message.size())});
            EXPECT_EQ(rig.device.requests()[0].message, message);
        }
    }
}

// clang-format off
const char *kOk = "success.\r\n", *kAck = "ack error.\r\n", *kInput = "error.\r\n",
    *kFormat = "error (data format).\r\n", *kAckFormat = "error (ack format).\r\n",
    *kRange = "error (data is out of range).\r\n", *kLength = "error (wrong data length).\r\n",
    *kNoNumber = "error (data conversion).\r\n", *kNoReply = "cmd sending error.\r\n";

TEST(Settings, GetChecksTheReplyAndFillsOrEmptiesTheControls) {
    run(false, {
        {S::MasterFlag, 0x0009, "Getting Master flag...   ", {{u"1", "00 02", kOk},
            {u"0", "00 00", kOk}, {u"0", "00", kAck}, {u"0", "01 01", kAck}, {u"0", "", kFormat},
            {u"0", "00 01 00", kFormat}, {u"0", "silent", kNoReply}}},
        {S::Apn, 0x0303, "Getting APN...   ", {{u"АЯаяЁё№€", "00 C0DFE0FFA8B8B988 00 'x'", kOk},
            {u"", "00", kOk}, {u"", "01 'a'", kAck}, {u"", "", kFormat}}},
        {S::ButtonNumberRed, 0x0101, "Getting red button number...   ", {
            {u"+7999", "01 00 '+7999'", kOk, "01"}, {u"", "00 00 '+7'", kAck, "01"},
            {u"", "01 01", kAck, "01"}, {u"", "01", kFormat, "01"}}},
        {S::MicGain, 0x0105, "Getting mic gain...   ", {{u"5", "00 05", kOk},
            {u"", "00 06", kAck}, {u"", "00", kAck}, {u"", "00 01 02", kFormat}}},
        {S::ToneVolume, 0x0103, "Getting tone volume...   ", {{u"3", "01 00 03", kOk, "01"},
            {u"", "00 00 03", kAck, "01"}, {u"", "01 00", kAck, "01"}, {u"", "01", kFormat, "01"}}},
        {S::DataPeriod, 0x0206, "Getting data period...   ", {{u"180", "00 00 B4", kOk},
            {u"7", "00 00 07", kOk}, {u"", "00 00 B5", kRange}, {u"", "00 00 06", kRange},
            {u"", "00", kAck}, {u"", "00 00", kFormat}}},
        {S::MqttPort, 0x0210, "Getting MQTT PORT...   ", {{u"65535", "00 FF FF", kOk}}},
        {S::LoraBand, 0x0509, "Getting LoRa band...   ", {{u"1", "00 00", kOk},
            {u"-", "00 02", kRange}, {u"-", "00 00 00", kFormat}}},
        {S::SizAddress3, 0x0801, "Getting SIZ_3...   ", {{u"", "02", kFormat, "02"},
            {u"0A1B2C3D4E5F", "02 00 0A1B2C3D4E5F", kOk, "02"}, {u"", "02 00", kAck, "02"},
            {u"", "03 00 0A1B2C3D4E5F", kAck, "02"}}},
        {S::SizRssi, 0x0803, "Getting SIZ rssi...   ", {{u"1", "00 7F", kOk},
            {u"128", "00 00", kOk}, {u"256", "00 80", kOk}, {u"-", "00", kAck}}},
        {S::Bracelet, 0x0805, "Getting bracelet...   ", {
            {u"0A1B2C3D4E5F|5|30", "00 05 0A1B2C3D4E5F 1E", kOk},
            {u"0A1B2C3D4E5F|5|0", "00 05 0A1B2C3D4E5F 00", kOk},
            {u"|-|", "00 05 0A1B2C3D4E5F 3D", kRange}, {u"|-|", "00 04 0A1B2C3D4E5F 1E", kRange},
            {u"|-|", "00", kAck}, {u"|-|", "00 05", kFormat}, {u"|-|", "silent", kNoReply}}},
        {S::BleNamespace, 0x0807, "Getting BLE namespace...   ", {
            {u"EDD1EBEAC04E5DEFA017", "00 'EDD1EBEAC04E5DEFA017'", kOk},
            {u"", "00 'EDD1EBEAC04E5DEFA01'", kFormat}, {u"", "00", kAck}}},
        {S::BleScanTime, 0x0809, "Getting BLE period...   ", {{u"0", "00 00", kOk},
            {u"8", "00 08", kOk}, {u"", "00 09", kRange}}},
        {S::Immobility, 0x0A03, "Getting immobility settings...   ", {
            {u"1|1|1|1|0", "00 01 00 0000EA60 0000EA60 0000EA60", kOk},
            {u"0||||0", "00 01 00 0000EA5F 0000EA60 0000EA60", kRange},
            {u"1|1|1|120|1", "00 02 03 0000EA60 0000EA60 006EC75F", kOk},
            {u"0||||0", "00 01 01 0000EA60 0000EA60 006EC760", kRange}, {u"0||||0", "00", kAck}}},
        {S::AuxSensors, 0x0A01, "Getting ble aux data...   ", {{kNoAux, "00", kOk},
            {kNoAux, "01", "ack error 2.\r\n"}, {kNoAux, "02 030A1B2C3D4E5F0F", "ack error 1.\r\n"},
            {kNoAux, "00 03", kFormat}, {kNoAux, "silent", kNoReply},
            {u"0A1B2C3D4E5F|2|15|0A1B2C3D4E5F|1|1", "= 030A1B2C3D4E5F0F 010A1B2C3D4E5F01", kOk,
             "", "5|15|||1"},
            {u"0A1B2C3D4E5F|3|20||-|", "01 040A1B2C3D4E5F14", "ack error 3.\r\n", "", "5||20||0"},
            {u"0A1B2C3D4E5F|1|7||-|", "= 050A1B2C3D4E5F3D 010A1B2C3D4E5F02 020A1B2C3D4E5F09 "
             "000A1B2C3D4E5F07", "\r\n   GAS ANALYZER error (data is out of range).\r\n"
             "\r\n   TOKEN error (data is out of range).\r\nsuccess.\r\n", "", "7||||0"},
            {kNoAux, "= 040A1B2C3D4E5F00", kOk, "", "5||0||0"}}},
        {S::GnssAlwaysOn, 0x0C01, "Getting GNSS always flag...   ", {{u"1", "00 02", kOk},
            {u"0", "00", kAck}}},
        {S::LogFlags, 0x0007, "Getting log flags...   ", {
            {u"0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0", "00 7F 00 00 00", kOk},
            {u"1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1", "01", kAck},
            {u"1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1", "00 00 00 00", kFormat}}},
    });
}

TEST(Settings, SetSendsTheCheckedInputAndJudgesTheReply) {
    run(true, {
        {S::MasterFlag, 0x0008, "Setting Master flag...   ", {{u"1", {}, kOk, "01"},
            {u"0", {}, kOk, "00"}, {u"1", "01", kAck, "01"}, {u"0", "00 00", kAckFormat, "00"},
            {u"0", "silent", kNoReply, "00"}}},
        {S::Apn, 0x0302, "Setting APN...   ", {{u"apn.ru", {}, kOk, "'apn.ru'"}, {u"", {}, kOk},
            {u"АЯаяЁё№€", {}, kOk, "C0 DF E0 FF A8 B8 B9 88"}, {u"a\r\nb", {}, kOk, "'a'"},
            {many(u'b', 70), {}, kOk, "'b'*63"}, {u"pw", "", kAckFormat, "'pw'"}}},
        {S::MqttUserName, 0x020B, "Setting MQTT USERNAME...   ", {
            {many(u'u', 40), {}, kOk, "'u'*31"}}},
        {S::MqttTopicPub, 0x0211, "Setting MQTT TOPIC_PUB...   ", {
            {many(u't', 30), {}, kOk, "01 't'*30"}, {many(u't', 31), {}, kInput, {}},
            {u"t", "01 00 00", kAckFormat, "01 't'"}, {u"t", "00 00", kAck, "01 't'"}}},
        {S::ButtonNumberRed, 0x0100, "Setting red button number...   ", {{u"", {}, kOk, "01"},
            {u"+7999", {}, kOk, "01 '+7999'"}, {u"1", "01 00 07", kOk, "01 '1'"},
            {u"", "01", kAckFormat, "01"}, {many(u'1', 40), {}, kInput, {}}}},
        {S::MicGain, 0x0104, "Setting mic gain...   ", {{u"5", {}, kOk, "05"},
            {u" +3", {}, kOk, "03"}, {u"2x", {}, kOk, "02"}, {u"x", {}, kOk, "00"},
            {u"6", {}, kRange, {}}, {u"-1", {}, kRange, {}}, {u"", {}, kInput, {}}}},
        {S::ToneVolume, 0x0102, "Setting tone volume...   ", {{u"3", {}, kOk, "01 03"},
            {u"1", "01 00 00", kAckFormat, "01 01"}, {u"1", "01 03", kAck, "01 01"}}},
        {S::DataPeriod, 0x0205, "Setting data period...   ", {{u"7", {}, kOk, "00 07"},
            {u"180", {}, kOk, "00 B4"}, {u"6", {}, kRange, {}}, {u"181", {}, kRange, {}},
            {u"", {}, kInput, {}}}},
        {S::MqttPort, 0x020F, "Setting MQTT PORT...   ", {{u"65535", {}, kOk, "FF FF"},
            {u"65536", {}, kRange, {}}, {u"-5", {}, kRange, {}}, {u"99999999999", {}, kRange, {}}}},
        {S::LoraDevEui, 0x0502, "Setting LoRa DEV_EUI...   ", {{u"", {}, kInput, {}},
            {u"0123456789ABCDEF", {}, kOk, "'0123456789ABCDEF'"},
            {u"0123456789ABCDE", {}, kLength, {}}, {u"0123456789ABCDEF0", {}, kLength, {}}}},
        {S::LoraAppKey, 0x0506, "Setting LoRa APP_KEY...   ", {
            {u"0123456789ABCDEF0123456789ABCDEF", {}, kOk, "'0123456789ABCDEF'*2"}}},
        {S::LoraBand, 0x0508, "Setting LoRa band...   ", {{u"1", {}, kOk, "00"},
            {u"2", {}, kOk, "01"}, {u"0", {}, kInput, {}}, {u"-", {}, kInput, {}}}},
        {S::SizAddress5, 0x0800, "Setting SIZ_5...   ", {{u"", {}, kInput, {}},
            {u"0a1b2c3d4e5f", {}, kOk, "04 0A1B2C3D4E5F"}, {u"0A1B2C3D4E5", {}, kLength, {}},
            {u"  0x1B2C3D4E", {}, kOk, "04 00001B2C3D4E"}, {u"0A1B2C3D4E5F0", {}, kLength, {}},
            {u"-00000000001", {}, kOk, "04 FFFFFFFFFFFF"}, {u"            ", {}, kNoNumber, {}},
            {u"+0A1B2C3D4E5", {}, kOk, "04 00A1B2C3D4E5"},
            {u"0xZ000000000", {}, kOk, "04 000000000000"},
            {u"12x456789ABC", {}, kOk, "04 000000000012"},
            {u"0A1B2C3D4E5F", "05 00", kAck, "04 0A1B2C3D4E5F"},
            {u"0A1B2C3D4E5F", "04 00 00", kAckFormat, "04 0A1B2C3D4E5F"}}},
        {S::SizRssi, 0x0802, "Setting SIZ rssi...   ", {{u"1", {}, kOk, "7F"},
            {u"128", {}, kOk, "00"}, {u"129", {}, kOk, "FF"}, {u"256", {}, kOk, "80"},
            {u"0", {}, kInput, {}}}},
        {S::Bracelet, 0x0804, "Setting bracelet...   ", {
            {u"0a1b2c3d4e5f|5|0", {}, kOk, "05 0A1B2C3D4E5F 00"}, {u"|5|30", {}, kInput, {}},
            {u"0A1B2C3D4E5F|0|30", {}, kInput, {}}, {u"0A1B2C3D4E5F|5|", {}, kInput, {}},
            {u"0A1B2C3D4E5|5|30", {}, kLength, {}}, {u"0A1B2C3D4E5F|4|30", {}, kRange, {}},
            {u"-ZZZZZZZZZZZ|5|61", {}, kRange, {}}, {u"-ZZZZZZZZZZZ|5|6", {}, kNoNumber, {}}}},
        {S::BleNamespace, 0x0806, "Setting BLE namespace...   ", {
            {u"0123456789ABCDEF0123", {}, kOk, "'0123456789ABCDEF0123'"},
            {u"0123456789ABCDEF012", {}, kLength, {}}}},
        {S::BleScanTime, 0x0808, "Setting BLE scan time...   ", {{u"8", {}, kOk, "08"},
            {u"9", {}, kRange, {}}, {u"-1", {}, kRange, {}}}},
        {S::Immobility, 0x0A02, "Setting immobility settings...   ", {{u"0||||0", {}, kOk, "00"},
            {u"1|1|2|120|0", {}, kOk, "01 00 0000EA60 0001D4C0 006DDD00"},
            {u"1|1|2|120|1", {}, kOk, "01 01 0000EA60 0001D4C0 006DDD00"},
            {u"1|0|2|3|0", {}, kRange, {}}, {u"1|1|121|3|0", {}, kRange, {}},
            {u"1|1||3|0", {}, kInput, {}}, {u"1|500|2||0", {}, kInput, {}}}},
        {S::GasAnalyzer, 0x0A00, "Setting gas analyzer data...   ", {
            {u"0A1B2C3D4E5F|3|30", {}, kOk, "04 0A1B2C3D4E5F 1E", "0||30||0"},
            {u"0A1B2C3D4E5F|1|30", {}, kOk, "00 0A1B2C3D4E5F 1E", "30||||0"},
            {u"0A1B2C3D4E5F|4|30", "01", kAck, "05 0A1B2C3D4E5F 1E"},
            {u"|3|30", {}, kInput, {}}, {u"0A1B2C3D4E5F|3|61", {}, kRange, {}}}},
        {S::Token, 0x0A00, "Setting token data...   ", {
            {u"0A1B2C3D4E5F|1|1", {}, kOk, "01 0A1B2C3D4E5F 01"},
            {u"0A1B2C3D4E5F|1|2", {}, kRange, {}}, {u"0A1B2C3D4E5F|0|1", {}, kInput, {}}}},
        {S::GnssAlwaysOn, 0x0C00, "Setting GNSS always flag...   ", {{u"1", {}, kOk, "01"}}},
        // Two bytes to a Cyrillic letter: the limits count bytes.
        {S::Apn, 0x0302, "Setting APN...   ", {{many(u'Ж', 40), {}, kOk, "'Ж'*31"},
            {u"a😀b", {}, kOk, "'a' F0 9F 98 80 'b'"}}, true},
        {S::MqttTopicSub, 0x0211, "Setting MQTT TOPIC_SUB...   ", {
            {many(u'Ж', 15), {}, kOk, "00 'Ж'*15"}, {many(u'Ж', 20), {}, kInput, {}}}, true},
        {S::LoraDevEui, 0x0502, "Setting LoRa DEV_EUI...   ", {
            {many(u'Ж', 16), {}, kLength, {}}}, true},
    });
}

TEST(Settings, EachLogFlagBoxIsItsBitBothWays) {
    for (const auto& [box, word] : {std::pair{2006, "00000001"}, {2010, "00004000"},
             {2025, "00002000"}, {2032, "00200000"}, {2023, "00800000"}, {2026, "80000000"}}) {
        SCOPED_TRACE(box);
        SimRig rig;
        rig.controls.setChecked(box, true);
        EXPECT_TRUE(setSetting(rig.context, S::LogFlags));
        EXPECT_EQ(rig.lastRequest(), wire(word));
        fill(rig.controls, S::LogFlags, u"*");
        rig.reply(0x0007, wire(std::string("00") + word));
        EXPECT_TRUE(getSetting(rig.context, S::LogFlags));
        EXPECT_TRUE(rig.controls.isChecked(box));
        EXPECT_EQ(std::ranges::count(shown(rig.controls, S::LogFlags), u'1'), 1);
    }
}
// clang-format on

TEST(Settings, SlotIndexOutsideTheEightSendsNothing) {
    SimRig rig;
    getSizAddress(rig.context, 8);
    setSizAddress(rig.context, -1);
    EXPECT_EQ(rig.controls.log(), "error.\r\nerror.\r\n");
    EXPECT_TRUE(rig.device.requests().empty());
}

TEST(WireText, SurrogatesAndLimitsThroughEachCodePage) {
    std::string sent; // one '?' for a character the code page lacks, a pair or a lone surrogate
    EXPECT_TRUE(toWireText(cp1251CodePage(), u"a😀b中\xD83D", 5, sent));
    EXPECT_EQ(sent, "a?b??");
    EXPECT_TRUE(toWireText(utf8CodePage(), u"😀\xD800x", 8, sent));
    EXPECT_EQ(sent, "\xF0\x9F\x98\x80\xEF\xBF\xBDx");
    EXPECT_FALSE(toWireText(utf8CodePage(), u"a😀", 4, sent));
    EXPECT_EQ(sent, "a");
    const Bytes bytes = wire("F0 9F 98 80 00 'x'");
    EXPECT_EQ(fromWireText(utf8CodePage(), bytes.data(), bytes.size()), u"😀");
    EXPECT_EQ(utf8FromUtf16(utf16FromUtf8("Склад 😀\xFF\xC0\x80")), "Склад 😀\uFFFD\uFFFD");
}

} // namespace
