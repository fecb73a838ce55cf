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
    // The file ended in a record cut short (a full disk): the next record starts on a line of
    // its own, and `warning` says so once, for the front end to print.
    bool partialRecord = false;
    std::string warning;
};

// Opens `path` for appending, creating it for its owner only. Refused at once, with nothing
// opened that could wait, when it is a link, a pipe, a device or a folder, or when others
// than its owner may read it (the message says the chmod that fixes it). False with a
// message.
[[nodiscard]] bool openAuditFile(const std::string& path, AuditFile& file, std::string& error);
// Appends `record` whole in one write (after a newline when the file ended in a partial
// record), flushed to the disk; false when it did not get there.
[[nodiscard]] bool appendAuditRecord(AuditFile& file, std::string_view record);
void closeAuditFile(AuditFile& file);

// The SHA-256 of `bytes` as 64 lower-case hex digits.
std::string sha256Hex(std::string_view bytes);
