// A fleet of simulated trackers from one simulator program, and one of them replugged.

#include "tests/support/cli_process.h"
#include "tests/support/devsim_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

struct DevsimFleet : testing::Test {
    TempDir dir;
    const std::string t = dir.path("t");
    DevsimProcess fleet;
    std::string error;
    bool start(int count, std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), {"--count", std::to_string(count), "--link-prefix", t,
                                           "--connect-delay", "0"});
        return fleet.startFleet(TARNWICK_DEVSIM, arguments, count, error);
    }
};

// Same TAC, serial counted up, each with its own check digit.
TEST_F(DevsimFleet, EachTrackerOnItsOwnLinkWithItsOwnIdentity) {
    ASSERT_TRUE(start(3, {})) << error;
    EXPECT_EQ(fleet.output(), "PORT " + t + "1 356938035643809 TRK-0A1B2C3D TRK00001\nPORT " + t +
                                  "2 356938035643817 TRK-0A1B2C3E TRK00002\nPORT " + t +
                                  "3 356938035643825 TRK-0A1B2C3F TRK00003\n");
    const std::string t2 = fleet.fleet().at(1).path;
    EXPECT_EQ(
        runProgram(TARNWICK_CLI, {"--port", t2, "get", "imei", "device-id", "mqtt-topic-pub"}).out,
        "imei=356938035643817\ndevice-id=TRK-0A1B2C3E\nmqtt-topic-pub=tarnwick/data/"
        "TRK-0A1B2C3E\n");
}

TEST_F(DevsimFleet, AReplugHangsUpTheClientAndKeepsTheState) {
    // The set's connect, set and disconnect, then the get's connect: its get is the fifth.
    ASSERT_TRUE(start(2, {"--replug", "1:5:300"})) << error;
    EXPECT_EQ(runProgram(TARNWICK_CLI, {"--port", t + "1", "set", "master-flag=0"}).exitStatus, 0);
    EXPECT_EQ(runProgram(TARNWICK_CLI, {"--port", t + "1", "get", "master-flag"}).err,
              "Connecting...   success.\r\nGetting Master flag...   cmd sending error.\r\n"
              "Disconnecting...   cmd sending error.\r\n");
    ASSERT_TRUE(fleet.awaitLine("REPLUG " + t + "1")) << fleet.output();
    EXPECT_TRUE(fleet.output().ends_with("\nUNPLUG " + t + "1\nREPLUG " + t + "1\n"));
    EXPECT_EQ(runProgram(TARNWICK_CLI, {"--port", t + "1", "get", "master-flag"}).out,
              "master-flag=0\n");
}
