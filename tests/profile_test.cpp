// Profiles: the run log read-all and load-all judge, the placeholders, what a profile's write
// leaves out or refuses before sending, the text limits, and how diff and verify compare.
#include "app/cli/log_results.h"
#include "profile/planned_writes.h"
#include "profile/profile_diff.h"
#include "profile/read_back.h"
#include "support/sim_rig.h"
#include "tests/support/wire_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Assignments = std::vector<std::pair<std::string, std::string>>;

// Fills `key` with `value` as a profile line would; false with the refusal in `error`.
bool fill(Controls& controls, const std::string& key, const std::string& value,
          std::string& error) {
    const SettingRow* row = nullptr;
    const SettingField* field = nullptr;
    error = "no field " + key;
    return findField(key, row, field) && fillFieldValue(controls, *row, *field, value, error);
}

MemoryControls pageControls(const Assignments& values = {}) {
    MemoryControls controls;
    setUpPageControls(controls);
    for (const auto& [key, value] : values) {
        std::string error;
        EXPECT_TRUE(fill(controls, key, value, error)) << error;
    }
    return controls;
}

} // namespace

TEST(ProfileRunLog, EveryOperationIsOneLineEndingInSuccess) {
    const std::string ok = "Getting A...   success.\r\n";
    EXPECT_TRUE(allSucceeded(ok + ok, 2));
    EXPECT_FALSE(allSucceeded(ok + "Getting B...   ack error.\r\n", 2));
    EXPECT_FALSE(allSucceeded(ok, 2));
    EXPECT_FALSE(allSucceeded(ok + ok + "success.\r\n", 3));
    // A sensor record out of range breaks its line with a note of its own.
    EXPECT_FALSE(
        allSucceeded("Getting ble aux data...   \r\n   GAS ANALYZER error.\r\nsuccess.\r\n", 1));
}

TEST(ProfileText, PlaceholdersAreCheckedWithTheStandInOrRefusedAtTheirLine) {
    std::string blank;
    std::string error;
    ASSERT_TRUE(writeProfile(pageControls(), blank, error)) << error;
    const std::size_t at = blank.find("\nlora-dev-eui=\n");
    ASSERT_NE(at, std::string::npos);
    const std::string unknown = "line 21: unknown placeholder {IMEI}: only {imei} and {device-id}";
    const struct {
        std::string line;
        std::string refused, filled; // the errors; empty: taken
    } cases[] = {
        {"lora-dev-eui=0{imei}", "line 21: {imei} is filled in only by provision", ""},
        {"lora-dev-eui={device-id}", "line 21: {device-id} is filled in only by provision",
         "line 21: lora-dev-eui takes hex digits only (0-9, A-F), filled in for IMEI "
         "356938035643809 and device ID TRK-00000000"},
        {"lora-dev-eui=0{IMEI}", unknown, unknown},
        {"lora-dev-eui={imei}{imei}", "line 21: {imei} is filled in only by provision",
         "line 21: lora-dev-eui takes at most 16 characters, filled in for IMEI "
         "356938035643809 and device ID TRK-00000000"},
        {"lora-dev-eui={ imei}", "line 21: lora-dev-eui takes hex digits only (0-9, A-F)",
         "line 21: lora-dev-eui takes hex digits only (0-9, A-F)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string text = std::string(blank).replace(at, 15, "\n" + c.line + "\n");
        std::vector<ProfileEntry> entries;
        EXPECT_EQ(parseProfile(text, entries, error), c.refused.empty());
        EXPECT_EQ(c.refused.empty() ? "" : error, c.refused);
        EXPECT_EQ(parseProfile(text, entries, error, Placeholders::Filled), c.filled.empty());
        EXPECT_EQ(c.filled.empty() ? "" : error, c.filled);
    }
}

TEST(PlannedWrites, EmptySettingsThatCannotBeWrittenEmptyAreLeftOut) {
    std::vector<std::string> skipped;
    const MemoryControls blank = pageControls();
    const std::vector<const SettingRow*> rows = plannedWrites(blank, skipped);
    std::string names;
    for (const std::string& name : skipped) {
        names += name + " ";
    }
    // Texts are written empty; check boxes are never empty.
    EXPECT_EQ(names, "voice-volume tone-volume mic-gain data-period mqtt-port lora-dev-eui "
                     "lora-app-eui lora-app-key lora-band siz-1 siz-2 siz-3 siz-4 siz-5 siz-6 "
                     "siz-7 siz-8 siz-rssi bracelet ble-namespace ble-scan-time gas-analyzer "
                     "token ");
    EXPECT_EQ(rows.size(), 41u - skipped.size());
    std::string error;
    EXPECT_TRUE(checkPlannedWrites(blank, rows, error)) << error;
    EXPECT_EQ(skippedLine("bracelet"),
              "Skipping bracelet: every field is empty in the profile.\r\n");
}

TEST(PlannedWrites, AValueTheWriteWouldRefuseIsFoundWithoutSending) {
    // clang-format off
    const std::string range = "error (data is out of range).";
    const std::string length = "error (wrong data length).";
    const struct {
        Assignments values;
        std::string refused, error; // the setting and its error; empty: every write passes
    } cases[] = {
        {{{"data-period", "6"}}, "data-period", range},
        {{{"data-period", "7"}, {"voice-volume", "0"}, {"mic-gain", "5"}}, "", ""},
        {{{"voice-volume", "-1"}}, "voice-volume", range},
        {{{"bracelet.address", "0A1B2C3D4E5F"}}, "bracelet", "error."},
        {{{"bracelet.address", "0A1B2C3D4E5F"}, {"bracelet.type", "---"}, {"bracelet.period", "9"}},
         "bracelet", range},
        {{{"bracelet.address", "0A1B2C3D4E5"}, {"bracelet.type", "Halvorn Tessel"},
          {"bracelet.period", "9"}}, "bracelet", length},
        {{{"lora-app-eui", "0123"}}, "lora-app-eui", length},
        {{{"ble-namespace", "0123456789"}}, "ble-namespace", length},
        {{{"immobility.enabled", "1"}, {"immobility.t1", "0"}, {"immobility.t2", "1"},
          {"immobility.t3", "1"}}, "immobility", range},
        {{{"immobility.enabled", "1"}}, "immobility", "error."},
        {{{"token.address", "0A1B2C3D4E5F"}, {"token.type", "Token UWB"}, {"token.value", "0"}},
         "", ""}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.values.front().first);
        const MemoryControls controls = pageControls(c.values);
        std::vector<std::string> skipped;
        std::string error;
        EXPECT_EQ(checkPlannedWrites(controls, plannedWrites(controls, skipped), error),
                  c.error.empty());
        EXPECT_EQ(c.error.empty() ? "" : error,
                  c.error.empty() ? "" : c.refused + ": the write refuses it: " + c.error);
    }
}

