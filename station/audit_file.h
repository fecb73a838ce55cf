#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The provisioning audit: records appended to a file that only its owner may read (it names
// every device), each record in one write, so that a crash loses at most the record in
// flight and records of parallel workers never interleave. Each build links the file of its
// platform (audit_file_posix.cpp or audit_file_win32.cpp).

struct AuditFile {
    std::intptr_t handle = -1;
};

// Opens `path` for appending, creating it for its owner only; false with a message.
[[nodiscard]] bool openAuditFile(const std::string& path, AuditFile& file, std::string& error);
// Appends `record` whole, flushed to the disk; false when it did not get there.
[[nodiscard]] bool appendAuditRecord(AuditFile& file, std::string_view record);
void closeAuditFile(AuditFile& file);

// The SHA-256 of `bytes` as 64 lower-case hex digits.
std::string sha256Hex(std::string_view bytes);
