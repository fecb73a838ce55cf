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
    void hex(const std::uint8_t* bytes, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            hex(bytes[i]);
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
    void message(const std::uint8_t* bytes, std::size_t count) {
        put(" code=0x");
        hex(bytes[0]);
        hex(bytes[1]);
        put(" len=");
        decimal(bytes[3], 0);
        put(" payload=");
        hex(bytes + kMessageHeaderSize, count - kMessageHeaderSize);
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
    line.hex(frame.data(), frame.size());
    line.message(message, kMessageHeaderSize + message[3]);
    if (!written) {
        line.put(" write-failed");
    }
    finish(trace, line);
}

void traceReceived(FrameTrace& trace, const std::uint8_t* message, std::size_t count,
                   std::string_view mark) {
    Line line;
    begin(trace, line, "rx ");
    line.hex(trace.received, trace.receivedCount);
    line.message(message, count);
    if (!mark.empty()) {
        line.put(' ');
        line.put(mark);
    }
    finish(trace, line);
    trace.receivedCount = 0;
}

void traceTimeout(FrameTrace& trace, CommandCode code, std::uint32_t timeoutMs) {
    Line line;
    begin(trace, line, "timeout code=0x");
    line.hex(static_cast<std::uint8_t>(code >> 8));
    line.hex(static_cast<std::uint8_t>(code & 0xFF));
    line.put(" after=");
    line.decimal(timeoutMs, 0);
    line.put("ms");
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