TEST(ProfileText, EveryTextLimitTakesItsBoundAndNotOneMore) {
    // clang-format off
    const struct {
        const char* key;
        std::size_t limit;
        char c;
    } limits[] = {
        {"button-number-green", 25, '1'}, {"button-number-red", 25, '+'}, {"voice-volume", 3, '0'},
        {"tone-volume", 3, '0'}, {"mic-gain", 2, '0'}, {"data-period", 3, '0'}, {"apn", 50, 'a'},
        {"mqtt-broker", 50, 'b'}, {"mqtt-username", 19, 'u'}, {"mqtt-password", 19, 'p'},
        {"mqtt-port", 5, '0'}, {"mqtt-topic-sub", 30, 't'}, {"mqtt-topic-pub", 30, 't'},
        {"lora-dev-eui", 16, 'A'}, {"lora-app-eui", 16, 'b'}, {"lora-app-key", 32, 'F'},
        {"wifi-ssid", 60, 's'}, {"wifi-password", 60, 'p'}, {"siz-1", 12, 'A'}, {"siz-2", 12, 'a'},
        {"siz-3", 12, '0'}, {"siz-4", 12, '9'}, {"siz-5", 12, 'F'}, {"siz-6", 12, 'f'},
        {"siz-7", 12, 'C'}, {"siz-8", 12, 'd'}, {"bracelet.address", 12, 'E'},
        {"bracelet.period", 2, '0'}, {"ble-namespace", 20, 'D'}, {"ble-scan-time", 1, '0'},
        {"immobility.t1", 3, '0'}, {"immobility.t2", 3, '0'}, {"immobility.t3", 3, '0'},
        {"gas-analyzer.address", 12, 'A'}, {"gas-analyzer.period", 2, '0'},
        {"token.address", 12, 'B'}, {"token.value", 1, '0'}};
    // clang-format on
    MemoryControls controls = pageControls();
    for (const auto& limit : limits) {
        SCOPED_TRACE(limit.key);
        std::string error;
        EXPECT_TRUE(fill(controls, limit.key, std::string(limit.limit, limit.c), error)) << error;
        EXPECT_FALSE(fill(controls, limit.key, std::string(limit.limit + 1, limit.c), error));
        EXPECT_EQ(error, std::string(limit.key) + " takes at most " + std::to_string(limit.limit) +
                             " characters");
    }
}

