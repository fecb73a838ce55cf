// The profile text: what read-all writes, what load-all takes and refuses, and the outcome
// read back from the log.
#include "app/cli/log_results.h"
#include "app/cli/private_file.h"
#include "app/cli/profile.h"
#include "resources/control_ids.h"
#include "sim/device_simulator.h"
#include "sim/simulator_channel.h"
#include "ui/menu_commands.h"
#include "ui/page_setup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef _WIN32
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The simulated device's settings as read-all writes them.
const std::string kDefaultProfile = std::string(kProfileHeader) + R"(master-flag=1
button-number-green=+15551230001
button-number-red=+15551230002
voice-volume=3
tone-volume=2
mic-gain=4
imei=356938035643809
imsi=001010123456789
device-id=TRK-0A1B2C3D
server-ack-flag=1
data-period=60
apn=internet
mqtt-broker=mqtt.tarnwick.example
mqtt-username=tracker
mqtt-password=s3cret-pass
mqtt-port=1883
mqtt-topic-sub=tarnwick/cmd/TRK-0A1B2C3D
mqtt-topic-pub=tarnwick/data/TRK-0A1B2C3D
lora-enable=1
lora-dev-eui=70B3D57ED0051A2B
lora-app-eui=70B3D57ED0000001
lora-app-key=2B7E151628AED2A6ABF7158809CF4F3C
lora-band=RU864-870
wifi-enable=1
wifi-ssid=Tarnwick-Service
wifi-password=wifi-pass-2024
xnb-enable=0
xnb-id=XNB-00A1F3
siz-1=E45F012A7C10
siz-2=E45F012A7C11
siz-3=E45F012A813D
siz-4=000000000000
siz-5=000000000000
siz-6=000000000000
siz-7=000000000000
siz-8=000000000000
siz-rssi=-70
bracelet.address=D43639A10B7E
bracelet.type=Halvorn Tessel
bracelet.period=10
ble-namespace=EDD1EBEAC04E5DEFA017
ble-scan-time=3
immobility.enabled=1
immobility.t1=5
immobility.t2=15
immobility.t3=30
immobility.horizontal=0
aux-sensors.gas-analyzer.address=F00C1A223344
aux-sensors.gas-analyzer.type=Honeywell (BW Solo)
aux-sensors.gas-analyzer.period=15
aux-sensors.token.address=D8A01D556002
aux-sensors.token.type=Token UWB
aux-sensors.token.value=1
gnss-always-on=0
log-flags.GSM_LL=0
log-flags.GSM_LL rx=0
log-flags.GSM_LL tx=0
log-flags.GSM=1
log-flags.LBLE_LL=0
log-flags.LBLE_LL rx=0
log-flags.LBLE_LL tx=0
log-flags.LBLE=0
log-flags.GNSS_LL=0
log-flags.GNSS_LL rx=0
log-flags.GNSS_LL tx=0
log-flags.GNSS=1
log-flags.SENS=0
log-flags.DISP=0
log-flags.WiFi_LL=0
log-flags.WiFi_LL rx=0
log-flags.WiFi_LL tx=0
log-flags.WiFi=0
log-flags.XNB_LL=0
log-flags.XNB_LL rx=0
log-flags.XNB_LL tx=0
log-flags.XNB=0
log-flags.BLE=0
log-flags.LORA=0
log-flags.Save in file=0
)";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::string without(const std::string& text, const std::string& line) {
    return replaced(text, line + "\n", "");
}

MemoryControls listsFilled() {
    MemoryControls controls;
    setUpPageControls(controls);
    return controls;
}

TEST(Profile, ReadAllOfTheSimulatedDeviceWritesEveryReadableField) {
    DeviceSimulator device;
    SimulatorChannel channel(device);
    DeviceLink link;
    initDeviceLink(link, &channel);
    MemoryControls controls = listsFilled();
    AuxSensorCache auxSensors;
    SettingContext context{link, controls, auxSensors};
    getAllSettings(context);

    std::string text;
    std::string error;
    ASSERT_TRUE(writeProfile(controls, text, error)) << error;
    EXPECT_EQ(text, kDefaultProfile);
    std::size_t reads = 0;
    for (const SettingRow& row : settingCatalogue()) {
        reads += row.getCode ? 1 : 0;
    }
    EXPECT_TRUE(allSucceeded(controls.log(), reads)) << controls.log();
}

TEST(Profile, WriteRefusesAValueThatWouldSpanLines) {
    MemoryControls controls = listsFilled();
    controls.setEditText(IDC_APN, u"inter\nnet");
    std::string text;
    std::string error;
    EXPECT_FALSE(writeProfile(controls, text, error));
    EXPECT_EQ(error, "the value of apn does not fit on one line");
}

struct ParseRow {
    const char* name;
    std::string text;
    std::string error; // empty: the profile is taken
};

