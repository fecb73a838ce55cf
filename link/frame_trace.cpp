#include "link/frame_trace.h"

#include "link/frame_codec.h"

namespace {

// The longest line: an rx frame of kTraceFrameBytes and its decoded payload.
constexpr std::size_t kLineSize = 1024;

// Formats into a fixed buffer on the stack: the link path allocates nothing. Text that would
// not fit is cut, the line still ends in '\n'.
struct Line {
    char text[kLineSize];
    std::size_t size = 0;

    void put(char c) {
        if (size < kLineSize - 1) {
            text[size++] = c;
        }
    }
    void put(std::string_view s) {
        for (char c : s) {
            put(c);
        }
    }
    void hex(std::uint8_t byte) {
        constexpr char kDigits[] = "0123456789abcdef";
        put(kDigits[byte >> 4]);
        put(kDigits[byte & 0x0F]);
    }
    // Two stars a byte when masked, so the count still shows.
    void hex(const std::uint8_t* data, std::size_t count, bool masked = false) {
        for (std::size_t i = 0; i < count; ++i) {
            if (masked) {
                put("**");
            } else {
                hex(data[i]);
            }
        }
    }
    void decimal(std::uint64_t value, std::size_t width) {
        char digits[20];
        std::size_t count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        for (std::size_t pad = count; pad < width; ++pad) {
            put(' ');
        }
        while (count > 0) {
            put(digits[--count]);
        }
    }
    void code(CommandCode value) {
        put("code=0x");
        hex(static_cast<std::uint8_t>(value >> 8));
        hex(static_cast<std::uint8_t>(value & 0xFF));
    }
    // The wire bytes from the delimiter on, then the message they carried.
    void frame(const FrameTrace& trace, const std::uint8_t* wire, std::size_t wireCount,
               const std::uint8_t* message, std::size_t count) {
        const auto value = static_cast<CommandCode>((message[0] << 8) | message[1]);
        const bool masked =
            count > kMessageHeaderSize && trace.isSecret != nullptr && trace.isSecret(value);
        const std::size_t kept = masked && wireCount > 0 ? 1 : wireCount;
        hex(wire, kept);
        hex(wire + kept, wireCount - kept, masked);
        put(' ');
        code(value);
        put(" len=");
        decimal(message[3], 0);
        put(" payload=");
        hex(message + kMessageHeaderSize, count - kMessageHeaderSize, masked);
    }
};

void beginAt(Line& line, std::uint64_t stampUs, std::string_view event) {
    line.decimal(stampUs, 9);
    line.put(' ');
    line.put(event);
}

void begin(FrameTrace& trace, Line& line, std::string_view event) {
    const std::uint64_t now = trace.nowUs(trace.context);
    beginAt(line, now >= trace.originUs ? now - trace.originUs : 0, event);
}

void finish(FrameTrace& trace, Line& line) {
    line.text[line.size++] = '\n'; // put() always leaves room for it
    trace.writeLine(trace.context, line.text, line.size);
}

} // namespace

void traceSent(FrameTrace& trace, std::span<const std::uint8_t> frame, const std::uint8_t* message,
               bool written) {
    Line line;
    begin(trace, line, "tx ");
    line.frame(trace, frame.data(), frame.size(), message, kMessageHeaderSize + message[3]);
    if (!written) {
        line.put(" write-failed");
    }
    finish(trace, line);
}

void traceReceived(FrameTrace& trace, const std::uint8_t* message, std::size_t count,
                   std::string_view mark) {
    Line line;
    begin(trace, line, "rx ");
    line.frame(trace, trace.received, trace.receivedCount, message, count);
    if (!mark.empty()) {
        line.put(' ');
        line.put(mark);
    }
    finish(trace, line);
    trace.receivedCount = 0;
}

void traceWaitEnd(FrameTrace& trace, WaitEnd end, CommandCode code, std::uint32_t timeoutMs) {
    constexpr std::string_view kEvents[] = {"timeout ", "stopped ", "hangup "};
    Line line;
    begin(trace, line, kEvents[static_cast<std::size_t>(end)]);
    line.code(code);
    if (end == WaitEnd::timeout) {
        line.put(" after=");
        line.decimal(timeoutMs, 0);
        line.put("ms");
    }
    finish(trace, line);
}

void traceOpen(FrameTrace& trace, std::string_view portName) {
    Line line;
    if (!trace.opened) {
        // The clock's zero: read once, so the first open is 0 on however slow a machine.
        trace.originUs = trace.nowUs(trace.context);
        trace.opened = true;
        beginAt(line, 0, "open ");
    } else {
        begin(trace, line, "open ");
    }
    line.put(portName);
    finish(trace, line);
}

void traceClose(FrameTrace& trace) {
    Line line;
    begin(trace, line, "close");
    finish(trace, line);
}
