// The command-line program as a user runs it: exit status, stdout and stderr, against the
// built-in simulator and the simulator program on a pseudo-terminal.
#include "tests/support/cli_process.h"
#include "tests/support/devsim_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A run that got as far as opening this port would end with 1, not 2.
const std::string kNoPort = "--port /nonexistent/port ";

std::string logOf(const std::string& lines) {
    return "Connecting...   success.\r\n" + lines + "Disconnecting...   success.\r\n";
}

struct CliRow {
    std::string arguments; // split at each blank
    int exitStatus;
    std::string out;     // exact
    std::string errPart; // must appear in stderr
};

TEST(CliRuns, ExitStatusOutputAndReason) {
    const std::string versions =
        "gsm=01.200.01.200\nlble=1.6.2\ngnss=3.01.2\nwifi=3.2.0\nxnb=1.0.3\n";
    const std::vector<CliRow> rows = {
        {"--simulate raw 0x0000 --await 1", 0, "01\n00\n", ""},
        {"--simulate --sim-fault 9:payload= raw 9 --timeout 1", 0, "\n", ""},
        {"--simulate --sim-fault 9:silent raw 9", 1, "", "raw: no reply to 0x0009"},
        {"--simulate raw 9 --timeout 600000 --await 1000", 1, "0001\n", "reply 1 of 1000 to"},
        {"--simulate raw 9 --timeout 0", 2, "", "raw: --timeout needs a number of"},
        {"--simulate raw 9 --timeout 600001", 2, "", "milliseconds from 1 to 600000"},
        {"--simulate raw 9 --await 1001", 2, "", "raw: --await needs a count from 0 to 1000"},
        {"--simulate raw 9 00 01", 2, "", "raw: give CODE and at most one PAYLOAD_HEX"},
        {"--simulate raw 0x1234", 2, "", "not in the command index"},
        {"--simulate raw 9 0g", 2, "", "is not pairs of hex digits"},
        {"--simulate raw 0x0302 " + std::string(128, 'a'), 2, "", "longer than 63"},
        {"raw 9", 2, "", "raw: give --port PATH or --simulate"},
        {"--simulate " + kNoPort + "raw 9", 2, "", "not both"},
        {"--port  raw 9", 2, "", "tarnwick-cli: --port needs a value"},
        {"--verbose raw 9", 2, "", "tarnwick-cli: unknown option --verbose"},
        {"--sim-fault 9:silent raw 9", 2, "", "tarnwick-cli: --sim-fault needs --simulate"},
        {"frobnicate", 2, "", "tarnwick-cli: unknown command 'frobnicate'"},
        // Global options after the command; a command option's value stays the command's.
        {"get master-flag --simulate", 0, "master-flag=1\n", ""},
        {"get --json imei --simulate", 0, "{\"name\":\"imei\",\"value\":\"356938035643809\"}\n",
         ""},
        {"--simulate raw 9 --await --port", 2, "", "raw: --await needs a count from 0 to 1000"},
        {"--simulate raw 9 --timeout --json", 2, "", "raw: --timeout needs a number of"},
        {kNoPort + "get --port /dev/null master-flag", 2, "",
         "tarnwick-cli: --port is given 2 times; only provision takes several ports\n"},
        {"--simulate get master-flag --trace x --trace y", 2, "",
         "tarnwick-cli: --trace is given twice\n"},
        {"--simulate --sim-fault 0:silent get master-flag", 1, "", "Connecting...   cmd sending"},
        {kNoPort + "get mqtt-port", 1, "", "get: cannot open port /nonexistent/port"},
        {kNoPort + "get x", 2, "", "get: unknown setting 'x'; valid names: master-flag, "},
        {kNoPort + "set imei=1", 2, "", "set: 'imei' is read only"},
        {kNoPort + "set lora-band=US902", 2, "", "lora-band takes one of: EU863-870, RU864-870"},
        {kNoPort + "set bracelet=1", 2, "", "set: bracelet is set by its fields: bracelet."},
        {kNoPort + "set master-flag=1 x=2", 2, "", "set: unknown setting 'x'"},
        {kNoPort + "read-all extra", 2, "", "read-all: unexpected argument 'extra'\n"},
        {kNoPort + "test led-blue", 2, "", "test: name one test: led-green, led-red, voice or"},
        {kNoPort + "versions fw", 2, "", "versions: takes no arguments\n"},
        {"--simulate test led-green", 0, "", logOf("Toggle green led...   success.\r\n")},
        {"--simulate --sim-fault 3:status=2 test led-red", 1, "", "Toggle red led...   ack error."},
        {"--simulate test voice", 0, "", logOf("Switching on voice...   success.\r\n")},
        {"--simulate test vibro", 0, "", logOf("Switching on vibro...   success.\r\n")},
        {"--simulate --sim-fault 2:status=1 versions", 1, "fw=unknown.\n" + versions,
         "Get SW version...   ack error.\r\nGet GSM version...   success.\r\n"},
        {"--simulate versions", 0, "fw=2.7.1 (2024-05-14)\n" + versions,
         logOf("Get SW version...   success.\r\nGet GSM version...   success.\r\n"
               "Get LBLE version...   success.\r\nGet GNSS version...   success.\r\n"
               "Get WiFi version...   success.\r\nGet XNB version...   success.\r\n")},
    };
    for (const CliRow& row : rows) {
        SCOPED_TRACE(row.arguments);
        const CliRun run = cli(words(row.arguments));
        EXPECT_EQ(run.exitStatus, row.exitStatus) << run.err;
        EXPECT_EQ(run.out, row.out);
        EXPECT_NE(run.err.find(row.errPart), std::string::npos) << run.err;
    }
}

