#pragma once

#include "link/device_link.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

// A frame trace written to a file: lines go to the stream's own large buffer and reach the
// file before each wait for a reply (a process ended meanwhile leaves them all) and on close,
// so tracing adds one write per exchange, not one per frame.
struct TraceFile {
    std::FILE* file = nullptr;
    std::chrono::steady_clock::time_point start{};
    FrameTrace trace{};
};

// Creates or truncates `path`; false with the reason. Each build links the implementation of
// its platform (trace_file_posix.cpp or trace_file_win32.cpp). On POSIX systems the trace is
// for the owner's eyes only: a new file gets mode 0600; an existing one that group or others
// can read is refused (and left as it is), and so is anything but a regular file (a FIFO, a
// device, a folder, a symbolic link), at once and without waiting for a reader.
[[nodiscard]] bool openTraceFile(TraceFile& traceFile, const std::string& path, std::string& error);
// Takes a stream opened elsewhere (a wide path on Windows); closed by closeTraceFile.
void startTraceFile(TraceFile& traceFile, std::FILE* file);

// Traces the link from now on and writes the open line for `portName`.
void attachTrace(TraceFile& traceFile, DeviceLink& link, std::string_view portName);
// Writes the close line and stops tracing the link.
void detachTrace(TraceFile& traceFile, DeviceLink& link);

// Flushes and closes; false when any line could not be written. Nothing to do when closed.
bool closeTraceFile(TraceFile& traceFile);
