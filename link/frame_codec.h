#pragma once

#include "link/command_code.h"

#include <cstddef>
#include <cstdint>
#include <span>

// Requests carry at most the longest text setting; the frame adds delimiter, first code,
// length byte and one code byte per zero of the message.
inline constexpr std::size_t kMaxRequestPayload = 63;
inline constexpr std::size_t kMessageHeaderSize = 4;
inline constexpr std::size_t kFrameBufferSize = 128;
inline constexpr std::size_t kFrameOverhead = 7;

struct FrameCodec {
    std::uint8_t message[kMessageHeaderSize + kMaxRequestPayload];
    std::uint8_t frame[kFrameBufferSize];
};

// Builds the wire frame in codec.frame and returns a view of it (L + 7 bytes). A payload
// longer than kMaxRequestPayload is refused with an empty view: no such request exists.
[[nodiscard]] std::span<const std::uint8_t> encodeRequest(FrameCodec& codec, CommandCode code,
                                                          std::uint8_t length,
                                                          const std::uint8_t* payload);
