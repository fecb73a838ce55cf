#include "station/audit_file.h"

#include <windows.h>

// Needs the types of windows.h first.
#include <bcrypt.h>

// A new file takes the access list of its folder, as the profiles do.

namespace {

constexpr char kPartialRecord[] =
    " ended in a partial record; it is left as it was and new records start on a new line";

bool isRegularFile(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileType(handle) == FILE_TYPE_DISK &&
           ::GetFileInformationByHandle(handle, &info) != 0 &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

// Whether the file's last byte is there and is not a newline.
bool endsMidRecord(HANDLE handle) {
    LARGE_INTEGER size{};
    LARGE_INTEGER last{};
    char byte = '\n';
    DWORD read = 0;
    if (::GetFileSizeEx(handle, &size) == 0 || size.QuadPart == 0) {
        return false;
    }
    last.QuadPart = size.QuadPart - 1;
    return ::SetFilePointerEx(handle, last, nullptr, FILE_BEGIN) != 0 &&
           ::ReadFile(handle, &byte, 1, &read, nullptr) != 0 && read == 1 && byte != '\n';
}

} // namespace

bool openAuditFile(const std::string& path, AuditFile& file, std::string& error) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        error = "--audit " + path + ": not a regular file";
        return false;
    }
    // Without FILE_WRITE_DATA every write goes to the end; the read is for the last byte.
    const HANDLE handle =
        ::CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA, FILE_SHARE_READ, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error =
            "cannot open audit file " + path + " (error " + std::to_string(::GetLastError()) + ")";
        return false;
    }
    if (!isRegularFile(handle)) {
        ::CloseHandle(handle);
        error = "--audit " + path + ": not a regular file";
        return false;
    }
    file.handle = reinterpret_cast<std::intptr_t>(handle);
    file.partialRecord = endsMidRecord(handle);
    file.warning = file.partialRecord ? path + kPartialRecord : std::string();
    return true;
}

bool appendAuditRecord(AuditFile& file, std::string_view record) {
    const HANDLE handle = reinterpret_cast<HANDLE>(file.handle);
    // The newline goes with the record: one write, as ever.
    const std::string text = (file.partialRecord ? "\n" : "") + std::string(record);
    DWORD written = 0;
    const bool ok =
        ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0 &&
        written == text.size() && ::FlushFileBuffers(handle) != 0;
    // A record cut short (a full disk) leaves the file mid-record for the next one too.
    if (written > 0) {
        file.partialRecord = written < text.size();
    }
    return ok;
}

void closeAuditFile(AuditFile& file) {
    if (file.handle != -1) {
        ::CloseHandle(reinterpret_cast<HANDLE>(file.handle));
        file.handle = -1;
    }
}

std::string sha256Hex(std::string_view bytes) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[32] = {};
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
        return {};
    }
    const bool ok = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0 &&
                    BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                                   static_cast<ULONG>(bytes.size()), 0) == 0 &&
                    BCryptFinishHash(hash, digest, sizeof digest, 0) == 0;
    if (hash != nullptr) {
        BCryptDestroyHash(hash);
    }
    BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!ok) {
        return {};
    }
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}
