#include "link/device_link.h"
#include "link/serial_channel.h"
#include "ports/port_directory.h"
#include "tests/support/devsim_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdlib.h>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef TARNWICK_DEVSIM
#error "TARNWICK_DEVSIM must name the simulator program"
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr CommandCode kConnect = 0x0000;
constexpr CommandCode kGetLogFlags = 0x0007;
constexpr CommandCode kSetMasterFlag = 0x0008;
constexpr CommandCode kGetMasterFlag = 0x0009;
constexpr CommandCode kSetWifiSsid = 0x0702;
constexpr CommandCode kGetWifiSsid = 0x0703;

// Generous room above any time-out: the checks below catch a wait that never ends or a
// time-out that is not applied, never a slow machine.
constexpr long long kSlack = 5000;

enum class Call { Transact, AwaitReply };

struct Step {
    const char* what;
    Call call;
    CommandCode code;
    Bytes request;
    std::uint32_t timeoutMs;
    bool answered;
    // The exact reply payload; when absent, any reply whose status byte is 0.
    std::optional<Bytes> reply;
    long long minMs = 0;
    long long maxMs = -1; // -1: no bound of its own beyond the time-out and the slack
};

struct Scenario {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<Step> steps;
};

Step transactStep(const char* what, CommandCode code, Bytes request, std::uint32_t timeoutMs,
                  bool answered, std::optional<Bytes> reply = std::nullopt, long long minMs = 0,
                  long long maxMs = -1) {
    return {what,  Call::Transact, code, std::move(request), timeoutMs, answered, std::move(reply),
            minMs, maxMs};
}

Step awaitStep(const char* what, CommandCode code, std::uint32_t timeoutMs, bool answered,
               std::optional<Bytes> reply = std::nullopt, long long minMs = 0) {
    return {what, Call::AwaitReply, code, {}, timeoutMs, answered, std::move(reply), minMs, -1};
}

const Bytes kSpecialBytes = {'a',  0x0A, 0x0D, 0x03, 0x11, 0x13, 0x1A,
                             0x1C, 0x7F, 0xFF, 0x04, 0x15, 'z'};

std::vector<Scenario> scenarios() {
    return {
        {"request payload reaches the device",
         {},
         {
             transactStep("clear master flag", kSetMasterFlag, {0x00}, 600, true, Bytes{0x00}),
             transactStep("get master flag", kGetMasterFlag, {}, 600, true, Bytes{0x00, 0x00}),
             transactStep("set master flag", kSetMasterFlag, {0x01}, 600, true, Bytes{0x00}),
             transactStep("get it back", kGetMasterFlag, {}, 600, true, Bytes{0x00, 0x01}),
         }},
        {"control bytes travel raw both ways",
         {},
         {
             transactStep("set ssid", kSetWifiSsid, kSpecialBytes, 600, true, Bytes{0x00}),
             transactStep("get ssid", kGetWifiSsid, {}, 600, true,
                          [] {
                              Bytes reply = {0x00};
                              reply.insert(reply.end(), kSpecialBytes.begin(), kSpecialBytes.end());
                              return reply;
                          }()),
         }},
        {"reply payload given by the device arrives exactly",
         {"--fault", "9:payload=0a0d0311131a1c7fff", "--fault", "7:payload=0000000a00"},
         {
             transactStep("get master flag", kGetMasterFlag, {}, 600, true,
                          Bytes{0x0A, 0x0D, 0x03, 0x11, 0x13, 0x1A, 0x1C, 0x7F, 0xFF}),
             transactStep("get log flags", kGetLogFlags, {}, 600, true,
                          Bytes{0x00, 0x00, 0x00, 0x0A, 0x00}),
         }},
        {"status byte as the device sent it",
         {"--fault", "9:status=1"},
         {
             transactStep("set master flag", kSetMasterFlag, {0x01}, 600, true, Bytes{0x00}),
             transactStep("get master flag", kGetMasterFlag, {}, 600, true, Bytes{0x01, 0x01}),
         }},
        {"silent device",
         {"--fault", "9:silent"},
         {
             transactStep("unanswered get", kGetMasterFlag, {}, 600, false, std::nullopt, 600,
                          600 + kSlack),
             transactStep("device still there", kGetMasterFlag, {}, 600, true),
         }},
        {"reply to another command",
         {"--fault", "0x0009:code=0x0008,times=1"},
         {
             // A long time-out: failing well before it shows the wrong echo was the reason.
             transactStep("wrong echo", kGetMasterFlag, {}, 20000, false, std::nullopt, 0, 15000),
             transactStep("next get", kGetMasterFlag, {}, 600, true, Bytes{0x00, 0x01}),
         }},
        {"late reply taken by the next call",
         {"--fault", "9:delay=700"},
         {
             transactStep("gives up before the reply", kGetMasterFlag, {}, 600, false, std::nullopt,
                          600, 600 + kSlack),
             transactStep("takes the late reply", kGetMasterFlag, {}, 600, true, Bytes{0x00, 0x01}),
             transactStep("other command reads the left-over reply", kGetLogFlags, {}, 20000, false,
                          std::nullopt, 0, 15000),
             transactStep("then its own", kGetLogFlags, {}, 600, true),
         }},
        {"bytes 500 ms apart within a 600 ms time-out",
         {"--fault", "9:gap=500"},
         {
             // Nine frame bytes, eight gaps: seconds in all, yet no single wait times out.
             transactStep("slow reply", kGetMasterFlag, {}, 600, true, Bytes{0x00, 0x01}, 2000,
                          9 * 500 + kSlack),
         }},
        {"bytes 500 ms apart beyond a 300 ms time-out",
         {"--fault", "9:gap=500"},
         {
             transactStep("slow reply", kGetMasterFlag, {}, 300, false, std::nullopt, 300,
                          500 + kSlack),
         }},
        {"noise around the reply",
         {"--fault", "9:noise-before=55aa,noise-after=77", "--fault", "7:noise-before=ff0102"},
         {
             transactStep("noise before and after", kGetMasterFlag, {}, 600, true,
                          Bytes{0x00, 0x01}),
             transactStep("noise before only", kGetLogFlags, {}, 600, true),
             transactStep("next reply clean", kGetMasterFlag, {}, 600, true, Bytes{0x00, 0x01}),
         }},
        {"cut reply",
         {"--fault", "9:cut=5"},
         {
             transactStep("frame ends early", kGetMasterFlag, {}, 600, false, std::nullopt, 600,
                          600 + kSlack),
             transactStep("next frame resynchronises", kGetMasterFlag, {}, 600, true,
                          Bytes{0x00, 0x01}),
         }},
        {"connect answered twice",
         {"--connect-delay", "1000"},
         {
             transactStep("first reply at once", kConnect, {}, 10000, true, Bytes{0x01}),
             awaitStep("second reply not yet", kConnect, 200, false, std::nullopt, 200),
             awaitStep("second reply", kConnect, 5000, true, Bytes{0x00}),
         }},
    };
}

