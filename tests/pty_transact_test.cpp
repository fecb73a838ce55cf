#include "link/device_link.h"
#include "link/serial_channel.h"
#include "tests/support/devsim_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

// The simulator program on a pty and a link to it over a real port.
struct Device {
    DevsimProcess process;
    SerialChannel channel;
    DeviceLink link;
    long long elapsedMs = 0; // of the last call

    explicit Device(const std::vector<std::string>& arguments) {
        std::string error;
        EXPECT_TRUE(process.start(TARNWICK_DEVSIM, arguments, error)) << error;
        EXPECT_TRUE(channel.openPort(process.portPath())) << process.portPath();
        initDeviceLink(link, &channel);
    }
    // The reply payload in hex, or "none".
    std::string call(CommandCode code, std::uint32_t timeoutMs, bool await = false) {
        std::uint8_t length = 0;
        const std::uint8_t* payload = nullptr;
        const auto start = std::chrono::steady_clock::now();
        const bool answered = await ? awaitReply(link, code, length, payload, timeoutMs)
                                    : transact(link, code, length, payload, timeoutMs);
        elapsedMs = (std::chrono::steady_clock::now() - start) / std::chrono::milliseconds(1);
        std::string reply = answered ? "" : " none";
        for (std::uint8_t i = 0; i < length; ++i) {
            reply +=
                {' ', "0123456789ABCDEF"[payload[i] >> 4], "0123456789ABCDEF"[payload[i] & 15]};
        }
        return reply.substr(reply.empty() ? 0 : 1);
    }
};

TEST(PtyTransact, ConnectIsAnsweredTwice) {
    Device device({"--connect-delay", "1000"});
    EXPECT_EQ(device.call(0x0000, 10000), "01");
    EXPECT_EQ(device.call(0x0000, 200, true), "none");
    EXPECT_EQ(device.call(0x0000, 5000, true), "00");
    EXPECT_GE(device.elapsedMs, 500); // the second reply is not read ahead of its time
}

TEST(PtyTransact, BytesFiveHundredMillisecondsApart) {
    Device device({"--fault", "9:gap=500,times=2"});
    EXPECT_EQ(device.call(0x0009, 600), "00 01"); // eight gaps, none beyond the time-out
    EXPECT_GE(device.elapsedMs, 4000);
    EXPECT_EQ(device.call(0x0009, 300), "none");
    EXPECT_LT(device.elapsedMs, 3000); // gave up on the first gap, not after the frame
}

TEST(PtyTransact, ALateNoisyReplyCostsOnlyTheCallItWasLateFor) {
    Device device({"--fault", "9:delay=700,noise-before=55aa,noise-after=77", "--fault",
                   "7:noise-before=ff0102"});
    EXPECT_EQ(device.call(0x0009, 600), "none");
    std::this_thread::sleep_for(std::chrono::milliseconds(400)); // it lands in the port, unread
    EXPECT_EQ(device.call(0x0007, 600), "00 00 00 08 08");
    EXPECT_EQ(device.call(0x0009, 600), "00 01");
    EXPECT_EQ(device.link.droppedFrames, 0u); // gone with the input, not passed over by echo
}

TEST(PtyTransact, OpeningThePortDropsWhatAnEarlierSessionLeftInIt) {
    Device device({"--fault", "9:delay=200"});
    EXPECT_EQ(device.call(0x0009, 100), "none");
    EXPECT_TRUE(device.channel.closePort());
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the reply lands, unread
    ASSERT_TRUE(device.channel.openPort(device.process.portPath()));
    std::uint8_t byte = 0;
    EXPECT_FALSE(device.channel.readByte(300, byte));
}

TEST(PtyTransact, AHangupFaultClosesThePtyAndTheWaitEndsAtOnce) {
    Device device({"--fault", "0x0302:hangup"});
    EXPECT_EQ(device.call(0x0009, 600), "00 01");
    EXPECT_EQ(device.call(0x0302, 60000), "none");
    EXPECT_LT(device.elapsedMs, 1000);
    EXPECT_TRUE(device.channel.hungUp());
}

} // namespace
