#pragma once

#include "link/command_code.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// Where a link reports every frame it sends and receives, and how each wait without a reply
// ended. One line per event, each ending in '\n', the time stamp right-aligned in 9 columns:
//     TIME tx FRAME code=0xCCCC len=L payload=HEX [write-failed]
//     TIME rx FRAME code=0xCCCC len=L payload=HEX [dropped|short]
//     TIME timeout code=0xCCCC after=MSms
//     TIME stopped code=0xCCCC
//     TIME hangup code=0xCCCC
//     TIME open PORT
//     TIME close
// TIME is microseconds since the first open; FRAME the bytes on the wire from the delimiter
// on, in lower-case hex; len the length byte of the message, payload the bytes it carried.
// "dropped" marks a frame that answered another command, "short" one that claimed more payload
// than it carried; `after` is the per-byte time-out that ran out. "stopped": a stop asked for
// ended the wait; "hangup": the port hung up or vanished (during the wait, or at the write).
// A frame of a code `isSecret` names that carries a payload keeps its code and len, but each
// byte of its payload shows as "**", and so does each byte of FRAME after the delimiter (the
// stuffing bytes would tell where the payload's zeros are). 0x020D with the payload 73 33 63 72:
//     TIME tx 00******************** code=0x020d len=4 payload=********
inline constexpr std::size_t kTraceFrameBytes = 300; // longer than any frame the decoder takes

struct FrameTrace {
    using WriteLine = void (*)(void* context, const char* line, std::size_t size);
    using NowUs = std::uint64_t (*)(void* context); // a monotonic clock
    WriteLine writeLine = nullptr;
    NowUs nowUs = nullptr;
    void* context = nullptr;
    // Frames of the codes it names have their payload masked (passwords, keys); null masks
    // nothing.
    bool (*isSecret)(CommandCode code) = nullptr;
    // Pushes the lines written so far to their file; called before each wait for a reply, so
    // that a process ended during a wait leaves every line before it. Null: nothing to push.
    void (*flush)(void* context) = nullptr;
    std::uint64_t originUs = 0;
    bool opened = false;
    // The bytes of the frame being received, from its delimiter on.
    std::uint8_t received[kTraceFrameBytes] = {};
    std::size_t receivedCount = 0;
};

// Keeps one received byte for the next rx line: a copy, nothing formatted.
inline void traceByte(FrameTrace& trace, std::uint8_t byte) {
    if (byte == 0x00) {
        trace.receivedCount = 0;
    }
    if (trace.receivedCount < kTraceFrameBytes) {
        trace.received[trace.receivedCount++] = byte;
    }
}

// `message` is the request as encoded (code, 0, length, payload).
void traceSent(FrameTrace& trace, std::span<const std::uint8_t> frame, const std::uint8_t* message,
               bool written);
// `message` is the decoded frame, `count` its bytes; `mark` empty, "dropped" or "short".
void traceReceived(FrameTrace& trace, const std::uint8_t* message, std::size_t count,
                   std::string_view mark);
// How a wait for a reply to `code` ended without one; `timeoutMs` the per-byte time-out.
enum class WaitEnd { timeout, stopped, hangup };
void traceWaitEnd(FrameTrace& trace, WaitEnd end, CommandCode code, std::uint32_t timeoutMs);
inline void traceFlush(FrameTrace& trace) {
    if (trace.flush != nullptr) {
        trace.flush(trace.context);
    }
}
// The first open starts the clock of the time stamps.
void traceOpen(FrameTrace& trace, std::string_view portName);
void traceClose(FrameTrace& trace);
