#pragma once

#include "link/byte_channel.h"
#include "link/command_code.h"
#include "link/frame_codec.h"
#include "link/frame_decoder.h"
#include "link/frame_trace.h"

#include <cstdint>

struct DeviceLink {
    ByteChannel* channel = nullptr;
    FrameCodec codec{};
    FrameDecoder decoder{};
    bool frameReady = false;
    const std::uint8_t* lastFrame = nullptr;
    std::uint8_t lastFrameCount = 0;
    // Complete frames that answered another command (a late reply, a stray echo) and were
    // passed over while waiting for a reply.
    std::uint32_t droppedFrames = 0;
    FrameTrace* trace = nullptr; // set by a front end that traces; kept by initDeviceLink
    // True once the user asked to stop: a long wait for a reply then ends within kStopSliceMs.
    // Set by a front end that can be stopped; kept by initDeviceLink.
    bool (*stop)() = nullptr;
};

// With a stop check, a wait for a byte reads in slices of at most this many milliseconds.
inline constexpr std::uint32_t kStopSliceMs = 100;
// Only a per-byte wait longer than this is cut short by a stop (the connect's second reply,
// a slow sensor read-out); a shorter one lets the exchange in flight end as it would.
inline constexpr std::uint32_t kStopCutsWaitsOverMs = 1000;

// Installs the frame handler and clears the decoder; once per link, before the first exchange.
void initDeviceLink(DeviceLink& link, ByteChannel* channel);

// Drops the input not yet read, sends one request and waits for its reply: a complete frame
// that answers another command is dropped, and the wait goes on, each byte with its own
// `timeoutMs`. False when no reply to `code` comes, when it claims more payload than it
// carried, when the port hangs up, and at once when a stop is asked for. On entry
// `length`/`payload` describe the request, on success the reply payload (a view into the
// decoder, valid until the next exchange). On false both are left as they were.
[[nodiscard]] bool transact(DeviceLink& link, CommandCode code, std::uint8_t& length,
                            const std::uint8_t*& payload, std::uint32_t timeoutMs);

// Like transact, but sends nothing and keeps the input: for commands that draw more than one
// reply.
[[nodiscard]] bool awaitReply(DeviceLink& link, CommandCode code, std::uint8_t& length,
                              const std::uint8_t*& payload, std::uint32_t timeoutMs);
