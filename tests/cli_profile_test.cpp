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

CliRun on(const std::string& port, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--port", port});
    return runProgram(TARNWICK_CLI, arguments);
}

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
    DevsimProcess a;
    DevsimProcess b;
    start(a);
    start(b);
    const std::string expected =
        edited(on(a.portPath(), {"read-all"}).out,
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
    expectAllSucceeded(on(a.portPath(), {"load-all", dir.write("edited.conf", written)}), 41);

    // An older profile readable by all: read-all takes it over for the owner alone.
    const std::string saved = dir.write("saved.conf", "an older, longer profile\n\n\n\n");
    ::chmod(saved.c_str(), 0644);
    const CliRun read = on(a.portPath(), {"read-all", "--output", saved});
    expectAllSucceeded(read, 44);
    EXPECT_EQ(read.out, "");
    EXPECT_EQ(std::filesystem::status(saved).permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(readWholeFile(saved), expected);

    expectAllSucceeded(on(b.portPath(), {"load-all", saved}), 41);
    EXPECT_EQ(on(b.portPath(), {"read-all"}).out, expected);
}

TEST(ProfileOnPorts, AFailedReadWritesNoProfileAndAFailedWriteFailsTheLoad) {
    DevsimProcess device;
    start(device, {"--fault", "get-mqtt-port:status=1", "--fault", "set-apn:status=1"});
    TempDir dir;
    const std::string kept = dir.write("kept.conf", "kept\n");
    const CliRun read = on(device.portPath(), {"read-all", "--output", kept});
    EXPECT_EQ(read.exitStatus, 1);
    EXPECT_NE(read.err.find("\nGetting MQTT PORT...   ack error.\r\n"), std::string::npos);
    EXPECT_TRUE(read.err.ends_with("read-all: not every read succeeded; no profile written\n"
                                   "Disconnecting...   success.\r\n"));
    EXPECT_EQ(readWholeFile(kept), "kept\n");

    // Each fault is for one exchange: this read gets everything, the load fails the APN alone.
    ASSERT_EQ(on(device.portPath(), {"read-all", "--output", kept}).exitStatus, 0);
    const CliRun load = on(device.portPath(), {"load-all", kept});
    EXPECT_EQ(load.exitStatus, 1);
    EXPECT_NE(load.err.find("\nSetting APN...   ack error.\r\nSetting MQTT BROKER...   success."),
              std::string::npos);
}

TEST(ProfileRefusals, LoadAllChecksTheWholeProfileBeforeOpeningThePort) {
    ::umask(077);
    const std::string good = runProgram(TARNWICK_CLI, {"--simulate", "read-all"}).out;
    const std::vector<std::pair<std::string, std::string>> rows = {
        {good + "volume=3\n", "line 81: unknown setting 'volume'"},
        {edited(good, {{"mic-gain=4", "mic-gain 4"}}), "line 7: 'mic-gain 4' is not NAME=VALUE"},
        {edited(good, {{"wifi-enable=1", "wifi-enable=on"}}), "line 25: wifi-enable takes 0 or 1"},
        {good + "gas-analyzer.period=20\n", "line 81: gas-analyzer.period gives again the field "
                                            "of line 51 (aux-sensors.gas-analyzer.period)"},
        {edited(good, {{"gnss-always-on=0\n", ""}}),
         "no line for gnss-always-on (load-all writes every setting)"},
    };
    TempDir dir;
    for (const auto& [text, error] : rows) {
        const std::string path = dir.write("refused.conf", text);
        // No such port: a run that got as far as opening it would end with 1, not 2.
        const CliRun run = on("/nonexistent/port", {"load-all", path});
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_EQ(run.out + run.err, "load-all: " + path + ": " + error + "\n");
    }
}

} // namespace
