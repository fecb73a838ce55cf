#include "station/audit_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <nettle/sha2.h>
#include <unistd.h>

bool openAuditFile(const std::string& path, AuditFile& file, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
        error = "cannot open audit file " + path + ": " + std::strerror(errno);
        return false;
    }
    file.handle = fd;
    return true;
}

bool appendAuditRecord(AuditFile& file, std::string_view record) {
    const int fd = static_cast<int>(file.handle);
    ssize_t written = -1;
    do {
        written = ::write(fd, record.data(), record.size());
    } while (written < 0 && errno == EINTR);
    return written == static_cast<ssize_t>(record.size()) && ::fdatasync(fd) == 0;
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
