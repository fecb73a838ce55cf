// Batches through the real programs: a simulated fleet, per-device values, the audit.

#include "tests/support/cli_process.h"
#include "tests/support/devsim_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <sstream>

namespace {

using nlohmann::json;

struct Provision : testing::Test {
    TempDir dir;
    const std::string t = dir.path("trk");
    const std::string audit = dir.path("audit.jsonl");
    DevsimProcess fleet;
    std::string profile;
    std::string error;

    void SetUp() override {
        const CliRun read = cli({"--simulate", "read-all"});
        ASSERT_EQ(read.exitStatus, 0) << read.err;
        profile =
            dir.write("p.prof", edited(read.out, {{"mqtt-port=1883", "mqtt-port=8883"},
                                                  {"mqtt-topic-pub=tarnwick/data/TRK-0A1B2C3D",
                                                   "mqtt-topic-pub=trk/{device-id}/data"}}));
    }
    bool start(int count, Args arguments) {
        arguments.insert(arguments.end(), {"--count", std::to_string(count), "--link-prefix", t,
                                           "--baud", "115200"});
        return fleet.startFleet(TARNWICK_DEVSIM, arguments, count, error);
    }
    CliRun provision(Args arguments) {
        arguments.insert(arguments.begin(), {"provision", profile, "--audit", audit});
        return cli(arguments);
    }
    // The audit's records by port, in the order they were appended.
    std::map<std::string, std::vector<json>> records() {
        std::map<std::string, std::vector<json>> byPort;
        std::istringstream lines(readWholeFile(audit));
        for (std::string line; std::getline(lines, line);) {
            const json record = json::parse(line);
            byPort[record["port"]].push_back(record);
        }
        return byPort;
    }
    // Runs `command` in the background, sends SIGINT once `ready` holds, returns the status.
    CliRun interrupted(const std::string& command, const std::string& ready) {
        return shell(command + " >'" + dir.path("out") +
                     "' 2>&1 & pid=$!; for i in $(seq 1500); do " + ready +
                     " && break; sleep 0.02; done; kill -INT $pid; wait $pid; echo $?");
    }
};

TEST_F(Provision, EveryTrackerGetsTheProfileWithItsOwnRowAndIsReadBack) {
    ASSERT_TRUE(start(3, {"--connect-delay", "200"})) << error;
    const std::string csv = dir.write(
        "o.csv",
        "imei,mqtt-username,mqtt-topic-sub\r\n356938035643817,\"user, two\",trk/{imei}\r\n");
    const CliRun run =
        provision({"--port", t + "1", "--port", t + "2", "--port", t + "3", "--overrides", csv});
    EXPECT_EQ(run.exitStatus, 0) << run.out << run.err;
    EXPECT_NE(run.out.find(t + "2 356938035643817: step 3 of 5 write 0/41\n"), std::string::npos);
    EXPECT_NE(run.out.find(t + "2 356938035643817: provisioned in "), std::string::npos);
    EXPECT_TRUE(run.err.ends_with("provision: 3 provisioned, 2 without an override row\n"))
        << run.err;
    EXPECT_EQ(std::filesystem::status(audit).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    auto byPort = records();
    ASSERT_EQ(byPort.size(), 3u);
    const json& second = byPort[t + "2"].at(0);
    EXPECT_EQ(second["imei"], "356938035643817");
    EXPECT_EQ(second["deviceId"], "TRK-0A1B2C3E");
    EXPECT_EQ(second["versions"]["fw"], "2.7.1 (2024-05-14)");
    EXPECT_EQ(second["versions"]["xnb"], "1.0.3");
    // sha256 of the row's bytes: 356938035643817,"user, two",trk/{imei}
    EXPECT_EQ(second["overrideSha256"],
              "e775daac2bdc928273a884ecd5c7553d6a6a1b0ba70f91d2ebda85982fb8c79a");
    EXPECT_EQ(second["written"].size(), 41u);
    EXPECT_EQ(second["verify"]["read"], 39);
    EXPECT_EQ(second["verify"]["differ"], 0);
    EXPECT_EQ(second["verify"]["writeOnly"], json::array({"gas-analyzer", "token"}));
    EXPECT_EQ(second["result"], "provisioned");
    EXPECT_TRUE(second["error"].is_null());
    EXPECT_TRUE(byPort[t + "1"].at(0)["overrideSha256"].is_null());
    EXPECT_EQ(byPort[t + "1"].at(0)["profileSha256"], second["profileSha256"]);

    const Args get = {"get", "mqtt-username", "mqtt-topic-sub", "mqtt-topic-pub", "mqtt-port"};
    EXPECT_EQ(cli(get, t + "2").out, "mqtt-username=user, two\nmqtt-topic-sub=trk/356938035643817\n"
                                     "mqtt-topic-pub=trk/TRK-0A1B2C3E/data\nmqtt-port=8883\n");
    EXPECT_EQ(cli(get, t + "3").out,
              "mqtt-username=tracker\nmqtt-topic-sub=tarnwick/cmd/TRK-0A1B2C3D\n"
              "mqtt-topic-pub=trk/TRK-0A1B2C3F/data\nmqtt-port=8883\n");
}

TEST_F(Provision, AFailingWriteFailsItsDeviceOnly) {
    ASSERT_TRUE(start(2, {"--connect-delay", "200"})) << error;
    // Tracker 3 of a fleet of its own: an identity of its own too.
    DevsimProcess refusing;
    ASSERT_TRUE(refusing.startFleet(TARNWICK_DEVSIM,
                                    {"--count", "3", "--fault", "0x0302:status=1", "--link-prefix",
                                     dir.path("bad"), "--connect-delay", "200"},
                                    3, error))
        << error;
    const std::string bad = dir.path("bad") + "3";
    const CliRun run = provision({"--port", t + "1", "--port", bad, "--port", t + "2"});
    EXPECT_EQ(run.exitStatus, 1);
    auto byPort = records();
    EXPECT_EQ(byPort[t + "1"].at(0)["result"], "provisioned");
    EXPECT_EQ(byPort[t + "2"].at(0)["result"], "provisioned");
    const json& refused = byPort[bad].at(0);
    EXPECT_EQ(refused["result"], "failed");
    EXPECT_EQ(refused["error"], "Setting APN...   ack error.");
    EXPECT_EQ(refused["written"].size(), 8u); // the eight settings before the APN
    EXPECT_TRUE(refused["verify"].is_null());
}

// Each is refused whole before any port is opened: no progress, no audit.
TEST_F(Provision, RefusedInputsSendNothing) {
    const struct {
        const char* csv;
        std::vector<std::string> extra;
        const char* err;
    } cases[] = {
        {"imei,mqtt-prt\n", {}, "o.csv: line 1, column 2: no setting field 'mqtt-prt'\n"},
        {"imei,apn\n356938035643809,a\n356938035643809,b\n",
         {},
         "o.csv: line 3, column 1: device 356938035643809 given twice (line 2)\n"},
        {"device-id,mqtt-port\nTRK-1,80x\n", {}, "o.csv: line 2, column 2: mqtt-port takes"},
        {"imei,apn\n", {"--retry"}, "--retry needs --watch\n"},
        {"imei,apn\n", {"--jobs", "0"}, "--jobs needs a number from 1 to 64, got '0'\n"},
        {"imei,apn\n", {"--require-fw", "2..9"}, "dotted numbers such as 2.7.1, got '2..9'\n"},
        {"imei,apn\n", {"--require-fw", "2.x"}, "dotted numbers such as 2.7.1, got '2.x'\n"},
        {"imei,apn\n", {"--require-fw", "3e5"}, "dotted numbers such as 2.7.1, got '3e5'\n"},
    };
    for (const auto& c : cases) {
        Args args = {"--port", dir.path("absent"), "--overrides", dir.write("o.csv", c.csv)};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const CliRun run = provision(args);
        EXPECT_EQ(run.exitStatus, 2) << c.csv;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(std::filesystem::exists(audit));
    }
}

TEST_F(Provision, TheDeviceDecidesTheOutcome) {
    const std::string none = dir.write("none.csv", "device-id,apn\nTRK-1,x\n");
    const struct {
        Args args;
        int exitStatus;
        const char* result;
        const char* error;
    } cases[] = {
        {{"--sim-fault", "0x020F:stale"},
         3,
         "differs",
         "read-back: mqtt-port: wrote 8883, the device has 1883"},
        {{"--require-fw", "2.8"}, 1, "refused", "firmware 2.7.1 (2024-05-14) is older than 2.8"},
        {{"--require-fw", "2.7.1"}, 0, "provisioned", nullptr},
        {{"--overrides", none, "--overrides-required"},
         1,
         "refused",
         "no override row for IMEI 356938035643809 or device ID TRK-0A1B2C3D"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(audit);
        Args args = c.args;
        args.insert(args.begin(), "--simulate");
        const CliRun run = provision(args);
        EXPECT_EQ(run.exitStatus, c.exitStatus) << run.out << run.err;
        const json record = records()["simulated"].at(0);
        EXPECT_EQ(record["result"], c.result);
        EXPECT_EQ(record["error"], c.error ? json(c.error) : json(nullptr));
    }
}

TEST_F(Provision, AStopDisconnectsAndRecordsEveryDeviceNotFinished) {
    ASSERT_TRUE(start(3, {})) << error; // the connect takes 1.5 s
    const CliRun run =
        interrupted("'" TARNWICK_CLI "' provision '" + profile + "' --audit '" + audit +
                        "' --jobs 1 --port " + t + "1 --port " + t + "2 --port " + t + "3",
                    "grep -q 'connect' '" + dir.path("out") + "'");
    EXPECT_EQ(run.out, "130\n");
    auto byPort = records();
    ASSERT_EQ(byPort.size(), 3u) << readWholeFile(dir.path("out"));
    for (auto& [port, attempts] : byPort) {
        EXPECT_EQ(attempts.at(0)["result"], "interrupted") << port;
    }
    EXPECT_EQ(byPort[t + "3"].at(0)["error"], "stopped before it was provisioned");
    EXPECT_TRUE(
        readWholeFile(dir.path("out"))
            .ends_with("provision: 0 provisioned, 3 interrupted\nprovision: interrupted\n"));
}

TEST_F(Provision, AReplugMidRunStartsAgainWithWatchAndRetry) {
    // However short the time away: the hang-up is the channel's, not a guess from a look.
    for (const char* downMs : {"400", "20"}) {
        SCOPED_TRACE(downMs);
        std::filesystem::remove(audit);
        fleet.stop();
        // Request 20 of tracker 2 is its eleventh write.
        ASSERT_TRUE(start(2, {"--connect-delay", "200", "--replug", std::string("2:20:") + downMs}))
            << error;
        const CliRun run =
            interrupted("'" TARNWICK_CLI "' provision '" + profile + "' --audit '" + audit +
                            "' --watch --retry --port " + t + "1 --port " + t + "2",
                        "[ \"$(wc -l < '" + audit + "' 2>/dev/null)\" = 3 ]");
        EXPECT_EQ(run.out, "130\n");
        auto byPort = records();
        ASSERT_EQ(byPort[t + "2"].size(), 2u) << readWholeFile(dir.path("out"));
        EXPECT_EQ(byPort[t + "2"][0]["result"], "unplugged");
        EXPECT_EQ(byPort[t + "2"][0]["error"], "Setting MQTT USERNAME...   cmd sending error.");
        EXPECT_EQ(byPort[t + "2"][1]["result"], "provisioned");
        EXPECT_EQ(byPort[t + "2"][1]["imei"], "356938035643817");
        EXPECT_EQ(byPort[t + "1"].at(0)["result"], "provisioned");
        const std::string out = readWholeFile(dir.path("out"));
        EXPECT_NE(out.find(t + "2: back, starting again\n"), std::string::npos);
        EXPECT_TRUE(
            out.ends_with("provision: 2 provisioned, 1 unplugged\nprovision: interrupted\n"));
    }
}

} // namespace
