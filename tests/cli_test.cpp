// The command-line tool as a user runs it: the built program, its output streams and its
// exit status, against the built-in simulator and against the simulator program on a
// pseudo-terminal.
#include "tests/support/cli_process.h"
#include "tests/support/devsim_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef TARNWICK_CLI
#error "TARNWICK_CLI must name the command-line program"
#endif
#ifndef TARNWICK_DEVSIM
#error "TARNWICK_DEVSIM must name the simulator program"
#endif

namespace {

CliRun runCli(const std::vector<std::string>& arguments) {
    return runProgram(TARNWICK_CLI, arguments);
}

struct CliRow {
    const char* name;
    std::vector<std::string> arguments;
    int exitStatus;
    std::string out;     // exact
    std::string errPart; // must appear in stderr
};

void expectRun(const CliRow& row, const CliRun& run) {
    EXPECT_EQ(run.exitStatus, row.exitStatus) << run.err;
    EXPECT_EQ(run.out, row.out);
    EXPECT_NE(run.err.find(row.errPart), std::string::npos) << run.err;
}

TEST(CommandLine, RawAgainstTheBuiltInSimulator) {
    const std::vector<CliRow> rows = {
        {"connect draws two replies",
         {"--simulate", "raw", "0x0000", "--await", "1"},
         0,
         "01\n00\n",
         ""},
        {"decimal code with payload",
         {"--simulate", "--sim-fault", "8:payload=00", "raw", "8", "01"},
         0,
         "00\n",
         ""},
        {"empty reply payload prints an empty line",
         {"--simulate", "--sim-fault", "9:payload=", "raw", "9"},
         0,
         "\n",
         ""},
        {"silent device",
         {"--simulate", "--sim-fault", "9:silent", "raw", "9", "--timeout", "100"},
         1,
         "",
         "raw: no reply to 0x0009"},
        {"missing further reply",
         {"--simulate", "raw", "9", "--await", "1", "--timeout", "50"},
         1,
         "0001\n",
         "further reply 1 of 1 to 0x0009 did not come"},
        {"code outside the index",
         {"--simulate", "raw", "0x1234"},
         2,
         "",
         "not in the command index"},
        {"payload not hex", {"--simulate", "raw", "9", "0g"}, 2, "", "is not pairs of hex digits"},
        {"payload too long",
         {"--simulate", "raw", "0x0302", std::string(128, 'a')},
         2,
         "",
         "longer than 63"},
        {"bad await", {"--simulate", "raw", "9", "--await", "x"}, 2, "", "--await needs a count"},
        {"no port given", {"raw", "9"}, 2, "", "give --port PATH or --simulate"},
        {"both targets", {"--simulate", "--port", "/dev/null", "raw", "9"}, 2, "", "not both"},
        {"help of raw", {"raw", "--help"}, 0, "", ""},
        {"unknown command", {"frobnicate"}, 2, "", "unknown command 'frobnicate'"},
    };
    for (const CliRow& row : rows) {
        SCOPED_TRACE(row.name);
        const CliRun run = runCli(row.arguments);
        if (std::string(row.name) == "help of raw") {
            EXPECT_EQ(run.exitStatus, 0);
            EXPECT_EQ(run.out.rfind("usage: tarnwick-cli", 0), 0u) << run.out;
            continue;
        }
        expectRun(row, run);
    }
}

TEST(CommandLine, RefusesBadArgumentsBeforeOpeningThePort) {
    // The port does not exist: a run that got as far as opening it would fail with status 1.
    const std::string missing = "/nonexistent/tarnwick-port";
    const std::vector<CliRow> rows = {
        {"unknown name",
         {"--port", missing, "get", "mqtt-port", "nothing"},
         2,
         "",
         "get: unknown setting 'nothing'; valid names: master-flag, button-number-green,"},
        {"read-only name", {"--port", missing, "set", "imei=1"}, 2, "", "set: 'imei' is read only"},
        {"not NAME=VALUE", {"--port", missing, "set", "master-flag"}, 2, "", "is not NAME=VALUE"},
        {"flag not 0 or 1",
         {"--port", missing, "set", "master-flag=yes"},
         2,
         "",
         "master-flag takes 0 or 1"},
        {"number not decimal",
         {"--port", missing, "set", "data-period=12x"},
         2,
         "",
         "data-period takes a decimal number"},
        {"band not in the list",
         {"--port", missing, "set", "lora-band=US902-928"},
         2,
         "",
         "lora-band takes one of: EU863-870, RU864-870"},
        {"a good setting does not make a later bad one pass",
         {"--port", missing, "set", "master-flag=1", "nothing=2"},
         2,
         "",
         "unknown setting 'nothing'"},
        {"the port itself", {"--port", missing, "get", "mqtt-port"}, 1, "", "cannot open port"},
    };
    for (const CliRow& row : rows) {
        SCOPED_TRACE(row.name);
        expectRun(row, runCli(row.arguments));
    }
}

class CommandLineOnAPort : public ::testing::Test {
  protected:
    DevsimProcess device;

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(device.start(TARNWICK_DEVSIM, {"--connect-delay", "200"}, error)) << error;
    }

