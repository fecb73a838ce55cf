#include "station/audit_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <nettle/sha2.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kPartialRecord[] =
    " ended in a partial record; it is left as it was and new records start on a new line";

// Why the file cannot be the audit, or empty when it can.
std::string auditRefusal(int fd, const std::string& path) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return "cannot open audit file " + path + ": " + std::strerror(errno);
    }
    if (!S_ISREG(status.st_mode)) {
        return "--audit " + path + ": not a regular file";
    }
    if ((status.st_mode & (S_IRGRP | S_IROTH)) != 0) {
        return "--audit " + path + ": " + path + " is readable by others; chmod 600 " + path +
               " first";
    }
    return {};
}

// Whether the file's last byte is there and is not a newline.
bool endsMidRecord(int fd) {
    struct stat status {};
    char last = '\n';
    return ::fstat(fd, &status) == 0 && status.st_size > 0 &&
           ::pread(fd, &last, 1, status.st_size - 1) == 1 && last != '\n';
}

} // namespace

bool openAuditFile(const std::string& path, AuditFile& file, std::string& error) {
    // No link followed and no pipe waited on: anything but a regular file is refused at once.
    const int fd =
        ::open(path.c_str(),
               O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
        error = errno == ELOOP || errno == ENXIO
                    ? "--audit " + path + ": not a regular file"
                    : "cannot open audit file " + path + ": " + std::strerror(errno);
        return false;
    }
    error = auditRefusal(fd, path);
    if (!error.empty()) {
        ::close(fd);
        return false;
    }
    file.handle = fd;
    file.partialRecord = endsMidRecord(fd);
    file.warning = file.partialRecord ? path + kPartialRecord : std::string();
    return true;
}

bool appendAuditRecord(AuditFile& file, std::string_view record) {
    const int fd = static_cast<int>(file.handle);
    // The newline goes with the record: one write, as ever.
    const std::string text = (file.partialRecord ? "\n" : "") + std::string(record);
    ssize_t written = -1;
    do {
        written = ::write(fd, text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    const bool ok = written == static_cast<ssize_t>(text.size()) && ::fdatasync(fd) == 0;
    // A record cut short (a full disk) leaves the file mid-record for the next one too.
    if (written > 0) {
        file.partialRecord = written < static_cast<ssize_t>(text.size());
    }
    return ok;
}

void closeAuditFile(AuditFile& file) {
    if (file.handle >= 0) {
        ::close(static_cast<int>(file.handle));
        file.handle = -1;
    }
}

std::string sha256Hex(std::string_view bytes) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}
