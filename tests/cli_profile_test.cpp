// read-all and load-all as a user runs them: the built program against simulator programs on
// pseudo-terminals, with profile files of the test's own.
#include "tests/support/cli_process.h"
#include "tests/support/devsim_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

void start(DevsimProcess& device, std::vector<std::string> arguments = {}) {
    arguments.insert(arguments.begin(), {"--connect-delay", "200"});
    std::string error;
    ASSERT_TRUE(device.start(TARNWICK_DEVSIM, arguments, error)) << error;
}

// Connect, `operations` operations and disconnect, every one a success.
void expectAllSucceeded(const CliRun& run, int operations) {
    EXPECT_EQ(run.exitStatus, 0);
    std::istringstream log(run.err);
    int lines = 0;
    for (std::string line; std::getline(log, line); ++lines) {
        EXPECT_TRUE(line.ends_with("...   success.\r")) << line;
    }
    EXPECT_EQ(lines, operations + 2);
}

TEST(ProfileOnPorts, ReadAllLoadedIntoAnotherDeviceReadsBackTheSame) {
    DevsimProcess a, b;
    start(a);
    start(b);
    const std::string expected =
        edited(cli({"read-all"}, a.portPath()).out,
               {{"\nmaster-flag=1\n", "\nmaster-flag=0\n"},
                {"\napn=internet\n", "\napn= a=b # c \n"},
                {"\nwifi-password=wifi-pass-2024\n", "\nwifi-password=пароль A\n"},
                {"\nsiz-rssi=-70\n", "\nsiz-rssi=-55\n"},
                {"F00C1A223344\naux-sensors.gas-analyzer.type=Honeywell (BW Solo)",
                 "0A1B2C3D4E5F\naux-sensors.gas-analyzer.type=Honeywell (BW Icon)"},
                {"Save in file=0", "Save in file=1"}});
    // Written in the other forms a person may use: a byte-order mark, comments, blank and CR LF
    // lines, a field name in lower case, the gas analyzer's own names, no imei line.
    const std::string written =
        edited("\xEF\xBB\xBF# mine\n\n  # indented\n" + expected,
               {{"\nimei=356938035643809\n", "\n"},
                {" # c \n", " # c \r\n"},
                {"aux-sensors.gas-analyzer.address", "gas-analyzer.address"},
                {"aux-sensors.gas-analyzer.type", "gas-analyzer.type"},
                {"Save in file=1", "save-in-file=1"}});
    ::umask(077); // the test's profiles are private, as profiles holding passwords should be
    TempDir dir;
    expectAllSucceeded(cli({"load-all", dir.write("edited.conf", written)}, a.portPath()), 41);

    // An older profile readable by all: read-all takes it over for the owner alone.
    const std::string saved = dir.write("saved.conf", "an older, longer profile\n\n\n\n");
    ::chmod(saved.c_str(), 0644);
    const CliRun read = cli({"read-all", "--output", saved}, a.portPath());
    expectAllSucceeded(read, 44);
    EXPECT_EQ(read.out, "");
    EXPECT_EQ(std::filesystem::status(saved).permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(readWholeFile(saved), expected);

    expectAllSucceeded(cli({"load-all", saved}, b.portPath()), 41);
    EXPECT_EQ(cli({"read-all"}, b.portPath()).out, expected);
}

TEST(ProfileOnPorts, AFailedReadWritesNoProfileAndAFailedWriteFailsTheLoad) {
    DevsimProcess device;
    start(device, {"--fault", "get-mqtt-port:status=1", "--fault", "set-apn:status=1"});
    TempDir dir;
    const std::string kept = dir.write("kept.conf", "kept\n");
    const CliRun read = cli({"read-all", "--output", kept}, device.portPath());
    EXPECT_EQ(read.exitStatus, 1);
    EXPECT_NE(read.err.find("\nGetting MQTT PORT...   ack error.\r\n"), std::string::npos);
    EXPECT_TRUE(read.err.ends_with("read-all: not every read succeeded; no profile written\n"
                                   "Disconnecting...   success.\r\n"));
    EXPECT_EQ(readWholeFile(kept), "kept\n");

    // Each fault is for one exchange: this read gets everything, the load fails the APN alone.
    ASSERT_EQ(cli({"read-all", "--output", kept}, device.portPath()).exitStatus, 0);
    const CliRun load = cli({"load-all", kept}, device.portPath());
    EXPECT_EQ(load.exitStatus, 1);
    EXPECT_NE(load.err.find("\nSetting APN...   ack error.\r\nSetting MQTT BROKER...   success."),
              std::string::npos);
}

TEST(ProfileOnPorts, WhatReadAllWritesForATrackerWithoutPartsLoadsBackSkippingThem) {
    DevsimProcess device;
    start(device, {"--no-gas-analyzer", "--no-token", "--no-lora-keys"});
    ::umask(077);
    TempDir dir;
    const std::string path = dir.path("parts.conf");
    expectAllSucceeded(cli({"read-all", "--output", path}, device.portPath()), 44);
    const std::string profile = readWholeFile(path);
    for (const char* empty :
         {"\nlora-dev-eui=\nlora-app-eui=\nlora-app-key=\nlora-band=RU864-870\n",
          "\naux-sensors.gas-analyzer.address=\naux-sensors.gas-analyzer.type=\n"
          "aux-sensors.gas-analyzer.period=\naux-sensors.token.address=\n"
          "aux-sensors.token.type=\naux-sensors.token.value=\n"}) {
        EXPECT_NE(profile.find(empty), std::string::npos) << empty;
    }
    const CliRun load = cli({"load-all", path, "--verify"}, device.portPath());
    EXPECT_EQ(load.exitStatus, 0) << load.err;
    EXPECT_TRUE(
        load.err.starts_with("Connecting...   success.\r\n"
                             "Skipping lora-dev-eui: every field is empty in the profile.\r\n"
                             "Skipping lora-app-eui: every field is empty in the profile.\r\n"
                             "Skipping lora-app-key: every field is empty in the profile.\r\n"
                             "Skipping gas-analyzer: every field is empty in the profile.\r\n"
                             "Skipping token: every field is empty in the profile.\r\n"
                             "Setting Master flag...   success.\r\n"))
        << load.err;
    EXPECT_EQ(load.err.find("Setting LoRa DEV_EUI"), std::string::npos);
    EXPECT_EQ(load.err.find("Getting LoRa DEV_EUI"), std::string::npos);
    EXPECT_NE(load.err.find("\nverify: 36 settings read back, all equal\n"), std::string::npos);

    // Without a bracelet its read is refused: read-all writes nothing. A profile with its
    // fields empty (as the window saves one) leaves it out, and the tracker stays without.
    DevsimProcess bare;
    start(bare, {"--no-bracelet"});
    const CliRun read = cli({"read-all", "--output", dir.path("none.conf")}, bare.portPath());
    EXPECT_EQ(read.exitStatus, 1);
    EXPECT_NE(read.err.find("\nGetting bracelet...   ack error.\r\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.path("none.conf")));
    const std::string noBracelet = dir.write(
        "nb.conf", edited(profile, {{"bracelet.address=D43639A10B7E", "bracelet.address="},
                                    {"bracelet.type=Halvorn Tessel", "bracelet.type="},
                                    {"bracelet.period=10", "bracelet.period="}}));
    const CliRun loadBare = cli({"load-all", noBracelet}, bare.portPath());
    EXPECT_EQ(loadBare.exitStatus, 0) << loadBare.err;
    EXPECT_NE(loadBare.err.find("\nSkipping bracelet: every field is empty in the profile.\r\n"),
              std::string::npos);
    EXPECT_EQ(cli({"get", "bracelet"}, bare.portPath()).exitStatus, 1);

    // A device value load-all would refuse (an APN longer than the window's 50 characters):
    // read-all writes no profile rather than one that cannot be loaded back.
    const std::string longApn = "00" + std::string(51 * 2, '6'); // 51 times 'f'
    const CliRun refused = cli({"--simulate", "--sim-fault", "get-apn:payload=" + longApn,
                                "read-all", "--output", dir.path("long.conf")});
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_NE(refused.err.find("\r\nread-all: load-all would refuse the profile: line 13: apn "
                               "takes at most 50 characters; no profile written\n"),
              std::string::npos)
        << refused.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path("long.conf")));
}

TEST(ProfileRefusals, LoadAllChecksTheWholeProfileBeforeOpeningThePort) {
    ::umask(077);
    const std::string good = cli({"--simulate", "read-all"}).out;
    const std::vector<std::pair<std::string, std::string>> rows = {
        {good + "volume=3\n", "line 81: unknown setting 'volume'"},
        {edited(good, {{"mic-gain=4", "mic-gain 4"}}), "line 7: 'mic-gain 4' is not NAME=VALUE"},
        {edited(good, {{"wifi-enable=1", "wifi-enable=on"}}), "line 25: wifi-enable takes 0 or 1"},
        {good + "gas-analyzer.period=20\n", "line 81: gas-analyzer.period gives again the field "
                                            "of line 51 (aux-sensors.gas-analyzer.period)"},
        {edited(good, {{"gnss-always-on=0\n", ""}}),
         "no line for gnss-always-on (load-all writes every setting)"},
        {edited(good, {{"=tarnwick/data/TRK-0A1B2C3D", "=trk/{device-id}"}}),
         "line 19: {device-id} is filled in only by provision"},
        {edited(good, {{"apn=internet", "apn=a{imei_}"}}),
         "line 13: unknown placeholder {imei_}: only {imei} and {device-id}"},
        {edited(good, {{"data-period=60", "data-period=6"}}),
         "data-period: the write refuses it: error (data is out of range)."},
        {edited(good, {{"bracelet.address=D43639A10B7E", "bracelet.address="}}),
         "bracelet: the write refuses it: error."},
    };
    TempDir dir;
    for (const auto& [text, error] : rows) {
        const std::string path = dir.write("refused.conf", text);
        // No such port: a run that got as far as opening it would end with 1, not 2.
        const CliRun run = cli({"load-all", path}, "/nonexistent/port");
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_EQ(run.out + run.err, "load-all: " + path + ": " + error + "\n");
    }
}

TEST(ProfileRefusals, DiffTakesAProfileOfOneMebibyteAndRefusesOneByteMore) {
    ::umask(077);
    const std::string good = cli({"--simulate", "read-all"}).out;
    std::string full = good + "#" + std::string(1024 * 1024 - good.size() - 2, 'x') + "\n";
    TempDir dir;
    const std::vector<std::string> exact = {"diff", dir.write("a", full), dir.write("b", full)};
    const CliRun taken = cli(exact);
    EXPECT_EQ(taken.exitStatus, 0) << taken.err;
    const std::string over = dir.write("over", full + "\n");
    const CliRun refused = cli({"diff", over, exact[1]});
    EXPECT_EQ(refused.exitStatus, 2);
    EXPECT_EQ(refused.err, "diff: cannot read " + over + ": larger than 1 MiB\n");
    const std::string placeholder =
        dir.write("p", edited(good, {{"=tarnwick/data/TRK-0A1B2C3D", "=trk/{imei}"}}));
    EXPECT_EQ(cli({"diff", placeholder, exact[1]}).err,
              "diff: " + placeholder + ": line 19: {imei} is filled in only by provision\n");
}

// Each value at the edges of its field's input filter, refused (exit 2) or taken (exit 1: the
// run went on to open the port). Below a minimum the write's own log line says so.
TEST(ProfileRefusals, SetRefusesBeforeConnectingWhatTheWindowsFiltersRefuse) {
    // One word each, '+' taken, '-' refused.
    std::istringstream rows(
        "+voice-volume=-1 +voice-volume=5 -voice-volume=6 +tone-volume=5 -tone-volume=6 "
        "+mic-gain=5 -mic-gain=6 +data-period=6 +data-period=180 -data-period=181 "
        "+mqtt-port=65535 -mqtt-port=65536 +bracelet.period=60 -bracelet.period=61 "
        "+ble-scan-time=8 -ble-scan-time=9 +immobility.t1=120 -immobility.t2=121 "
        "-immobility.t3=121 +gas-analyzer.period=60 -gas-analyzer.period=61 +token.value=1 "
        "-token.value=2 -siz-rssi=-129 +siz-rssi=-128 +siz-rssi=127 -siz-rssi=128 +siz-rssi= "
        "+lora-dev-eui=0123456789abcdef -lora-app-key=0123456789abcdef0123456789abcdeg "
        "+siz-1=0A1B2C3D4E5F -siz-8=0A1B2C3D4E5G -bracelet.address=0A1B2C3D4E5G "
        "+gas-analyzer.address=0a1b2c3d4e5f -token.address=0A1B2C3D4E5X "
        "+ble-namespace=0123456789ABCDEFabcd -ble-namespace=0123456789ABCDEFabc_ "
        "+button-number-red=+79991234567 -button-number-green=+7-999 +apn= -apn=a{imei} "
        "-apn=a{IMEI} ");
    for (std::string row; rows >> row;) {
        SCOPED_TRACE(row);
        const bool taken = row[0] == '+';
        const CliRun run = cli({"set", row.substr(1)}, "/nonexistent/port");
        EXPECT_EQ(run.exitStatus, taken ? 1 : 2) << run.err;
        EXPECT_EQ(run.err.starts_with("set: cannot open port"), taken) << run.err;
    }
}

} // namespace