TEST(CliRuns, AMalformedPortIsRefusedByEveryCommandBeforeAnythingIsOpened) {
    const std::vector<std::string> specs = {"usb:zz", "usb:1209", "usb:1209:2A1E:", "usb:12G9:2A1E",
                                            "usb:1209-2A1E"};
    const std::vector<Args> commands = {{"get", "master-flag"},
                                        {"raw", "9"},
                                        {"read-all"},
                                        {"versions"},
                                        {"ports"},
                                        {"names"},
                                        {"provision", "p.conf"},
                                        {"load-all", "p.conf"}};
    bool after = false; // before the command and after it, in turn
    for (const std::string& spec : specs) {
        for (Args arguments : commands) {
            arguments.insert(arguments.begin() + (after = !after), {"--port", spec});
            SCOPED_TRACE(testing::PrintToString(arguments));
            const CliRun run = cli(arguments);
            EXPECT_EQ(run.exitStatus, 2);
            EXPECT_EQ(run.out, "");
            EXPECT_TRUE(run.err.starts_with("tarnwick-cli: bad port " + spec +
                                            ": give usb:VID:PID[:SERIAL], VID and PID four hex "
                                            "digits each\n"))
                << run.err;
        }
    }
}

TEST(CliRuns, TheTraceMasksSecretsUnlessAskedForThem) {
    TempDir dir;
    const std::string trace = dir.path("t");
    // The tx line of the password's set, without its time stamp.
    const auto sent = [&trace](Args arguments) {
        arguments.insert(arguments.end(), {"--trace", trace, "set", "mqtt-password=s3cr"});
        EXPECT_EQ(cli(arguments).exitStatus, 0);
        const std::string text = readWholeFile(trace);
        const std::size_t tx = text.find(" tx 00", text.find("code=0x0000 len=1 payload=00"));
        return tx == std::string::npos ? text : text.substr(tx + 1, text.find('\n', tx) - tx - 1);
    };
    EXPECT_EQ(sent({"--simulate"}), "tx 00******************** code=0x020d len=4 payload=********");
    EXPECT_EQ(sent({"--trace-secrets", "--simulate"}),
              "tx 000408020d060473336372 code=0x020d len=4 payload=73336372");
}

TEST(CliRuns, NamesAndPorts) {
    const CliRun names = cli({"names"});
    EXPECT_EQ(names.exitStatus, 0);
    EXPECT_TRUE(names.out.starts_with("master-flag          read write\n")) << names.out;
    EXPECT_NE(names.out.find("\nimei                 read      \n"), std::string::npos);
    EXPECT_NE(names.out.find("\ngas-analyzer         write      gas-analyzer.address, "
                             "gas-analyzer.type, gas-analyzer.period\n"),
              std::string::npos);
    const CliRun ports = cli({"ports"});
    EXPECT_EQ(ports.exitStatus, 0);
    EXPECT_EQ(ports.err, ports.out.empty() ? "ports: no serial ports found\n" : "");
    std::istringstream lines(ports.out);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(std::regex_match(line, std::regex("/dev/[^ ]+ : [^ ].*"))) << line;
    }
    const CliRun json = cli({"ports", "--json"});
    EXPECT_EQ(json.exitStatus, 0);
    std::istringstream objects(json.out);
    std::size_t count = 0;
    for (std::string line; std::getline(objects, line); ++count) {
        EXPECT_TRUE(std::regex_match(
            line, std::regex(R"(\{"name":"/dev/[^"]+","description":".*","product":".*"\})")))
            << line;
    }
    EXPECT_EQ(count, std::count(ports.out.begin(), ports.out.end(), '\n'));
}

TEST(CliRuns, GetAndSetOnAPort) {
    DevsimProcess device;
    std::string error;
    ASSERT_TRUE(device.start(TARNWICK_DEVSIM, {"--connect-delay", "200"}, error)) << error;
    // One field of a setting of several: the others are read first and written back as they are.
    const CliRun set = cli({"set", "wifi-ssid=Склад 3=A", "lora-band=EU863-870",
                            "log-flags.save-in-file=1", "data-period=5", "mqtt-port=8883"},
                           device.portPath());
    EXPECT_EQ(set.exitStatus, 1);
    EXPECT_EQ(set.err, logOf("Setting WiFi ssid...   success.\r\n"
                             "Setting LoRa band...   success.\r\n"
                             "Getting log flags...   success.\r\n"
                             "Setting log flags...   success.\r\n"
                             "Setting data period...   error (data is out of range).\r\n"
                             "Setting MQTT PORT...   success.\r\n"));

    const CliRun imei = cli({"get", "--port", device.portPath(), "imei"});
    EXPECT_EQ(imei.exitStatus, 0) << imei.err;
    EXPECT_EQ(imei.out, "imei=356938035643809\n");

    const CliRun get =
        cli({"get", "log-flags", "wifi-ssid", "lora-band", "mqtt-port", "data-period"},
            device.portPath());
    EXPECT_EQ(get.exitStatus, 0);
    EXPECT_TRUE(get.out.ends_with("\nlog-flags.LORA=0\nlog-flags.Save in file=1\nwifi-ssid=Склад "
                                  "3=A\nlora-band=EU863-870\nmqtt-port=8883\ndata-period=60\n"));
    EXPECT_NE(get.out.find("\nlog-flags.GSM=1\n"), std::string::npos);
    EXPECT_EQ(get.err, logOf("Getting log flags...   success.\r\n"
                             "Getting WiFi ssid...   success.\r\n"
                             "Getting LoRa band...   success.\r\n"
                             "Getting MQTT PORT...   success.\r\n"
                             "Getting data period...   success.\r\n"));
}

} // namespace
