// The Win32 serial channel, on a real COM port: run under Wine by scripts/wine-serial-test.sh
// with the simulated device on a pseudo-terminal mapped as the port named by TARNWICK_TEST_COM.
//
// The script starts the device with these scripted faults:
//   0x0105 (get mic gain)  silent        - never answered
//   0x0300 (get IMEI)      delay=1000    - answered one second late
// so that the silent and the late case each have a command of their own.

#include "link/command_index.h"
#include "link/device_link.h"
#include "link/serial_channel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr CommandCode kSilentCode = 0x0105;
constexpr CommandCode kLateCode = 0x0300;
constexpr std::uint32_t kLateReplyMs = 1000;

std::int64_t millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::vector<std::uint8_t> bytesOf(const std::uint8_t* data, std::uint8_t length) {
    return std::vector<std::uint8_t>(data, data + length);
}

TEST(DevicePathForPort, PrefixesPlainNamesOnly) {
    struct Row {
        const char* name;
        const char* port;
        const char* path;
    };
    const std::vector<Row> rows = {
        {"single digit", "COM3", "\\\\.\\COM3"},
        {"two digits", "COM12", "\\\\.\\COM12"},
        {"lower case kept", "com7", "\\\\.\\com7"},
        {"already a device path", "\\\\.\\COM12", "\\\\.\\COM12"},
        {"other namespace kept", "\\\\?\\COM4", "\\\\?\\COM4"},
        {"one backslash is no prefix", "\\COM5", "\\\\.\\\\COM5"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(devicePathForPort(row.port), row.path);
    }
}

TEST(SerialChannelClosed, EveryOperationFailsAtOnceAndCloseSucceeds) {
    SerialChannel channel;
    ASSERT_FALSE(channel.isOpen());

    const std::vector<std::uint8_t> frame = {0x00, 0x02, 0x04, 0x02, 0x09, 0x01, 0x01};
    std::uint8_t byte = 0xAA;
    const auto start = Clock::now();
    EXPECT_FALSE(channel.writeFrame(frame));
    EXPECT_FALSE(channel.readByte(5000, byte));
    // A closed channel has nothing to wait for: far below the 5 s the read was given.
    EXPECT_LT(millisecondsSince(start), 2500);
    EXPECT_EQ(byte, 0xAA);

    EXPECT_TRUE(channel.closePort());
    EXPECT_TRUE(channel.closePort());
    EXPECT_FALSE(channel.isOpen());
}

TEST(SerialChannelOpen, RefusesPortsThatCannotBeOpened) {
    struct Row {
        const char* name;
        std::string path;
    };
    const std::vector<Row> rows = {
        {"absent port", devicePathForPort("COM231")},
        {"empty path", ""},
        {"path that is not UTF-8", std::string("\\\\.\\COM\xff\xfe")},
        {"plain file name that does not exist", "C:\\no\\such\\port"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SerialChannel channel;
        EXPECT_FALSE(channel.openPort(row.path));
        EXPECT_FALSE(channel.isOpen());
        EXPECT_TRUE(channel.closePort());
        std::uint8_t byte = 0;
        EXPECT_FALSE(channel.readByte(10, byte));
    }
}

// Tests against the simulated device; skipped unless the port is named.
class SimulatedDevicePort : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* port = std::getenv("TARNWICK_TEST_COM");
        if (port == nullptr || *port == '\0') {
            GTEST_SKIP() << "TARNWICK_TEST_COM is not set: no COM port with the simulated "
                            "device (scripts/wine-serial-test.sh sets it up)";
        }
        portName_ = port;
        ASSERT_TRUE(channel_.openPort(devicePathForPort(portName_))) << portName_;
        initDeviceLink(link_, &channel_);
    }

    void TearDown() override {
        if (channel_.isOpen()) {
            EXPECT_TRUE(channel_.closePort());
        }
    }

    // One exchange; the reply payload, or nothing when transact failed.
    bool exchange(CommandCode code, std::vector<std::uint8_t> request,
                  std::vector<std::uint8_t>& reply, std::uint32_t timeoutMs = 600) {
        auto length = static_cast<std::uint8_t>(request.size());
        const std::uint8_t* payload = request.data();
        if (!transact(link_, code, length, payload, timeoutMs)) {
            return false;
        }
        reply = bytesOf(payload, length);
        return true;
    }

    std::string portName_;
    SerialChannel channel_;
    DeviceLink link_{};
};

