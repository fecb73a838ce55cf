#include "link/trace_file.h"

namespace {

constexpr std::size_t kStreamBuffer = 1 << 16;

void writeLine(void* context, const char* line, std::size_t size) {
    std::fwrite(line, 1, size, static_cast<TraceFile*>(context)->file);
}

void flush(void* context) {
    std::fflush(static_cast<TraceFile*>(context)->file);
}

std::uint64_t nowUs(void* context) {
    const auto since = std::chrono::steady_clock::now() - static_cast<TraceFile*>(context)->start;
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(since).count());
}

} // namespace

void startTraceFile(TraceFile& traceFile, std::FILE* file) {
    std::setvbuf(file, nullptr, _IOFBF, kStreamBuffer);
    traceFile.file = file;
    traceFile.start = std::chrono::steady_clock::now();
    traceFile.trace = FrameTrace{};
    traceFile.trace.writeLine = &writeLine;
    traceFile.trace.nowUs = &nowUs;
    traceFile.trace.flush = &flush;
    traceFile.trace.context = &traceFile;
}

void attachTrace(TraceFile& traceFile, DeviceLink& link, std::string_view portName) {
    if (traceFile.file == nullptr) {
        return;
    }
    link.trace = &traceFile.trace;
    traceOpen(traceFile.trace, portName);
}

void detachTrace(TraceFile& traceFile, DeviceLink& link) {
    if (traceFile.file == nullptr || link.trace != &traceFile.trace) {
        return;
    }
    traceClose(traceFile.trace);
    link.trace = nullptr;
}

bool closeTraceFile(TraceFile& traceFile) {
    if (traceFile.file == nullptr) {
        return true;
    }
    const bool written = std::ferror(traceFile.file) == 0;
    const bool closed = std::fclose(traceFile.file) == 0;
    traceFile.file = nullptr;
    return written && closed;
}
