#include "link/command_index.h"
#include "link/device_link.h"
#include "link/frame_codec.h"
#include "link/frame_decoder.h"
#include "settings/setting_catalogue.h"
#include "sim/simulator_channel.h"
#include "tests/support/wire_bytes.h"

#include <gtest/gtest.h>

#include <deque>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string text(const Bytes& bytes) {
    std::string out;
    for (std::uint8_t byte : bytes) {
        out += {' ', "0123456789ABCDEF"[byte >> 4], "0123456789ABCDEF"[byte & 15]};
    }
    return out.empty() ? out : out.substr(1);
}

// Each frame the decoder delivers for `bytes`, as "[message]".
std::string decode(const Bytes& bytes) {
    std::string delivered;
    FrameDecoder decoder;
    resetDecoder(
        decoder,
        [](void* context, const std::uint8_t* bytes, std::uint8_t count) {
            *static_cast<std::string*>(context) += "[" + text(Bytes(bytes, bytes + count)) + "]";
        },
        &delivered);
    for (std::uint8_t byte : bytes) {
        feed(decoder, byte);
    }
    return delivered;
}

TEST(FrameCodec, EncodesRequestsByteForByteAndRoundTripsEveryZeroPattern) {
    const std::tuple<CommandCode, Bytes, const char*> rows[] = {
        {0x0009, {}, "00 02 04 02 09 01 01"},
        {0x0000, {}, "00 02 04 01 01 01 01"},
        {0x0008, wire("01"), "00 02 05 02 08 03 01 01"},
        {0x0101, wire("00"), "00 04 05 01 01 02 01 01"},
        {0x0102, wire("01 00"), "00 04 06 01 02 03 02 01 01"},
        {0xFFFF, wire("FF"), "00 04 05 FF FF 03 01 FF"},
    };
    FrameCodec codec{};
    for (const auto& [code, payload, frame] : rows) {
        const auto sent =
            encodeRequest(codec, code, static_cast<std::uint8_t>(payload.size()), payload.data());
        EXPECT_EQ(text(Bytes(sent.begin(), sent.end())), frame);
    }
    const auto longest = encodeRequest(codec, 0x0303, 63, wire("'A'*63").data());
    EXPECT_EQ(Bytes(longest.begin(), longest.end()), wire("00 04 43 03 03 41 3F 'A'*63"));
    EXPECT_TRUE(encodeRequest(codec, 0x0303, 64, wire("'A'*64").data()).empty());
    // Payloads of up to 5 bytes drawn from {00, 01}: the bits under n's highest set bit.
    for (unsigned n = 1; n < 64; ++n) {
        Bytes message = {0x01, 0x00, 0x00, 0x00};
        for (unsigned rest = n; rest > 1; rest >>= 1) {
            message.push_back(rest & 1u);
        }
        message[3] = static_cast<std::uint8_t>(message.size() - 4);
        const auto sent = encodeRequest(codec, 0x0100, message[3], message.data() + 4);
        EXPECT_EQ(decode(Bytes(sent.begin(), sent.end())), "[" + text(message) + "]");
    }
}

TEST(FrameDecoder, DeliversExactlyTheFramesOnTheWire) {
    const std::pair<const char*, const char*> rows[] = {
        {"55 AA 00 02 06 02 09 02 02 02 01 77", "[00 09 00 02 00 01]"},          // noise around
        {"00 02 05 02 01 02 01 01", "[00 01 00 01 00]"},                         // ends in 00
        {"00 02 06 02 09 02 00 02 06 02 09 02 02 02 07", "[00 09 00 02 00 07]"}, // cut, resent
        {"00 02 05 02 09 04 01 05 06", "[00 09 00 01 05]"}, // surplus byte completes, is lost
        {"00 03 81 01 01 01 00 02 06 02 09 02 02 02 01", "[00 09 00 02 00 01]"}, // N > 128
        {"00 02 03 02 00 02 06 02 09 02 02 02 01", "[00 09 00 02 00 01]"},       // N < 4
        {"02 06 02 09 02 02 02 01", ""},                                         // no leading 00
        {"00 02 06 02 09 02 02 02", ""},                                         // cut short
        {"00 02 06 02 09 02 02 02 01 00 02 06 02 09 02 02 02 01",
         "[00 09 00 02 00 01][00 09 00 02 00 01]"},
        {"00 02 06 02 09 02 02 02 01 02 06 02 09 02 02 02 01", "[00 09 00 02 00 01]"},
    };
    for (const auto& [bytes, delivered] : rows) {
        EXPECT_EQ(decode(wire(bytes)), delivered) << bytes;
    }
    // N = 128: a 124-byte payload fills the reply buffer exactly.
    EXPECT_EQ(decode(wire("00 04 80 03 03 7E 7C '|'*124")),
              "[" + text(wire("03 03 00 7C '|'*124")) + "]");
}

// `received`: bytes already in the port's buffer; `arriving`: bytes the device sends later.
struct ScriptedChannel final : ByteChannel {
    std::deque<std::uint8_t> received, arriving;
    std::vector<Bytes> writes;
    std::vector<std::uint32_t> readTimeouts;
    bool writeSucceeds = true;
    bool hangsUpWhenEmpty = false; // the port vanishes once it has nothing more to give
    bool hung = false;

