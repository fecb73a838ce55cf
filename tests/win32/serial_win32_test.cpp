// The Win32 serial channel. With TARNWICK_TEST_COM set (tests/win32/gui/run-gui-e2e.sh
// --serial), also on that COM port: the simulated device on a pseudo-terminal under Wine, with
// 0x0105 (get mic gain) never answered and 0x0300 (get IMEI) answered one second late.
#include "link/device_link.h"
#include "link/serial_channel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// The wire frame of an empty master-flag get (0x0009).
const Bytes kGetMasterFlag = {0x00, 0x02, 0x04, 0x02, 0x09, 0x01, 0x01};

auto msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(SerialChannelWin32, DevicePathPrefixesPlainNamesOnly) {
    EXPECT_EQ(devicePathForPort("com12"), "\\\\.\\com12");
    EXPECT_EQ(devicePathForPort("\\\\?\\COM4"), "\\\\?\\COM4");
}

TEST(SerialChannelWin32, RefusedPortFailsEveryOperationAtOnce) {
    for (const std::string& path :
         {devicePathForPort("COM231"), std::string(), std::string("\\\\.\\COM\xff")}) {
        SCOPED_TRACE(path);
        SerialChannel channel;
        EXPECT_FALSE(channel.openPort(path));
        EXPECT_FALSE(channel.isOpen());
        std::uint8_t byte = 0xAA;
        const auto start = Clock::now();
        EXPECT_FALSE(channel.writeFrame(kGetMasterFlag));
        EXPECT_FALSE(channel.readByte(5000, byte));
        EXPECT_LT(msSince(start), 2500); // nothing to wait for
        EXPECT_EQ(byte, 0xAA);
        EXPECT_TRUE(channel.closePort());
    }
}

class SimulatedDevicePort : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* port = std::getenv("TARNWICK_TEST_COM");
        if (port == nullptr || *port == '\0') {
            GTEST_SKIP() << "TARNWICK_TEST_COM names no port with the simulated device";
        }
        path_ = devicePathForPort(port);
        ASSERT_TRUE(channel_.openPort(path_)) << path_;
        initDeviceLink(link_, &channel_);
    }

    // An empty get of `code`: its reply payload, or false.
    bool get(std::uint16_t code, Bytes& reply, std::uint32_t timeoutMs = 600) {
        std::uint8_t length = 0;
        const std::uint8_t* payload = nullptr;
        if (!transact(link_, code, length, payload, timeoutMs)) {
            return false;
        }
        reply.assign(payload, payload + length);
        return true;
    }

    std::string path_;
    SerialChannel channel_;
    DeviceLink link_{};
};

TEST_F(SimulatedDevicePort, RawRequestBytesGetTheRawReply) {
    ASSERT_TRUE(channel_.writeFrame(kGetMasterFlag));
    Bytes reply;
    for (std::uint8_t byte = 0; reply.size() < 9 && channel_.readByte(2000, byte);) {
        reply.push_back(byte);
    }
    // Status 0, flag 1 (the factory value).
    EXPECT_EQ(reply, (Bytes{0x00, 0x02, 0x06, 0x02, 0x09, 0x02, 0x02, 0x02, 0x01}));
}

TEST_F(SimulatedDevicePort, SilentDeviceTimesOutOnTimeAndTheNextExchangeWorks) {
    Bytes reply = {0xEE};
    const auto start = Clock::now();
    EXPECT_FALSE(get(0x0105, reply, 400));
    EXPECT_GE(msSince(start), 380);
    EXPECT_EQ(reply, Bytes{0xEE});
    ASSERT_TRUE(get(0x0009, reply));
    EXPECT_EQ(reply, (Bytes{0x00, 0x01}));
}

TEST_F(SimulatedDevicePort, CancelledReadsLoseNoByteOfALateReply) {
    std::uint8_t byte = 0;
    const auto start = Clock::now();
    EXPECT_FALSE(channel_.readByte(300, byte));
    EXPECT_GE(msSince(start), 280);

    // The exchange gives up (CancelIo) before the reply, which must then arrive whole.
    Bytes reply;
    EXPECT_FALSE(get(0x0300, reply, 300));
    std::uint8_t length = 0;
    const std::uint8_t* payload = nullptr;
    ASSERT_TRUE(awaitReply(link_, 0x0300, length, payload, 6000));
    EXPECT_EQ(std::string(payload, payload + length), std::string("\0"
                                                                  "356938035643809",
                                                                  16));
}

TEST_F(SimulatedDevicePort, ClosedPortFailsAndReopens) {
    ASSERT_TRUE(channel_.closePort());
    EXPECT_FALSE(channel_.isOpen());
    std::uint8_t byte = 0;
    EXPECT_FALSE(channel_.writeFrame(kGetMasterFlag));
    EXPECT_FALSE(channel_.readByte(100, byte));

    ASSERT_TRUE(channel_.openPort(path_));
    EXPECT_FALSE(channel_.openPort(path_)); // already open
    Bytes reply;
    ASSERT_TRUE(get(0x0009, reply));
    EXPECT_EQ(reply, (Bytes{0x00, 0x01}));
}

} // namespace
