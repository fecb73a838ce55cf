#pragma once

#include "link/byte_channel.h"
#include "link/command_code.h"
#include "link/frame_codec.h"
#include "link/frame_decoder.h"

#include <cstdint>

struct DeviceLink {
    ByteChannel* channel = nullptr;
    FrameCodec codec{};
    FrameDecoder decoder{};
    bool frameReady = false;
    const std::uint8_t* lastFrame = nullptr;
    std::uint8_t lastFrameCount = 0;
};

// Installs the frame handler and clears the decoder; once per link, before the first exchange.
void initDeviceLink(DeviceLink& link, ByteChannel* channel);

// Sends one request and waits for the next complete reply frame; true when it answers `code`.
// On entry `length`/`payload` describe the request, on success the reply payload (a view into
// the decoder, valid until the next exchange). On false both are left as they were.
[[nodiscard]] bool transact(DeviceLink& link, CommandCode code, std::uint8_t& length,
                            const std::uint8_t*& payload, std::uint32_t timeoutMs);

// Like transact, but sends nothing: for commands that draw more than one reply.
[[nodiscard]] bool awaitReply(DeviceLink& link, CommandCode code, std::uint8_t& length,
                              const std::uint8_t*& payload, std::uint32_t timeoutMs);