    bool writeFrame(std::span<const std::uint8_t> frame) override {
        writes.emplace_back(frame.begin(), frame.end());
        return writeSucceeds;
    }
    bool readByte(std::uint32_t timeoutMs, std::uint8_t& byte) override {
        readTimeouts.push_back(timeoutMs);
        auto& from = received.empty() ? arriving : received;
        if (from.empty()) {
            hung = hangsUpWhenEmpty;
            return false; // a time-out, or the hang-up
        }
        byte = from.front();
        from.pop_front();
        return true;
    }
    void discardInput() override { received.clear(); }
    bool hungUp() const override { return hung; }
    void send(std::string_view bytes, bool alreadyReceived = false) {
        const Bytes sent = wire(bytes);
        auto& to = alreadyReceived ? received : arriving;
        to.insert(to.end(), sent.begin(), sent.end());
    }
};

struct LinkTest : ::testing::Test {
    ScriptedChannel channel;
    DeviceLink link;
    std::uint8_t length = 0;
    const std::uint8_t* payload = nullptr;
    void SetUp() override { initDeviceLink(link, &channel); }
    bool get() { return transact(link, 0x0009, length, payload, 1234); }
    std::string reply() const { return text(Bytes(payload, payload + length)); }
};

TEST_F(LinkTest, GetMasterFlagTakesOnlyAWholeReplyToIt) {
    // The device's bytes, answered, reply payload, reads of 1234 ms each, frames dropped.
    const std::tuple<const char*, bool, const char*, std::size_t, std::uint32_t> rows[] = {
        {"00 02 06 02 09 02 02 02 01", true, "00 01", 9, 0},
        {"00 02 04 02 09 01 01", true, "", 7, 0},
        {"55 AA 00 02 05 02 09 02 01 01", true, "00", 10, 0},
        // 0x0008 first
        {"00 02 05 02 08 02 01 01 00 02 06 02 09 02 02 02 01", true, "00 01", 17, 1},
        {"00 02 05 02 08 02 01 01", false, "", 9, 1},     // only another command's frame
        {"00 02 05 02 09 02 03 01", false, "", 8, 0},     // claims more than it carried
        {"00 02 06 02 09 02 01 02 01", true, "00", 9, 0}, // claims less: the claim stands
        {"00 02 06 02 09", false, "", 6, 0},              // cut short
        {"", false, "", 1, 0},                            // silent
    };
    for (const auto& [bytes, answered, payloadText, reads, dropped] : rows) {
        SCOPED_TRACE(bytes);
        channel = ScriptedChannel{};
        SetUp();
        channel.send(bytes);
        length = 0;
        payload = nullptr;
        ASSERT_EQ(get(), answered);
        EXPECT_EQ(channel.writes, std::vector<Bytes>{wire("00 02 04 02 09 01 01")});
        EXPECT_EQ(channel.readTimeouts, std::vector<std::uint32_t>(reads, 1234));
        EXPECT_EQ(link.droppedFrames, dropped);
        EXPECT_EQ(reply(), payloadText);
    }
}

TEST_F(LinkTest, DropsWhatCameWhileIdleButAwaitReplyKeepsIt) {
    EXPECT_FALSE(get());
    channel.send("00 02 06 02 09 02 02 02 01", true); // the late reply lands in the port
    channel.send("00 02 06 02 09 02 02 02 07");
    ASSERT_TRUE(get());
    EXPECT_EQ(reply(), "00 07");
    channel.send("00 02 06 02 09 02 02 02 03", true); // a further reply to the same request
    ASSERT_TRUE(awaitReply(link, 0x0009, length, payload, 60000));
    EXPECT_EQ(reply(), "00 03");
    EXPECT_EQ(channel.writes.size(), 2u);
    EXPECT_EQ(channel.readTimeouts.back(), 60000u);
    EXPECT_EQ(link.droppedFrames, 0u);

    const std::uint8_t request[] = {0x01};
    length = 1;
    payload = request;
    channel.send("00 02 05 02 08 02 01 01");
    ASSERT_TRUE(transact(link, 0x0008, length, payload, 600));
    EXPECT_EQ(channel.writes.back(), wire("00 02 05 02 08 03 01 01"));
    EXPECT_EQ(reply(), "00");
    channel.writeSucceeds = false; // then nothing is read
    EXPECT_FALSE(get());
    EXPECT_EQ(channel.readTimeouts.size(), 27u);
}

int stopChecksLeft = 0;
bool stopOnceChecked() {
    return stopChecksLeft-- <= 0;
}

// The lines of a trace, each stamped 0, and what had been written at the first flush.
struct TraceCapture {
    FrameTrace trace;
    std::string lines, atFirstFlush = "none";
    TraceCapture() {
        trace.context = this;
        trace.nowUs = [](void*) -> std::uint64_t { return 0; };
        trace.writeLine = [](void* context, const char* line, std::size_t size) {
            static_cast<TraceCapture*>(context)->lines.append(line, size);
        };
        trace.flush = [](void* context) {
            auto& capture = *static_cast<TraceCapture*>(context);
            capture.atFirstFlush =
                capture.atFirstFlush == "none" ? capture.lines : capture.atFirstFlush;
        };
        trace.isSecret = &carriesSecret;
    }
};

