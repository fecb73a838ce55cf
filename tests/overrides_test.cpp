// The per-device CSV: how its records are read, what is refused and where; the placeholders
// and one device's values filled in from the profile and its row.
#include "controls/memory_controls.h"
#include "provision/overrides.h"
#include "ui/page_setup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Strings = std::vector<std::string>;

TEST(Overrides, ReadsQuotedCellsLineEndsAndTheMark) {
    OverrideTable table;
    std::string error;
    ASSERT_TRUE(parseOverrides("\xEF\xBB\xBFimei,apn,MQTT-Port,wifi-ssid\r\n"
                               "356938035643809,\"inet,a\",\"\",\xD0\xA1\xD0\xB5\xD1\x82\xD1\x8C\n"
                               "356938035643817,\"say \"\"hi\"\"\",1883,\"{imei}, x\"\r\n"
                               "356938035643825,,,{device-id}\n\n\r\n",
                               table, error))
        << error;
    ASSERT_EQ(table.columns.size(), 3u);
    EXPECT_EQ(table.columns[1].header, "MQTT-Port");
    ASSERT_EQ(table.rows.size(), 3u);
    EXPECT_EQ(table.rows[0].values, (Strings{"inet,a", "", "\xD0\xA1\xD0\xB5\xD1\x82\xD1\x8C"}));
    EXPECT_EQ(table.rows[0].text,
              "356938035643809,\"inet,a\",\"\",\xD0\xA1\xD0\xB5\xD1\x82\xD1\x8C");
    EXPECT_EQ(table.rows[1].values, (Strings{"say \"hi\"", "1883", "{imei}, x"}));
    EXPECT_EQ(table.rows[1].text, "356938035643817,\"say \"\"hi\"\"\",1883,\"{imei}, x\"");
    EXPECT_EQ(table.rows[2].values, (Strings{"", "", "{device-id}"}));
    EXPECT_EQ(table.rows[2].lineNumber, 4);
    EXPECT_EQ(findOverrideRow(table, "356938035643817", "D1"), &table.rows[1]);
    EXPECT_EQ(findOverrideRow(table, "35693803564381", "356938035643817"), nullptr);
    ASSERT_TRUE(parseOverrides("device-id,apn,lora-dev-eui\nD1,a,0{imei}", table, error)) << error;
    EXPECT_EQ(table.rows.at(0).key, "D1");
    EXPECT_EQ(findOverrideRow(table, "D1x", "D1"), &table.rows[0]);
    EXPECT_EQ(findOverrideRow(table, "D1", "D2"), nullptr);
}

