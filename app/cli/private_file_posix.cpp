#include "app/cli/private_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;

std::string failure(const char* what, const std::string& path) {
    return std::string("cannot ") + what + " " + path + ": " + std::strerror(errno);
}

} // namespace

bool writePrivateFile(const std::string& path, std::string_view text, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kOwnerOnly);
    if (fd < 0) {
        error = failure("create", path);
        return false;
    }
    // The mode of open applies only to a new file (and through the umask): an existing
    // profile keeps whatever it had unless it is changed here.
    bool ok = ::fchmod(fd, kOwnerOnly) == 0;
    if (!ok) {
        error = failure("restrict the permissions of", path);
    }
    while (ok && !text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            error = failure("write", path);
            ok = false;
            break;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    if (::close(fd) != 0 && ok) {
        error = failure("write", path);
        ok = false;
    }
    return ok;
}

bool readWholeFile(const std::string& path, std::string& text, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = failure("open", path);
        return false;
    }
    text.clear();
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            error = failure("read", path);
            ::close(fd);
            return false;
        }
        if (count == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return true;
}

bool isReadableByOthers(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && (status.st_mode & (S_IRGRP | S_IROTH)) != 0;
}
