#include "link/trace_file.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t kStreamBuffer = 1 << 16;

void writeLine(void* context, const char* line, std::size_t size) {
    std::fwrite(line, 1, size, static_cast<TraceFile*>(context)->file);
}

std::uint64_t nowUs(void* context) {
    const auto since = std::chrono::steady_clock::now() - static_cast<TraceFile*>(context)->start;
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(since).count());
}

} // namespace

bool openTraceFile(TraceFile& traceFile, const std::string& path, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot open trace file " + path + ": " + std::strerror(errno);
        return false;
    }
    startTraceFile(traceFile, file);
    return true;
}

void startTraceFile(TraceFile& traceFile, std::FILE* file) {
    std::setvbuf(file, nullptr, _IOFBF, kStreamBuffer);
    traceFile.file = file;
    traceFile.start = std::chrono::steady_clock::now();
    traceFile.trace = FrameTrace{};
    traceFile.trace.writeLine = &writeLine;
    traceFile.trace.nowUs = &nowUs;
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