TEST(Profile, ParseTakesGoodProfilesAndNamesTheFaultyLine) {
    const std::string& base = kDefaultProfile;
    const std::vector<ParseRow> rows = {
        {"as read", base, ""},
        {"comments, blank lines and CR LF",
         "# mine\n\n   \n  # indented comment\r\n" +
             replaced(base, "mqtt-port=1883\n", "mqtt-port=1883\r\n"),
         ""},
        {"UTF-8 mark and no newline at the end", "\xEF\xBB\xBF" + base.substr(0, base.size() - 1),
         ""},
        {"any order", without(base, "master-flag=1") + "master-flag=1\n", ""},
        {"field names in lower case with dashes",
         replaced(base, "log-flags.Save in file=0", "log-flags.save-in-file=1"), ""},
        {"read-only lines may be left out",
         without(without(base, "imei=356938035643809"), "xnb-id=XNB-00A1F3"), ""},
        {"gas-analyzer lines stand in for the sensor read-out",
         replaced(base,
                  "aux-sensors.gas-analyzer.address=F00C1A223344\n"
                  "aux-sensors.gas-analyzer.type=Honeywell (BW Solo)\n"
                  "aux-sensors.gas-analyzer.period=15\n",
                  "gas-analyzer.address=F00C1A223344\ngas-analyzer.type=Honeywell (BW Solo)\n"
                  "gas-analyzer.period=15\n"),
         ""},
        {"empty list and number values",
         replaced(replaced(base, "bracelet.type=Halvorn Tessel", "bracelet.type="),
                  "bracelet.period=10", "bracelet.period="),
         ""},
        {"texts are taken to the end of the line", replaced(base, "apn=internet", "apn= a=b # c "),
         ""},
        {"unknown name", base + "nothing=1\n", "line 81: unknown setting 'nothing'"},
        {"unknown field", replaced(base, "bracelet.period=10", "bracelet.speed=10"),
         "line 41: unknown setting 'bracelet.speed'"},
        {"a setting of several fields as a whole", base + "bracelet=1\n",
         "line 81: bracelet is given by its fields: bracelet.address, bracelet.type, "
         "bracelet.period"},
        {"missing '='", replaced(base, "master-flag=1", "master-flag 1"),
         "line 2: 'master-flag 1' is not NAME=VALUE"},
        {"name with blanks around it", replaced(base, "mqtt-port=1883", "mqtt-port = 1883"),
         "line 17: unknown setting 'mqtt-port '"},
        {"bad flag value", replaced(base, "master-flag=1", "master-flag=yes"),
         "line 2: master-flag takes 0 or 1"},
        {"empty flag value", replaced(base, "master-flag=1", "master-flag="),
         "line 2: master-flag takes 0 or 1"},
        {"bad number", replaced(base, "data-period=60", "data-period=60s"),
         "line 12: data-period takes a decimal number"},
        {"bad list entry", replaced(base, "lora-band=RU864-870", "lora-band=US902-928"),
         "line 24: lora-band takes one of: EU863-870, RU864-870"},
        {"rssi out of range", replaced(base, "siz-rssi=-70", "siz-rssi=-129"),
         "line 38: siz-rssi takes a number of dBm from -128 to 127"},
        {"bad value on an ignored line", replaced(base, "imei=356938035643809", "imei"),
         "line 8: 'imei' is not NAME=VALUE"},
        {"duplicate line", base + "mqtt-port=8883\n",
         "line 81: mqtt-port gives again the field of line 17 (mqtt-port)"},
        {"same line twice", base + "mqtt-port=1883\n",
         "line 81: mqtt-port gives again the field of line 17 (mqtt-port)"},
        {"the same control by two names", base + "gas-analyzer.period=20\n",
         "line 81: gas-analyzer.period gives again the field of line 51 "
         "(aux-sensors.gas-analyzer.period)"},
        {"first fault wins", replaced(base, "master-flag=1", "master-flag=2") + "nothing\n",
         "line 81: 'nothing' is not NAME=VALUE"},
        {"missing written lines",
         without(without(base, "mqtt-port=1883"), "aux-sensors.gas-analyzer.period=15"),
         "no line for mqtt-port, aux-sensors.gas-analyzer.period (load-all writes every "
         "setting)"},
        {"empty file", "",
         "no line for master-flag, button-number-green, button-number-red, voice-volume, "},
    };
    for (const ParseRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<ProfileEntry> entries;
        std::string error;
        const bool ok = parseProfile(row.text, entries, error);
        if (row.error.empty()) {
            EXPECT_TRUE(ok) << error;
            EXPECT_FALSE(entries.empty());
        } else {
            EXPECT_FALSE(ok);
            EXPECT_TRUE(entries.empty());
            EXPECT_EQ(error.substr(0, row.error.size()), row.error) << error;
        }
    }
}