TEST_F(LinkTest, TraceShowsEachFrameMasksSecretsAndSaysHowAWaitEnded) {
    struct Row {
        CommandCode code;
        const char* request;
        const char* device;
        int stopChecks; // -1: no stop check
        bool hangsUp;
        std::uint32_t timeoutMs;
        std::vector<std::uint32_t> reads;
        std::string lines;
    };
    const std::vector<Row> rows = {
        // clang-format off
        {0x020F, "22 B3", "00 04 05 02 0F 02 01 01", -1, false, 600, std::vector<std::uint32_t>(8, 600),
         "        0 tx 000406020f040222b3 code=0x020f len=2 payload=22b3\n"
         "        0 rx 000405020f020101 code=0x020f len=1 payload=00\n"},
        {0x020D, "'s3cr'", "00 04 05 02 0D 02 01 01", -1, false, 600, std::vector<std::uint32_t>(8, 600),
         "        0 tx 00******************** code=0x020d len=4 payload=********\n"
         "        0 rx 00************** code=0x020d len=1 payload=**\n"},
        // A wait of a second or less is not cut short: the exchange in flight ends as it would.
        {0x020E, "", "00 04 07 02 0E 02 03 03 's3'", 100, false, 600, std::vector<std::uint32_t>(10, 600),
         "        0 tx 000404020e0101 code=0x020e len=0 payload=\n"
         "        0 rx 00****************** code=0x020e len=3 payload=******\n"},
        // A stop check splits a longer wait; its time-out is still one, reported once.
        {0x0009, "", "", 100, false, 1050, {100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 50},
         "        0 tx 00020402090101 code=0x0009 len=0 payload=\n"
         "        0 timeout code=0x0009 after=1050ms\n"},
        {0x0000, "", "", 2, false, 60000, {100, 100},
         "        0 tx 00020401010101 code=0x0000 len=0 payload=\n"
         "        0 stopped code=0x0000\n"},
        {0x0000, "", "00 02", 100, true, 60000, {100, 100, 100},
         "        0 tx 00020401010101 code=0x0000 len=0 payload=\n"
         "        0 hangup code=0x0000\n"},
        // clang-format on
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.lines);
        channel = ScriptedChannel{};
        SetUp();
        TraceCapture capture;
        link.trace = &capture.trace;
        link.stop = row.stopChecks < 0 ? nullptr : &stopOnceChecked;
        stopChecksLeft = row.stopChecks;
        channel.send(row.device);
        channel.hangsUpWhenEmpty = row.hangsUp;
        const Bytes request = wire(row.request);
        length = static_cast<std::uint8_t>(request.size());
        payload = request.data();
        EXPECT_EQ(transact(link, row.code, length, payload, row.timeoutMs),
                  row.device[0] != 0 && !row.hangsUp);
        EXPECT_EQ(channel.readTimeouts, row.reads);
        EXPECT_EQ(capture.lines, row.lines);
        EXPECT_EQ(capture.atFirstFlush, row.lines.substr(0, row.lines.find('\n') + 1));
    }
    // Once hung up, a write fails at once and says so.
    channel.writeSucceeds = false;
    TraceCapture capture;
    link.trace = &capture.trace;
    EXPECT_FALSE(get());
    EXPECT_EQ(capture.lines, "        0 tx 00020402090101 code=0x0009 len=0 payload= write-failed\n"
                             "        0 hangup code=0x0009\n");
}

TEST(SimulatorChannel, DiscardDropsWhatCameAndKeepsWhatIsOnItsWay) {
    DeviceSimulator device;
    SimFault late;
    late.delayMs = 700;
    device.scriptFault(0x0009, late);
    SimulatorChannel channel(device);
    std::uint8_t byte = 0;
    ASSERT_TRUE(channel.writeFrame(wire("00 02 04 02 09 01 01")));
    channel.discardInput(); // nothing has come yet
    ASSERT_TRUE(channel.readByte(700, byte));
    channel.discardInput(); // the rest of the reply came with its first byte
    EXPECT_FALSE(channel.readByte(1000, byte));
    EXPECT_EQ(channel.elapsedMs(), 1700u);
}

TEST(CommandIndex, EachCodeIsUniqueAndAGetFollowsItsSet) {
    std::set<CommandCode> codes;
    for (const CommandEntry& entry : commandIndex()) {
        const std::string name = entry.name;
        EXPECT_TRUE(codes.insert(entry.code).second) << name;
        EXPECT_EQ(findCommand(entry.code), &entry) << name;
        EXPECT_EQ(findCommandByName(entry.name), &entry) << name;
        const CommandEntry* get = name.starts_with("set-")
                                      ? findCommandByName(("get-" + name.substr(4)).c_str())
                                      : nullptr;
        EXPECT_TRUE(get == nullptr || get->code == entry.code + 1) << name;
    }
}

} // namespace
