#include "link/trace_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string notRegular(const std::string& path) {
    return "cannot open trace file " + path + ": not a regular file";
}

// The file as found, before anything is opened: a refused file is not truncated.
bool mayReplace(const std::string& path, std::string& error) {
    struct stat found {};
    if (::lstat(path.c_str(), &found) != 0) {
        return true; // none yet, or a reason open() reports in its own words
    }
    if (!S_ISREG(found.st_mode)) {
        error = notRegular(path);
        return false;
    }
    if ((found.st_mode & (S_IRGRP | S_IROTH)) != 0) {
        error = "trace file " + path + " is readable by others; chmod 600 " + path + " first";
        return false;
    }
    return true;
}

} // namespace

bool openTraceFile(TraceFile& traceFile, const std::string& path, std::string& error) {
    if (!mayReplace(path, error)) {
        return false;
    }
    // Non-blocking and not followed, so that a FIFO or a link put there meanwhile cannot hold
    // the run or redirect the trace; fstat then refuses whatever is not a plain file.
    const int fd = ::open(
        path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
        S_IRUSR | S_IWUSR);
    if (fd < 0) {
        error = "cannot open trace file " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        error = notRegular(path);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    std::FILE* file = nullptr;
    if (flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) {
        file = ::fdopen(fd, "wb");
    }
    if (file == nullptr) {
        error = "cannot open trace file " + path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    startTraceFile(traceFile, file);
    return true;
}
