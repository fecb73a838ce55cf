#include "link/frame_codec.h"
#include "link/frame_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes nonZeroPayload(std::size_t count) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i % 255 + 1);
    }
    return bytes;
}

Bytes concat(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

struct EncodeRow {
    const char* name;
    CommandCode code;
    Bytes payload;
    Bytes frame;
};

TEST(FrameCodec, EncodesRequestsByteForByte) {
    const std::vector<EncodeRow> rows = {
        {"get master flag, empty payload", 0x0009, {}, {0x00, 0x02, 0x04, 0x02, 0x09, 0x01, 0x01}},
        {"connect, every header byte zero but N",
         0x0000,
         {},
         {0x00, 0x02, 0x04, 0x01, 0x01, 0x01, 0x01}},
        {"set master flag 1", 0x0008, {0x01}, {0x00, 0x02, 0x05, 0x02, 0x08, 0x03, 0x01, 0x01}},
        {"indexed get with index 0",
         0x0101,
         {0x00},
         {0x00, 0x04, 0x05, 0x01, 0x01, 0x02, 0x01, 0x01}},
        {"longest text, 63 non-zero bytes", 0x0303, nonZeroPayload(63),
         concat({0x00, 0x04, 0x43, 0x03, 0x03, 0x41, 0x3F}, nonZeroPayload(63))},
        {"payload ending in zero",
         0x0102,
         {0x01, 0x00},
         {0x00, 0x04, 0x06, 0x01, 0x02, 0x03, 0x02, 0x01, 0x01}},
        {"0xFF bytes are plain data",
         0xFFFF,
         {0xFF},
         {0x00, 0x04, 0x05, 0xFF, 0xFF, 0x03, 0x01, 0xFF}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FrameCodec codec{};
        const auto frame = encodeRequest(
            codec, row.code, static_cast<std::uint8_t>(row.payload.size()), row.payload.data());
        EXPECT_EQ(Bytes(frame.begin(), frame.end()), row.frame);
        EXPECT_EQ(frame.size(), row.payload.size() + kFrameOverhead);
    }
}

TEST(FrameCodec, RefusesPayloadsNoRequestCanHave) {
    FrameCodec codec{};
    const Bytes payload = nonZeroPayload(64);
    EXPECT_TRUE(encodeRequest(codec, 0x0303, 64, payload.data()).empty());
}

TEST(FrameCodec, EveryZeroPatternRoundTripsThroughTheDecoder) {
    // Each payload of up to 5 bytes drawn from {00, 01} exercises every block boundary.
    for (std::size_t length = 0; length <= 5; ++length) {
        for (unsigned pattern = 0; pattern < (1u << length); ++pattern) {
            Bytes payload;
            for (std::size_t i = 0; i < length; ++i) {
                payload.push_back((pattern >> i) & 1u);
            }
            FrameCodec codec{};
            const auto frame =
                encodeRequest(codec, 0x0100, static_cast<std::uint8_t>(length), payload.data());
            Bytes delivered;
            int deliveries = 0;
            FrameDecoder decoder;
            struct Sink {
                Bytes* bytes;
                int* count;
            } sink{&delivered, &deliveries};
            resetDecoder(
                decoder,
                [](void* context, const std::uint8_t* bytes, std::uint8_t count) {
                    auto* s = static_cast<Sink*>(context);
                    s->bytes->assign(bytes, bytes + count);
                    ++*s->count;
                },
                &sink);
            for (std::uint8_t byte : frame) {
                feed(decoder, byte);
            }
            SCOPED_TRACE("length " + std::to_string(length) + " pattern " +
                         std::to_string(pattern));
            ASSERT_EQ(deliveries, 1);
            EXPECT_EQ(delivered,
                      concat({0x01, 0x00, 0x00, static_cast<std::uint8_t>(length)}, payload));
        }
    }
}

struct Delivery {
    Bytes frame;
    std::size_t atByte; // index of the fed byte that completed it
};

struct DecodeRow {
    const char* name;
    Bytes wire;
    std::vector<Delivery> deliveries;
    bool syncedAfter;
};

struct Recorder {
    std::vector<Delivery> deliveries;
    std::size_t position = 0;
};

void record(void* context, const std::uint8_t* bytes, std::uint8_t count) {
    auto* recorder = static_cast<Recorder*>(context);
    recorder->deliveries.push_back({Bytes(bytes, bytes + count), recorder->position});
}

const Bytes kMasterReply = {0x00, 0x02, 0x06, 0x02, 0x09, 0x02, 0x02, 0x02, 0x01};
const Bytes kMasterMessage = {0x00, 0x09, 0x00, 0x02, 0x00, 0x01};

TEST(FrameDecoder, DeliversExactlyTheFramesOnTheWire) {
    const std::vector<DecodeRow> rows = {
        {"master flag reply delivered on its last byte",
         kMasterReply,
         {{kMasterMessage, 8}},
         false},
        {"noise before and after changes nothing",
         concat(concat({0x55, 0xAA}, kMasterReply), {0x77}),
         {{kMasterMessage, 10}},
         false},
        {"message ending in zero completes on the final code byte",
         {0x00, 0x02, 0x05, 0x02, 0x01, 0x02, 0x01, 0x01},
         {{{0x00, 0x01, 0x00, 0x01, 0x00}, 7}},
         false},
        {"frame interrupted by 0x00 then resent whole",
         concat({0x00, 0x02, 0x06, 0x02, 0x09, 0x02},
                {0x00, 0x02, 0x06, 0x02, 0x09, 0x02, 0x02, 0x02, 0x07}),
         {{{0x00, 0x09, 0x00, 0x02, 0x00, 0x07}, 14}},
         false},
        {"surplus byte in the last block completes the frame and is lost",
         {0x00, 0x02, 0x05, 0x02, 0x09, 0x04, 0x01, 0x05, 0x06},
         {{{0x00, 0x09, 0x00, 0x01, 0x05}, 8}},
         false},
        {"length byte above the reply buffer is abandoned until the next 0x00",
         concat({0x00, 0x03, 0x81, 0x01, 0x01, 0x01}, kMasterReply),
         {{kMasterMessage, 14}},
         false},
        {"length byte below the header is abandoned",
         concat({0x00, 0x02, 0x03, 0x02}, kMasterReply),
         {{kMasterMessage, 12}},
         false},
        {"without a leading 0x00 nothing is delivered",
         Bytes(kMasterReply.begin() + 1, kMasterReply.end()),
         {},
         false},
        {"two frames back to back",
         concat(kMasterReply, kMasterReply),
         {{kMasterMessage, 8}, {kMasterMessage, 17}},
         false},
        {"after a delivery everything up to the next 0x00 is ignored",
         concat(kMasterReply, {0x02, 0x06, 0x02, 0x09, 0x02, 0x02, 0x02, 0x01}),
         {{kMasterMessage, 8}},
         false},
        {"an unfinished frame leaves the decoder synced", {0x00, 0x02, 0x06, 0x02}, {}, true},
        {"a frame that is cut short is never delivered",
         Bytes(kMasterReply.begin(), kMasterReply.end() - 1),
         {},
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Recorder recorder;
        FrameDecoder decoder;
        resetDecoder(decoder, &record, &recorder);
        for (std::uint8_t byte : row.wire) {
            feed(decoder, byte);
            ++recorder.position;
        }
        ASSERT_EQ(recorder.deliveries.size(), row.deliveries.size());
        for (std::size_t i = 0; i < row.deliveries.size(); ++i) {
            EXPECT_EQ(recorder.deliveries[i].frame, row.deliveries[i].frame);
            EXPECT_EQ(recorder.deliveries[i].atByte, row.deliveries[i].atByte);
        }
        EXPECT_EQ(decoder.synced, row.syncedAfter);
    }
}

TEST(FrameDecoder, LongestReplyFillsTheBufferAndNoMore) {
    // N = 128: a reply with a 124-byte payload of non-zero bytes.
    Bytes wire = {0x00, 0x04, 0x80, 0x03, 0x03, 0x7E, 0x7C};
    const Bytes payload = nonZeroPayload(124);
    wire.insert(wire.end(), payload.begin(), payload.end());
    Recorder recorder;
    FrameDecoder decoder;
    resetDecoder(decoder, &record, &recorder);
    for (std::uint8_t byte : wire) {
        feed(decoder, byte);
    }
    ASSERT_EQ(recorder.deliveries.size(), 1u);
    EXPECT_EQ(recorder.deliveries[0].frame, concat({0x03, 0x03, 0x00, 0x7C}, payload));
}

} // namespace
