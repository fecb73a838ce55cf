#include "link/device_link.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr int kTimeout = -1;

// Hands out scripted bytes; kTimeout stands for a read that times out.
struct ScriptedChannel final : ByteChannel {
    std::vector<Bytes> writes;
    std::deque<int> input;
    bool writeSucceeds = true;
    std::vector<std::uint32_t> readTimeouts;

    bool writeFrame(std::span<const std::uint8_t> frame) override {
        writes.emplace_back(frame.begin(), frame.end());
        return writeSucceeds;
    }
    bool readByte(std::uint32_t timeoutMs, std::uint8_t& byte) override {
        readTimeouts.push_back(timeoutMs);
        if (input.empty() || input.front() == kTimeout) {
            if (!input.empty()) {
                input.pop_front();
            }
            return false;
        }
        byte = static_cast<std::uint8_t>(input.front());
        input.pop_front();
        return true;
    }
    void queue(const Bytes& bytes) { input.insert(input.end(), bytes.begin(), bytes.end()); }
};

struct LinkFixture : ::testing::Test {
    ScriptedChannel channel;
    DeviceLink link;
    void SetUp() override { initDeviceLink(link, &channel); }
};

const Bytes kGetMasterFrame = {0x00, 0x02, 0x04, 0x02, 0x09, 0x01, 0x01};

struct ReplyRow {
    const char* name;
    Bytes wire;
    bool accepted;
    Bytes payload;
};

using TransactTest = LinkFixture;