    std::vector<std::string> on(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--port", device.portPath()});
        return arguments;
    }
};

TEST_F(CommandLineOnAPort, GetSetAndRefusedSet) {
    const CliRun get = runCli(on({"get", "mqtt-port", "data-period", "lora-band"}));
    EXPECT_EQ(get.exitStatus, 0) << get.err;
    EXPECT_EQ(get.out, "mqtt-port=1883\ndata-period=60\nlora-band=RU864-870\n");
    EXPECT_EQ(get.err, "Connecting...   success.\r\n"
                       "Getting MQTT PORT...   success.\r\n"
                       "Getting data period...   success.\r\n"
                       "Getting LoRa band...   success.\r\n"
                       "Disconnecting...   success.\r\n");

    const CliRun set =
        runCli(on({"set", "wifi-ssid=Склад 3=A", "mqtt-port=8883", "lora-band=EU863-870"}));
    EXPECT_EQ(set.exitStatus, 0) << set.err;
    EXPECT_EQ(set.out, "");
    EXPECT_EQ(set.err, "Connecting...   success.\r\n"
                       "Setting WiFi ssid...   success.\r\n"
                       "Setting MQTT PORT...   success.\r\n"
                       "Setting LoRa band...   success.\r\n"
                       "Disconnecting...   success.\r\n");

    const CliRun refused = runCli(on({"set", "data-period=181", "master-flag=1"}));
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_EQ(refused.err, "Connecting...   success.\r\n"
                           "Setting data period...   error (data is out of range).\r\n"
                           "Setting Master flag...   success.\r\n"
                           "Disconnecting...   success.\r\n");

    const CliRun readBack =
        runCli(on({"get", "wifi-ssid", "mqtt-port", "lora-band", "data-period"}));
    EXPECT_EQ(readBack.exitStatus, 0) << readBack.err;
    EXPECT_EQ(readBack.out,
              "wifi-ssid=Склад 3=A\nmqtt-port=8883\nlora-band=EU863-870\ndata-period=60\n");
}

TEST_F(CommandLineOnAPort, RawConnectAndMasterFlag) {
    const CliRun connect = runCli(on({"raw", "0x0000", "--await", "1"}));
    EXPECT_EQ(connect.exitStatus, 0) << connect.err;
    EXPECT_EQ(connect.out, "01\n00\n");
    const CliRun flag = runCli(on({"raw", "0x0009"}));
    EXPECT_EQ(flag.exitStatus, 0) << flag.err;
    ASSERT_EQ(flag.out.size(), 5u) << flag.out;
    EXPECT_EQ(flag.out.substr(0, 2), "00");
}

} // namespace
