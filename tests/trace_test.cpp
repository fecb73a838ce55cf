// --trace through the command-line program: each frame both ways, time-outs, open and close.
#include "tests/support/cli_process.h"
#include "tests/support/devsim_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace {

const std::string kConnect = "tx 00020401010101 code=0x0000 len=0 payload=\n"
                             "rx 0002050101030101 code=0x0000 len=1 payload=01\n"
                             "rx 0002050101020101 code=0x0000 len=1 payload=00\n";
const std::string kGet = "tx 00020402090101 code=0x0009 len=0 payload=\n";
const std::string kFlag = "rx 000206020902020201 code=0x0009 len=2 payload=0001\n";
const std::string kBye = "tx 00020402010101 code=0x0001 len=0 payload=\n"
                         "rx 0002050201020101 code=0x0001 len=1 payload=00\n";

// Runs with --trace; the trace with stamps, 9 columns and never decreasing, cut after the first.
std::string tracedRun(const std::string& arguments, const std::string& out, int status) {
    TempDir dir;
    const CliRun run = cli(words("--trace " + dir.path("t") + " " + arguments));
    EXPECT_EQ(std::to_string(run.exitStatus) + " " + run.out, std::to_string(status) + " " + out)
        << run.err;
    std::istringstream lines(readWholeFile(dir.path("t")));
    std::string line, text;
    for (unsigned long long last = 0, stamp = 0; std::getline(lines, line); last = stamp) {
        stamp = std::strtoull(line.c_str(), nullptr, 10);
        EXPECT_TRUE(line.size() > 10 && line[9] == ' ' && stamp >= last) << line;
        text += (text.empty() || line.size() < 10 ? line : line.substr(10)) + "\n";
    }
    return text;
}

TEST(FrameTrace, EveryFrameTimeOutOpenAndClose) {
    DevsimProcess device;
    std::string error;
    ASSERT_TRUE(device.start(TARNWICK_DEVSIM, {}, error)) << error;
    const std::string sim = "        0 open simulated\n" + kConnect, get = " get master-flag";
    const std::string silence = "timeout code=0x0009 after=600ms\n" + kBye;
    const std::vector<std::tuple<std::string, int, std::string, std::string>> rows = {
        {"--simulate" + get, 0, "master-flag=1\n", sim + kGet + kFlag + kBye},
        {"--simulate --sim-fault 9:silent" + get, 1, "", sim + kGet + silence},
        {"--simulate --sim-fault 9:noise-before=ff17,code=1" + get, 1, "",
         sim + kGet + "rx 000206020102020201 code=0x0001 len=2 payload=0001 dropped\n" + silence},
        {"--simulate raw 0 --await 1", 0, "01\n00\n", sim},
        {"--port " + device.portPath() + get, 0, "master-flag=1\n",
         "        0 open " + device.portPath() + "\n" + kConnect + kGet + kFlag + kBye},
    };
    for (const auto& [arguments, status, out, lines] : rows) {
        EXPECT_EQ(tracedRun(arguments, out, status), lines + "close\n") << arguments;
    }
}

// A device that never sends its second connect reply: Ctrl-C ends the wait at once, the
// device still gets its disconnect, and the trace holds every frame; a second Ctrl-C, which
// ends the program on the spot, still leaves the frames sent before the last wait.
TEST(FrameTrace, CtrlCDuringTheConnectWaitEndsItAndKeepsTheTrace) {
    const std::string firstReply = "tx 00020401010101 code=0x0000 len=0 payload=\n"
                                   "rx 0002050101030101 code=0x0000 len=1 payload=01\n";
    for (const char* signals : {"kill -INT $pid", "kill -INT $pid; sleep 0.05; kill -INT $pid"}) {
        SCOPED_TRACE(signals);
        DevsimProcess device; // a fresh one: the last still holds its second reply back
        std::string error;
        ASSERT_TRUE(device.start(TARNWICK_DEVSIM, {"--connect-delay", "60000"}, error)) << error;
        TempDir dir;
        const std::string trace = dir.path("t");
        // The shell prints the program's status and how long it took to end after the signal.
        const CliRun run =
            shell("'" TARNWICK_CLI "' --trace '" + trace + "' --port " + device.portPath() +
                  " get master-flag 2>/dev/null & pid=$!; sleep 0.5; s=$(date +%s%N); " + signals +
                  "; wait $pid; echo $? $((($(date +%s%N) - s) / 1000000))");
        std::istringstream result(run.out);
        int status = 0;
        long ms = 0;
        result >> status >> ms;
        EXPECT_EQ(status, 130);
        EXPECT_LT(ms, 1000);
        std::string lines;
        std::istringstream traced(readWholeFile(trace));
        for (std::string line; std::getline(traced, line);) {
            lines += line.size() > 10 ? line.substr(10) + "\n" : "";
        }
        EXPECT_NE(lines.find(firstReply), std::string::npos) << lines;
        if (std::string(signals).find("sleep") == std::string::npos) {
            EXPECT_NE(lines.find("stopped code=0x0000\ntx 00020402010101 code=0x0001 len=0 "
                                 "payload=\n"),
                      std::string::npos)
                << lines;
        }
    }
}

} // namespace