void runStep(DeviceLink& link, const Step& step) {
    std::uint8_t length = static_cast<std::uint8_t>(step.request.size());
    const std::uint8_t* payload = step.request.data();
    const auto start = Clock::now();
    const bool answered = step.call == Call::Transact
                              ? transact(link, step.code, length, payload, step.timeoutMs)
                              : awaitReply(link, step.code, length, payload, step.timeoutMs);
    const long long elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();

    ASSERT_EQ(answered, step.answered);
    EXPECT_GE(elapsed, step.minMs);
    EXPECT_LT(elapsed, step.maxMs >= 0 ? step.maxMs : step.timeoutMs + kSlack);
    if (!answered) {
        EXPECT_EQ(length, step.request.size()) << "a failed call must leave the length alone";
        return;
    }
    const Bytes reply(payload, payload + length);
    if (step.reply) {
        EXPECT_EQ(reply, *step.reply);
    } else {
        ASSERT_FALSE(reply.empty());
        EXPECT_EQ(reply[0], 0x00) << "status";
    }
}

TEST(PtyTransact, DeviceLinkOverARealPortAgainstTheSimulatorProcess) {
    for (const Scenario& scenario : scenarios()) {
        SCOPED_TRACE(scenario.name);
        DevsimProcess device;
        std::string error;
        ASSERT_TRUE(device.start(TARNWICK_DEVSIM, scenario.arguments, error)) << error;

        SerialChannel channel;
        ASSERT_TRUE(channel.openPort(device.portPath())) << device.portPath();
        DeviceLink link;
        initDeviceLink(link, &channel);

        for (const Step& step : scenario.steps) {
            SCOPED_TRACE(step.what);
            runStep(link, step);
            if (testing::Test::HasFatalFailure()) {
                break;
            }
        }
        EXPECT_TRUE(channel.closePort());
        EXPECT_TRUE(device.stop()) << "the simulator did not end on SIGTERM";
    }
}

TEST(PtyTransact, TheSimulatorsPortIsPresentUntilItEnds) {
    // Asked for by a link of its own: the freed /dev/pts number may at once be taken by a
    // pty of another test running beside this one.
    char directory[] = "/tmp/tarnwick-link-XXXXXX";
    ASSERT_NE(::mkdtemp(directory), nullptr);
    const std::string link = std::string(directory) + "/ttyDEVSIM0";

    DevsimProcess device;
    std::string error;
    ASSERT_TRUE(device.start(TARNWICK_DEVSIM, {"--link", link}, error)) << error;

    EXPECT_TRUE(isPortPresent(device.portPath()));
    EXPECT_TRUE(isPortPresent(link));
    EXPECT_TRUE(device.stop());
    EXPECT_FALSE(isPortPresent(link));
    ::rmdir(directory);
}

TEST(PtyTransact, ANewChannelCanTalkAfterTheFirstClosed) {
    DevsimProcess device;
    std::string error;
    ASSERT_TRUE(device.start(TARNWICK_DEVSIM, {}, error)) << error;

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        SerialChannel channel;
        ASSERT_TRUE(channel.openPort(device.portPath()));
        DeviceLink link;
        initDeviceLink(link, &channel);
        runStep(link, transactStep("get", kGetMasterFlag, {}, 600, true, Bytes{0x00, 0x01}));
        EXPECT_TRUE(channel.closePort());
    }
}

} // namespace