TEST_F(TransactTest, ChecksEachReplyAgainstTheCommandSent) {
    const std::vector<ReplyRow> rows = {
        {"flag set", {0x00, 0x02, 0x06, 0x02, 0x09, 0x02, 0x02, 0x02, 0x01}, true, {0x00, 0x01}},
        {"status alone", {0x00, 0x02, 0x05, 0x02, 0x09, 0x03, 0x01, 0x01}, true, {0x01}},
        {"empty payload", {0x00, 0x02, 0x04, 0x02, 0x09, 0x01, 0x01}, true, {}},
        {"noise before the reply",
         {0x55, 0xAA, 0x00, 0x02, 0x05, 0x02, 0x09, 0x02, 0x01, 0x01},
         true,
         {0x00}},
        {"reply to another command", {0x00, 0x02, 0x05, 0x02, 0x08, 0x02, 0x01, 0x01}, false, {}},
        {"payload length claims more than the frame carried",
         {0x00, 0x02, 0x05, 0x02, 0x09, 0x02, 0x03, 0x01},
         false,
         {}},
        {"payload length claims less: the claim stands",
         {0x00, 0x02, 0x06, 0x02, 0x09, 0x02, 0x01, 0x02, 0x01},
         true,
         {0x00}},
        {"frame cut short times out", {0x00, 0x02, 0x06, 0x02, 0x09}, false, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        channel = ScriptedChannel{};
        channel.queue(row.wire);
        std::uint8_t length = 0;
        const std::uint8_t* payload = nullptr;
        const bool accepted = transact(link, 0x0009, length, payload, 600);
        ASSERT_EQ(accepted, row.accepted);
        ASSERT_EQ(channel.writes.size(), 1u);
        EXPECT_EQ(channel.writes[0], kGetMasterFrame);
        if (accepted) {
            EXPECT_EQ(Bytes(payload, payload + length), row.payload);
        } else {
            EXPECT_EQ(length, 0);
            EXPECT_EQ(payload, nullptr);
        }
    }
}

TEST_F(TransactTest, SendsTheRequestPayloadAndHandsBackTheReply) {
    channel.queue({0x00, 0x02, 0x05, 0x02, 0x08, 0x02, 0x01, 0x01});
    const std::uint8_t request[] = {0x01};
    std::uint8_t length = 1;
    const std::uint8_t* payload = request;
    ASSERT_TRUE(transact(link, 0x0008, length, payload, 600));
    EXPECT_EQ(channel.writes.at(0), (Bytes{0x00, 0x02, 0x05, 0x02, 0x08, 0x03, 0x01, 0x01}));
    EXPECT_EQ(Bytes(payload, payload + length), (Bytes{0x00}));
}

TEST_F(TransactTest, EveryByteGetsItsOwnTimeout) {
    channel.queue({0x00, 0x02, 0x05, 0x02, 0x09, 0x02, 0x01, 0x01});
    std::uint8_t length = 0;
    const std::uint8_t* payload = nullptr;
    ASSERT_TRUE(transact(link, 0x0009, length, payload, 1234));
    EXPECT_EQ(channel.readTimeouts, std::vector<std::uint32_t>(8, 1234));
}

TEST_F(TransactTest, FailedWriteReadsNothing) {
    channel.writeSucceeds = false;
    channel.queue(kGetMasterFrame);
    std::uint8_t length = 0;
    const std::uint8_t* payload = nullptr;
    EXPECT_FALSE(transact(link, 0x0009, length, payload, 600));
    EXPECT_TRUE(channel.readTimeouts.empty());
}

TEST_F(TransactTest, SilentDeviceFailsAfterOneTimeout) {
    std::uint8_t length = 0;
    const std::uint8_t* payload = nullptr;
    EXPECT_FALSE(transact(link, 0x0009, length, payload, 600));
    EXPECT_EQ(channel.readTimeouts.size(), 1u);
}

TEST_F(TransactTest, OversizedRequestIsNeverWritten) {
    const Bytes request(64, 0x41);
    std::uint8_t length = 64;
    const std::uint8_t* payload = request.data();
    EXPECT_FALSE(transact(link, 0x0302, length, payload, 600));
    EXPECT_TRUE(channel.writes.empty());
    EXPECT_EQ(length, 64);
    EXPECT_EQ(payload, request.data());
}

TEST_F(TransactTest, NoChannelFails) {
    link.channel = nullptr;
    std::uint8_t length = 0;
    const std::uint8_t* payload = nullptr;
    EXPECT_FALSE(transact(link, 0x0009, length, payload, 600));
    EXPECT_FALSE(awaitReply(link, 0x0009, length, payload, 600));
}

TEST_F(TransactTest, LateReplyIsTakenByTheNextCallOfTheSameCommand) {
    // First call sees a reply to another command; the right reply follows and is the next
    // call's answer, whatever that call sent.
    channel.queue({0x00, 0x02, 0x05, 0x02, 0x08, 0x02, 0x01, 0x01});
    channel.queue({0x00, 0x02, 0x06, 0x02, 0x09, 0x02, 0x02, 0x02, 0x01});
    std::uint8_t length = 0;
    const std::uint8_t* payload = nullptr;
    EXPECT_FALSE(transact(link, 0x0009, length, payload, 600));
    ASSERT_TRUE(transact(link, 0x0009, length, payload, 600));
    EXPECT_EQ(Bytes(payload, payload + length), (Bytes{0x00, 0x01}));
    EXPECT_EQ(channel.writes.size(), 2u);
}

TEST_F(TransactTest, AwaitReplyTakesFurtherRepliesWithoutSending) {
    channel.queue({0x00, 0x02, 0x05, 0x01, 0x01, 0x03, 0x01, 0x01});
    channel.input.push_back(kTimeout);
    channel.queue({0x00, 0x02, 0x05, 0x01, 0x01, 0x02, 0x01, 0x01});
    std::uint8_t length = 0;
    const std::uint8_t* payload = nullptr;
    ASSERT_TRUE(transact(link, 0x0000, length, payload, 10000));
    EXPECT_EQ(Bytes(payload, payload + length), (Bytes{0x01}));
    // A time-out between the two replies fails that wait only.
    EXPECT_FALSE(awaitReply(link, 0x0000, length, payload, 60000));
    ASSERT_TRUE(awaitReply(link, 0x0000, length, payload, 60000));
    EXPECT_EQ(Bytes(payload, payload + length), (Bytes{0x00}));
    EXPECT_EQ(channel.writes.size(), 1u);
    EXPECT_EQ(channel.readTimeouts.back(), 60000u);
}

} // namespace
