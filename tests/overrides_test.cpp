// The per-device CSV: how its records are read, what is refused and where.
#include "provision/overrides.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Strings = std::vector<std::string>;

TEST(Overrides, ReadsQuotedCellsLineEndsAndTheMark) {
    OverrideTable table;
    std::string error;
    ASSERT_TRUE(parseOverrides("\xEF\xBB\xBFimei,apn,MQTT-Port,wifi-ssid\r\n"
                               "111,\"inet,a\",\"\",\xD0\xA1\xD0\xB5\xD1\x82\xD1\x8C\n"
                               "222,\"say \"\"hi\"\"\",1883,\"{imei}\r\nx\"\r\n"
                               "333,,{device-id},\n\n\r\n",
                               table, error))
        << error;
    ASSERT_EQ(table.columns.size(), 3u);
    EXPECT_EQ(table.columns[1].header, "MQTT-Port");
    ASSERT_EQ(table.rows.size(), 3u);
    EXPECT_EQ(table.rows[0].values, (Strings{"inet,a", "", "\xD0\xA1\xD0\xB5\xD1\x82\xD1\x8C"}));
    EXPECT_EQ(table.rows[0].text, "111,\"inet,a\",\"\",\xD0\xA1\xD0\xB5\xD1\x82\xD1\x8C");
    EXPECT_EQ(table.rows[1].values, (Strings{"say \"hi\"", "1883", "{imei}\r\nx"}));
    EXPECT_EQ(table.rows[1].text, "222,\"say \"\"hi\"\"\",1883,\"{imei}\r\nx\"");
    EXPECT_EQ(table.rows[2].values, (Strings{"", "{device-id}", ""}));
    EXPECT_EQ(table.rows[2].lineNumber, 5);
    EXPECT_EQ(findOverrideRow(table, "222", "D1"), &table.rows[1]);
    EXPECT_EQ(findOverrideRow(table, "22", "222"), nullptr);
    ASSERT_TRUE(parseOverrides("device-id,apn\nD1,a", table, error)) << error;
    EXPECT_EQ(table.rows.at(0).key, "D1");
    EXPECT_EQ(findOverrideRow(table, "D1x", "D1"), &table.rows[0]);
    EXPECT_EQ(findOverrideRow(table, "D1", "D2"), nullptr);
}

TEST(Overrides, RefusesAFaultAtItsLineAndColumn) {
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
        {"imei,apn\n1,a\n\n2,b\n", "line 3, column 1: blank line"},
        {"imei,apn,mqtt-port\n1,a\n", "line 2, column 2: 2 cells, the header has 3"},
        {"imei,apn\n\"1\n2\",a\n3,b,c\r\n", "line 4, column 3: 3 cells, the header has 2"},
        {"imei,apn\n7,a\n8,b\n7,c\n", "line 4, column 1: device 7 given twice (line 2)"},
        {"device-id,apn\n,a\n", "line 2, column 1: no device ID"},
        {"imei,apn,mqtt-port\n1,a,80x\n", "line 2, column 3: mqtt-port takes a decimal number"},
    };
    for (const auto& c : cases) {
        OverrideTable table;
        std::string error;
        EXPECT_FALSE(parseOverrides(c.csv, table, error)) << c.csv;
        EXPECT_EQ(error, c.error) << c.csv;
    }
}

TEST(Overrides, ExpandsOnlyTheTwoPlaceholders) {
    EXPECT_EQ(expandPlaceholders("a{imei}-{device-id}{IMEI}{x}{imei", "35", "D7"),
              "a35-D7{IMEI}{x}{imei");
    EXPECT_TRUE(hasPlaceholder("x{device-id}"));
    EXPECT_FALSE(hasPlaceholder("{Imei} {imei {device_id}"));
}