TEST(Profile, ApplyFillsTheWrittenControlsOnly) {
    const std::string text =
        replaced(replaced(replaced(kDefaultProfile, "apn=internet", "apn=Склад 3"),
                          "bracelet.period=10", "bracelet.period="),
                 "imei=356938035643809", "imei=999");
    std::vector<ProfileEntry> entries;
    std::string error;
    ASSERT_TRUE(parseProfile(text, entries, error)) << error;
    EXPECT_EQ(entries.size(), 79u);

    MemoryControls controls = listsFilled();
    controls.setEditText(IDC_BRACELET_PERIOD, u"7");
    applyProfile(controls, entries);
    EXPECT_EQ(controls.fullText(IDC_APN), u"Склад 3");
    EXPECT_EQ(controls.fullText(IDC_BRACELET_PERIOD), u"");
    EXPECT_EQ(controls.listSelection(IDC_BRACELET_TYPE), 5);
    EXPECT_EQ(controls.fullText(IDC_IMEI), u"") << "read-only lines are not filled";
    // The sensor read-out's lines fill the gas analyzer's and the token's controls.
    EXPECT_EQ(controls.listSelection(IDC_GAS_TYPE), 2);
    EXPECT_EQ(controls.fullText(IDC_GAS_PERIOD), u"15");

    // Written back, the profile differs only where the input did and in the read-only lines.
    std::string written;
    ASSERT_TRUE(writeProfile(controls, written, error)) << error;
    std::string expected = replaced(text, "imei=999", "imei=");
    expected = replaced(expected, "imsi=001010123456789", "imsi=");
    expected = replaced(expected, "device-id=TRK-0A1B2C3D", "device-id=");
    expected = replaced(expected, "xnb-id=XNB-00A1F3", "xnb-id=");
    EXPECT_EQ(written, expected);
}

struct LogRow {
    const char* name;
    std::string log;
    std::size_t operations;
    bool succeeded;
};

TEST(LogResults, EveryOperationMustEndInSuccess) {
    const std::vector<LogRow> rows = {
        {"two successes", "Getting A...   success.\r\nGetting B...   success.\r\n", 2, true},
        {"one failure", "Getting A...   success.\r\nGetting B...   ack error.\r\n", 2, false},
        {"a check's own text", "Setting A...   error (data is out of range).\r\n", 1, false},
        {"fewer lines than operations", "Getting A...   success.\r\n", 2, false},
        {"more lines than operations", "Getting A...   success.\r\nGetting B...   success.\r\n", 1,
         false},
        {"a note inside the line",
         "Getting ble aux data...   \r\n   GAS ANALYZER error (data is out of range).\r\n"
         "success.\r\n",
         1, false},
        {"success without an action", "success.\r\n", 1, false},
        {"a line cut short", "Getting A...   success.\r\nGetting B...   ", 2, false},
        {"nothing for nothing", "", 0, true},
    };
    for (const LogRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(allSucceeded(row.log, row.operations), row.succeeded);
    }
}

#ifndef _WIN32
TEST(PrivateFile, WrittenForTheOwnerOnlyAlsoOverAnOpenFile) {
    char path[] = "/tmp/tarnwick-profile-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    struct Row {
        const char* name;
        bool exists;
        mode_t before;
    };
    const std::vector<Row> rows = {
        {"new file", false, 0},
        {"existing file readable by all", true, 0644},
        {"existing file writable by the group", true, 0660},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        unlink(path);
        if (row.exists) {
            std::FILE* file = std::fopen(path, "w");
            ASSERT_NE(file, nullptr);
            std::fputs("an older and longer profile\n", file);
            std::fclose(file);
            ASSERT_EQ(chmod(path, row.before), 0);
            EXPECT_TRUE(isReadableByOthers(path));
        }
        std::string error;
        ASSERT_TRUE(writePrivateFile(path, "a=1\n", error)) << error;
        struct stat status {};
        ASSERT_EQ(stat(path, &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0600u);
        EXPECT_FALSE(isReadableByOthers(path));
        std::string text;
        ASSERT_TRUE(readWholeFile(path, text, error)) << error;
        EXPECT_EQ(text, "a=1\n");
    }
    unlink(path);

    std::string error;
    EXPECT_FALSE(writePrivateFile("/nonexistent/dir/p.conf", "a=1\n", error));
    EXPECT_EQ(error.rfind("cannot create /nonexistent/dir/p.conf: ", 0), 0u) << error;
    std::string text;
    EXPECT_FALSE(readWholeFile("/nonexistent/dir/p.conf", text, error));
    EXPECT_EQ(error.rfind("cannot open /nonexistent/dir/p.conf: ", 0), 0u) << error;
}
#endif

} // namespace
