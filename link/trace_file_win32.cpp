#include "link/trace_file.h"

#include <cerrno>
#include <cstring>

bool openTraceFile(TraceFile& traceFile, const std::string& path, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot open trace file " + path + ": " + std::strerror(errno);
        return false;
    }
    startTraceFile(traceFile, file);
    return true;
}