TEST(Overrides, RefusesAFaultAtItsLineAndColumn) {
    const std::string notImei = "' is not an IMEI (15 digits with their check digit)";
    const struct {
        std::string csv, error;
    } cases[] = {
        {"", "line 1, column 1: no header"},
        {"IMEI,apn\n", "line 1, column 1: the first header is 'IMEI', not imei or device-id"},
        {"imei,apn,mqtt-prt\n", "line 1, column 3: no setting field 'mqtt-prt'"},
        {"imei,imsi\n", "line 1, column 2: imsi is read-only"},
        {"imei,mqtt-port,MQTT-port\n", "line 1, column 3: mqtt-port given twice (column 2)"},
        {"imei,apn\n1,\"ab\n", "line 2, column 2: unterminated quoted field"},
        {"imei,apn\n1,\"ab\"c\n", "line 2, column 2: text after the closing quote"},
        {"imei,apn\n1,a \"b\"\n", "line 2, column 2: quote inside an unquoted field"},
        {"imei,apn\n1,\xC3\x28\n", "line 2, column 2: not UTF-8"},
        {"imei,apn\n356938035643809,a\n\n2,b\n", "line 3, column 1: blank line"},
        {"imei,apn,mqtt-port\n1,a\n", "line 2, column 2: 2 cells, the header has 3"},
        {"imei,apn\n\"356938035643809\",\"a\r\nb\",c\r\n",
         "line 3, column 3: 3 cells, the header has 2"},
        {"imei,apn\n356938035643809,a\n356938035643817,b\n356938035643809,c\n",
         "line 4, column 1: device 356938035643809 given twice (line 2)"},
        {"device-id,apn\n,a\n", "line 2, column 1: no device ID"},
        {"imei,apn,mqtt-port\n356938035643809,a,80x\n",
         "line 2, column 3: mqtt-port takes a decimal number"},
        {"imei,apn\n35693803564381,a\n", "line 2, column 1: '35693803564381" + notImei},
        {"imei,apn\n356938035643808,a\n", "line 2, column 1: '356938035643808" + notImei},
        {"imei,apn\n 356938035643809,a\n", "line 2, column 1: ' 356938035643809" + notImei},
        {"imei,apn\n\"356938035643809\n\",a\n",
         "line 2, column 1: '356938035643809\\x0a" + notImei},
        {"device-id,apn\n\"TRK-1 \",a\n",
         "line 2, column 1: 'TRK-1 ' is not a device ID (1 to 64 printable ASCII characters "
         "without blanks, quotes, commas or braces)"},
        {"imei,apn\n356938035643809,a{IMEI}\n",
         "line 2, column 2: unknown placeholder {IMEI}: only {imei} and {device-id}"},
        {"imei,apn,lora-dev-eui\n356938035643809,a,{device-id}\n",
         "line 2, column 3: lora-dev-eui takes hex digits only (0-9, A-F), filled in for IMEI "
         "356938035643809 and device ID TRK-00000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.csv);
        OverrideTable table;
        std::string error;
        EXPECT_FALSE(parseOverrides(c.csv, table, error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(Placeholders, OnlyTheTwoAreFilledAndAnyOtherWordIsRefused) {
    EXPECT_EQ(expandPlaceholders("a{imei}-{device-id}{IMEI}{x}{imei", "35", "D7"),
              "a35-D7{IMEI}{x}{imei");
    EXPECT_TRUE(hasPlaceholder("x{device-id}"));
    EXPECT_FALSE(hasPlaceholder("{Imei} {imei {device_id}"));
    const std::string imeiOnly = "{imei} is filled in only by provision";
    const struct {
        std::string value, refused, filled;
    } cases[] = {
        {"a{imei}-{device-id}", imeiOnly, ""},
        {"x{device-id}", "{device-id} is filled in only by provision", ""},
        {"{{imei}}", imeiOnly, ""},
        {"{ imei} {} {imei {a.b} }", "", ""},
        {"{Imei}", "unknown placeholder {Imei}: only {imei} and {device-id}",
         "unknown placeholder {Imei}: only {imei} and {device-id}"},
        {"{imei}{device_id}", imeiOnly,
         "unknown placeholder {device_id}: only {imei} and {device-id}"},
        {"{a-B_9}{imei}", "unknown placeholder {a-B_9}: only {imei} and {device-id}",
         "unknown placeholder {a-B_9}: only {imei} and {device-id}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(placeholderProblem(c.value, Placeholders::Refused), c.refused);
        EXPECT_EQ(placeholderProblem(c.value, Placeholders::Filled), c.filled);
    }
}

TEST(Overrides, OneDeviceGetsTheProfileThenItsRowEachValueFilledInAndChecked) {
    const auto entry = [](int line, const char* key, const char* value) {
        ProfileEntry made{line, nullptr, nullptr, value, true};
        EXPECT_TRUE(findField(key, made.row, made.field)) << key;
        return made;
    };
    std::vector<ProfileEntry> profile = {entry(3, "apn", "web/{imei}"),
                                         entry(5, "mqtt-topic-pub", "t/{device-id}"),
                                         entry(7, "mqtt-port", "1883")};
    OverrideTable table;
    std::string error;
    ASSERT_TRUE(parseOverrides("imei,apn,mqtt-port,mqtt-username\n"
                               "356938035643817,,8883,u-{device-id}\n",
                               table, error))
        << error;
    MemoryControls controls;
    setUpPageControls(controls);
    ASSERT_TRUE(fillDeviceValues(controls, profile, &table, &table.rows[0], "356938035643817",
                                 "TRK-1", error))
        << error;
    std::string values;
    for (const char* key : {"apn", "mqtt-topic-pub", "mqtt-port", "mqtt-username"}) {
        const SettingRow* row = nullptr;
        const SettingField* field = nullptr;
        ASSERT_TRUE(findField(key, row, field));
        values += fieldValueText(controls, *field) + "|";
    }
    // The empty apn cell keeps the profile's value.
    EXPECT_EQ(values, "web/356938035643817|t/TRK-1|8883|u-TRK-1|");

    // Values that fit the stand-in identity and not a longer device ID: the profile's line,
    // then the row's cell, refuse the device.
    EXPECT_FALSE(fillDeviceValues(controls, profile, &table, &table.rows[0], "356938035643817",
                                  "TRK-0123456789ABCDEF012345678", error));
    EXPECT_EQ(error, "profile line 5: mqtt-topic-pub takes at most 30 characters");
    EXPECT_FALSE(fillDeviceValues(controls, profile, &table, &table.rows[0], "356938035643817",
                                  "TRK-0123456789ABCDEF", error));
    EXPECT_EQ(error, "overrides line 2, column 4: mqtt-username takes at most 19 characters");
}