TEST_F(SimulatedDevicePort, MasterFlagSetThenGetRoundTrips) {
    struct Row {
        const char* name;
        std::uint8_t flag;
        std::vector<std::uint8_t> getReply;
    };
    const std::vector<Row> rows = {
        {"on", 1, {0x00, 0x01}},
        {"off", 0, {0x00, 0x00}},
        {"on again", 1, {0x00, 0x01}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::uint8_t> reply;
        ASSERT_TRUE(exchange(command::kSetMasterFlag, {row.flag}, reply));
        EXPECT_EQ(reply, std::vector<std::uint8_t>{0x00});
        ASSERT_TRUE(exchange(command::kGetMasterFlag, {}, reply));
        EXPECT_EQ(reply, row.getReply);
    }
}

TEST_F(SimulatedDevicePort, ExactRequestBytesOnTheWireAreAnswered) {
    // The whole wire frame of an empty master-flag get, written as raw bytes.
    const std::vector<std::uint8_t> frame = {0x00, 0x02, 0x04, 0x02, 0x09, 0x01, 0x01};
    ASSERT_TRUE(channel_.writeFrame(frame));
    std::uint8_t length = 0;
    const std::uint8_t* payload = nullptr;
    ASSERT_TRUE(awaitReply(link_, command::kGetMasterFlag, length, payload, 2000));
    ASSERT_EQ(length, 2);
    EXPECT_EQ(payload[0], 0x00);
}

TEST_F(SimulatedDevicePort, SilentDeviceTimesOutAfterOneTimeOutAndTheChannelStillWorks) {
    constexpr std::uint32_t timeoutMs = 400;
    std::vector<std::uint8_t> reply = {0xEE};
    const auto start = Clock::now();
    EXPECT_FALSE(exchange(kSilentCode, {}, reply, timeoutMs));
    const auto elapsed = millisecondsSince(start);
    // Never early (a little slack for timer granularity); late only by scheduling.
    EXPECT_GE(elapsed, timeoutMs - 20);
    EXPECT_LT(elapsed, timeoutMs + 10000);
    EXPECT_EQ(reply, std::vector<std::uint8_t>{0xEE});

    ASSERT_TRUE(exchange(command::kGetMasterFlag, {}, reply));
    EXPECT_EQ(reply.size(), 2U);
}

TEST_F(SimulatedDevicePort, ReadAfterACancelledReadLosesNoByte) {
    std::uint8_t byte = 0;
    auto start = Clock::now();
    EXPECT_FALSE(channel_.readByte(300, byte));
    EXPECT_GE(millisecondsSince(start), 280);

    // The late reply lands after the exchange gave up; the cancelled reads must not eat it.
    std::vector<std::uint8_t> reply;
    start = Clock::now();
    EXPECT_FALSE(exchange(kLateCode, {}, reply, 300));
    EXPECT_LT(millisecondsSince(start), static_cast<std::int64_t>(kLateReplyMs) + 10000);

    std::uint8_t length = 0;
    const std::uint8_t* payload = nullptr;
    ASSERT_TRUE(awaitReply(link_, kLateCode, length, payload, kLateReplyMs + 5000));
    ASSERT_GE(length, 1);
    EXPECT_EQ(payload[0], 0x00);

    // Nothing left over: the next exchange gets its own reply.
    ASSERT_TRUE(exchange(command::kGetMasterFlag, {}, reply));
    EXPECT_EQ(reply.size(), 2U);
}

TEST_F(SimulatedDevicePort, ConnectIsAnsweredTwice) {
    std::vector<std::uint8_t> reply;
    ASSERT_TRUE(exchange(command::kConnect, {}, reply, 10000));
    EXPECT_EQ(reply, std::vector<std::uint8_t>{0x01});

    std::uint8_t length = 0;
    const std::uint8_t* payload = nullptr;
    ASSERT_TRUE(awaitReply(link_, command::kConnect, length, payload, 60000));
    EXPECT_EQ(bytesOf(payload, length), std::vector<std::uint8_t>{0x00});
}

TEST_F(SimulatedDevicePort, ClosedPortFailsWritesAndReadsAndReopens) {
    ASSERT_TRUE(channel_.closePort());
    EXPECT_FALSE(channel_.isOpen());
    EXPECT_TRUE(channel_.closePort());

    const std::vector<std::uint8_t> frame = {0x00, 0x02, 0x04, 0x02, 0x09, 0x01, 0x01};
    std::uint8_t byte = 0;
    EXPECT_FALSE(channel_.writeFrame(frame));
    EXPECT_FALSE(channel_.readByte(100, byte));
    std::vector<std::uint8_t> reply;
    EXPECT_FALSE(exchange(command::kGetMasterFlag, {}, reply));

    ASSERT_TRUE(channel_.openPort(devicePathForPort(portName_)));
    EXPECT_FALSE(channel_.openPort(devicePathForPort(portName_)));
    ASSERT_TRUE(exchange(command::kGetMasterFlag, {}, reply));
    EXPECT_EQ(reply.size(), 2U);
}

} // namespace
