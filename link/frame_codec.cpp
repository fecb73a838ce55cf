#include "link/frame_codec.h"

#include <cstring>

std::span<const std::uint8_t> encodeRequest(FrameCodec& codec, CommandCode code,
                                            std::uint8_t length, const std::uint8_t* payload) {
    if (length > kMaxRequestPayload) {
        return {};
    }
    std::uint8_t* message = codec.message;
    message[0] = static_cast<std::uint8_t>(code >> 8);
    message[1] = static_cast<std::uint8_t>(code & 0xFF);
    message[2] = 0x00;
    message[3] = length;
    if (length > 0) {
        std::memcpy(message + kMessageHeaderSize, payload, length);
    }
    const std::size_t messageSize = kMessageHeaderSize + length;

    std::uint8_t* frame = codec.frame;
    frame[0] = 0x00;
    std::size_t codeSlot = 1;
    frame[2] = static_cast<std::uint8_t>(messageSize); // N = L + 4, never zero
    std::size_t out = 3;
    std::uint8_t runningCode = 2; // counts the length byte
    for (std::size_t i = 0; i < messageSize; ++i) {
        if (message[i] == 0x00) {
            frame[codeSlot] = runningCode;
            codeSlot = out++;
            runningCode = 1;
        } else {
            frame[out++] = message[i];
            ++runningCode;
        }
    }
    frame[codeSlot] = runningCode;
    return {frame, out};
}
