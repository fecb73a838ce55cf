#include "station/audit_file.h"

#include <windows.h>

// Needs the types of windows.h first.
#include <bcrypt.h>

// A new file takes the access list of its folder, as the profiles do.

bool openAuditFile(const std::string& path, AuditFile& file, std::string& error) {
    const HANDLE handle = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error =
            "cannot open audit file " + path + " (error " + std::to_string(::GetLastError()) + ")";
        return false;
    }
    file.handle = reinterpret_cast<std::intptr_t>(handle);
    return true;
}

bool appendAuditRecord(AuditFile& file, std::string_view record) {
    const HANDLE handle = reinterpret_cast<HANDLE>(file.handle);
    DWORD written = 0;
    return ::WriteFile(handle, record.data(), static_cast<DWORD>(record.size()), &written,
                       nullptr) != 0 &&
           written == record.size() && ::FlushFileBuffers(handle) != 0;
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