// clang-format off
TEST(ProfileDiff, EachFieldKindComparesAsTheDeviceTakesIt) {
    const struct {
        const char* key;
        std::string a, b;
        std::string text; // the difference; empty: equal
    } cases[] = {
        {"mqtt-port", "0", "", "mqtt-port: 0 -> "}, {"mqtt-port", "00", "0", ""},
        {"data-period", "007", "7", ""}, {"bracelet.period", "", "0", "bracelet.period:  -> 0"},
        {"siz-1", "0a1b2c3d4e5f", "0A1B2C3D4E5F", ""},
        {"siz-8", "0A1B2C3D4E5F", "0A1B2C3D4E5E", "siz-8: 0A1B2C3D4E5F -> 0A1B2C3D4E5E"},
        {"bracelet.address", "d43639a10b7e", "D43639A10B7E", ""},
        {"lora-dev-eui", "70b3d57ed0051a2b", "70B3D57ED0051A2B", ""},
        {"lora-app-key", std::string(32, 'a'), std::string(32, 'A'), ""},
        {"lora-app-key", std::string(32, 'a'), std::string(32, 'b'),
         "lora-app-key: differs (secret)"},
        {"ble-namespace", "edd1ebeac04e5defa017", "EDD1EBEAC04E5DEFA017", ""},
        {"aux-sensors.token.address", "d8a01d556002", "D8A01D556002", ""},
        {"apn", "web", "WEB", "apn: web -> WEB"},
        {"wifi-password", "a", "b", "wifi-password: differs (secret)"},
        {"mqtt-password", "a", "", "mqtt-password: differs (secret)"},
        {"lora-band", "EU863-870", "RU864-870", "lora-band: EU863-870 -> RU864-870"},
        {"lora-band", "", "EU863-870", "lora-band:  -> EU863-870"},
        {"aux-sensors.gas-analyzer.type", "Mirax ()", "Mirax ()", ""},
        {"siz-rssi", "0", "", "siz-rssi: 0 -> "}, {"siz-rssi", "-070", "-70", ""},
        {"siz-rssi", "127", "-128", "siz-rssi: 127 -> -128"},
        {"master-flag", "0", "1", "master-flag: 0 -> 1"},
        {"log-flags.Save in file", "1", "0", "log-flags.Save in file: 1 -> 0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.a);
        const MemoryControls a = pageControls({{c.key, c.a}});
        const MemoryControls b = pageControls({{c.key, c.b}});
        const std::vector<FieldDifference> differences = diffFields(a, nullptr, b, nullptr);
        ASSERT_EQ(differences.size(), c.text.empty() ? 0u : 1u);
        if (!c.text.empty()) {
            EXPECT_EQ(differenceText(differences[0]), c.text);
        }
    }
}

TEST(ReadBack, VerifyComparesEachFieldKindAsDiffDoesAndHidesSecrets) {
    const struct {
        Assignments written;
        const char* device; // the bytes the device holds, as hex; empty: its own
        std::string mismatches;
    } cases[] = {
        {{{"lora-dev-eui", "70b3d57ed0051a2b"}}, "", ""}, {{{"siz-1", "e45f012a7c10"}}, "", ""},
        {{{"bracelet.address", "d43639a10b7e"}, {"bracelet.type", "Halvorn Tessel"},
          {"bracelet.period", "10"}}, "", ""},
        {{{"mqtt-port", "01883"}}, "", ""},
        {{{"mqtt-port", ""}}, "00 00", "mqtt-port: wrote , the device has 0|"},
        {{{"siz-rssi", "-70"}}, "", ""},
        {{{"siz-rssi", "0"}}, "", "siz-rssi: wrote 0, the device has -70|"},
        {{{"lora-band", "EU863-870"}}, "", "lora-band: wrote EU863-870, the device has RU864-870|"},
        {{{"wifi-password", "wifi-pass-2024"}}, "", ""},
        {{{"wifi-password", "other"}}, "", "wifi-password: differs (secret)|"},
        {{{"lora-app-key", std::string(32, '0')}}, "", "lora-app-key: differs (secret)|"}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written.front().first + "=" + c.written.front().second);
        SimRig rig;
        const SettingRow* row = nullptr;
        const SettingField* field = nullptr;
        ASSERT_TRUE(findField(c.written.front().first, row, field));
        if (c.device[0] != '\0') {
            rig.device.storeValue(*row->getCode, wire(c.device));
        }
        const std::vector<const SettingRow*> rows = {row};
        const ReadBackResult result =
            readBack(rig.link, pageControls(c.written), rows, [](std::string_view) {});
        EXPECT_TRUE(result.readsSucceeded);
        std::string texts;
        for (const FieldMismatch& mismatch : result.mismatches) {
            texts += mismatchText(mismatch) + "|";
            EXPECT_EQ(mismatch.secret, row->secret);
        }
        EXPECT_EQ(texts, c.mismatches);
    }
}
