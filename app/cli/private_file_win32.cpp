#include "app/cli/private_file.h"

#include <cstdio>
#include <io.h>
#include <windows.h>

// On Windows a new file takes the access list of its folder, which in a user's own folders
// already keeps others out; the tool does not set access lists of its own.

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

// True for a regular file; false for a folder or a device (NUL, CON, COM3).
bool isRegularFile(const std::string& path) {
    const HANDLE file =
        ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool regular = ::GetFileType(file) == FILE_TYPE_DISK &&
                         ::GetFileInformationByHandle(file, &info) != 0 &&
                         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    ::CloseHandle(file);
    return regular;
}

bool exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring wideText(const std::string& text) {
    const int size =
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                              size);
    }
    return wide;
}

// An existing file by its final name, links resolved; a new one by its full name.
std::string canonicalPlace(const std::string& path) {
    char name[4096];
    const HANDLE file =
        ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const DWORD size = ::GetFinalPathNameByHandleA(file, name, sizeof name,
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        ::CloseHandle(file);
        if (size > 0 && size < sizeof name) {
            const std::string finalName(name, size);
            return finalName.starts_with("\\\\?\\") ? finalName.substr(4) : finalName;
        }
    }
    const DWORD size = ::GetFullPathNameA(path.c_str(), sizeof name, name, nullptr);
    return size > 0 && size < sizeof name ? std::string(name, size) : path;
}

} // namespace

bool canWritePrivateFile(const std::string& path, std::string& error) {
    const std::string folder = folderOf(path);
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        error = "cannot write to the folder " + folder + ": no such folder";
        return false;
    }
    if (exists(path) && !isRegularFile(path)) {
        error = "cannot write " + path + ": it is not a regular file";
        return false;
    }
    return true;
}

bool writePrivateFile(const std::string& path, std::string_view text, std::string& error) {
    if (exists(path) && !isRegularFile(path)) {
        error = "cannot write " + path + ": it is not a regular file";
        return false;
    }
    const std::string temporary = path + ".tmp" + std::to_string(::GetCurrentProcessId());
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot create " + path;
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
                         std::fflush(file) == 0 && ::_commit(::_fileno(file)) == 0;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed ||
        ::MoveFileExA(temporary.c_str(), path.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        std::remove(temporary.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool readWholeFile(const std::string& path, std::string& text, std::string& error) {
    if (!exists(path)) {
        error = "cannot open " + path;
        return false;
    }
    if (!isRegularFile(path)) {
        error = "cannot read " + path + ": not a regular file";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot open " + path;
        return false;
    }
    text.clear();
    char buffer[4096];
    std::size_t count = 0;
    while (text.size() <= kMaxProfileBytes &&
           (count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, count);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error = "cannot read " + path;
        return false;
    }
    if (text.size() > kMaxProfileBytes) {
        error = "cannot read " + path + ": larger than 1 MiB";
        return false;
    }
    return true;
}

bool isReadableByOthers(const std::string&) {
    return false;
}

PathKind pathKind(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD failure = ::GetLastError();
        return failure == ERROR_FILE_NOT_FOUND || failure == ERROR_PATH_NOT_FOUND ? PathKind::Absent
                                                                                  : PathKind::Other;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return PathKind::Link;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return PathKind::Folder;
    }
    const HANDLE file = ::CreateFileA(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return PathKind::Regular; // the open that follows says why it cannot be used
    }
    const DWORD type = ::GetFileType(file);
    ::CloseHandle(file);
    return type == FILE_TYPE_DISK   ? PathKind::Regular
           : type == FILE_TYPE_PIPE ? PathKind::Pipe
           : type == FILE_TYPE_CHAR ? PathKind::Device
                                    : PathKind::Other;
}

bool sameFile(const std::string& a, const std::string& b) {
    const std::wstring first = wideText(canonicalPlace(a));
    const std::wstring second = wideText(canonicalPlace(b));
    return ::CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), second.c_str(),
                                  static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}
