#pragma once

#include "link/device_link.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

// A frame trace written to a file: lines go to the stream's own large buffer and reach the
// disk when it fills and on close, so tracing adds no write per frame.
struct TraceFile {
    std::FILE* file = nullptr;
    std::chrono::steady_clock::time_point start{};
    FrameTrace trace{};
};

// Creates or truncates `path`; false with the system's reason.
[[nodiscard]] bool openTraceFile(TraceFile& traceFile, const std::string& path, std::string& error);
// Takes a stream opened elsewhere (a wide path on Windows); closed by closeTraceFile.
void startTraceFile(TraceFile& traceFile, std::FILE* file);

// Traces the link from now on and writes the open line for `portName`.
void attachTrace(TraceFile& traceFile, DeviceLink& link, std::string_view portName);
// Writes the close line and stops tracing the link.
void detachTrace(TraceFile& traceFile, DeviceLink& link);

// Flushes and closes; false when any line could not be written. Nothing to do when closed.
bool closeTraceFile(TraceFile& traceFile);
