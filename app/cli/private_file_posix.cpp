#include "app/cli/private_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;

std::string failure(const char* what, const std::string& path) {
    return std::string("cannot ") + what + " " + path + ": " + std::strerror(errno);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// `path` made absolute with every link and dot resolved as far as it exists.
std::string canonicalPlace(const std::string& path) {
    std::error_code failed;
    const std::filesystem::path place = std::filesystem::weakly_canonical(path, failed);
    return failed ? std::filesystem::absolute(path, failed).lexically_normal().string()
                  : place.string();
}

} // namespace

bool canWritePrivateFile(const std::string& path, std::string& error) {
    const std::string folder = folderOf(path);
    struct stat status {};
    if (::stat(folder.c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) {
        error = "cannot write to the folder " + folder + ": not a folder";
        return false;
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        error = failure("write to the folder", folder);
        return false;
    }
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        error = "cannot write " + path + ": it is not a regular file";
        return false;
    }
    return true;
}

bool writePrivateFile(const std::string& path, std::string_view text, std::string& error) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        error = "cannot write " + path + ": it is not a regular file";
        return false;
    }
    // mkstemp makes the file with mode 0600 whatever the umask.
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        error = failure("create", path);
        return false;
    }
    bool ok = ::fchmod(fd, kOwnerOnly) == 0;
    if (!ok) {
        error = failure("restrict the permissions of", path);
    }
    if (ok && (!writeAll(fd, text) || ::fsync(fd) != 0)) {
        error = failure("write", path);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        error = failure("write", path);
        ok = false;
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = failure("replace", path);
        ok = false;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself is on the disk once its folder is.
    const int folder = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        (void)::fsync(folder);
        ::close(folder);
    }
    return true;
}

bool readWholeFile(const std::string& path, std::string& text, std::string& error) {
    // Non-blocking, so that opening a pipe nobody writes to cannot hang.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = failure("open", path);
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        error = "cannot read " + path + ": not a regular file";
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
        if (text.size() > kMaxProfileBytes) {
            ::close(fd);
            error = "cannot read " + path + ": larger than 1 MiB";
            return false;
        }
    }
    ::close(fd);
    return true;
}

bool isReadableByOthers(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && (status.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

PathKind pathKind(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return errno == ENOENT ? PathKind::Absent : PathKind::Other;
    }
    const mode_t type = status.st_mode & S_IFMT;
    return type == S_IFREG                      ? PathKind::Regular
           : type == S_IFDIR                    ? PathKind::Folder
           : type == S_IFLNK                    ? PathKind::Link
           : type == S_IFIFO                    ? PathKind::Pipe
           : type == S_IFCHR || type == S_IFBLK ? PathKind::Device
                                                : PathKind::Other;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    const bool firstThere = ::stat(a.c_str(), &first) == 0;
    const bool secondThere = ::stat(b.c_str(), &second) == 0;
    if (firstThere || secondThere) {
        return firstThere && secondThere && first.st_dev == second.st_dev &&
               first.st_ino == second.st_ino;
    }
    return canonicalPlace(a) == canonicalPlace(b);
}
