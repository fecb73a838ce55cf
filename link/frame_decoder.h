#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kReplyBufferSize = 128;

// Called on the byte that completes a frame; the bytes are a view of the decoder's buffer,
// valid until the decoder is fed again.
using FrameHandler = void (*)(void* context, const std::uint8_t* frame, std::uint8_t count);

struct FrameDecoder {
    bool synced = false;
    std::uint8_t blockRemaining = 0;
    std::uint8_t expectedLength = 0;
    std::uint8_t storedCount = 0;
    std::uint8_t replyBuffer[kReplyBufferSize] = {};
    FrameHandler handler = nullptr;
    void* handlerContext = nullptr;
};

void resetDecoder(FrameDecoder& decoder, FrameHandler handler, void* context);

void feed(FrameDecoder& decoder, std::uint8_t byte);
