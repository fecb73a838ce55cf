#include "app/win32/profile_files.h"

#include "app/win32/wide_text.h"
#include "app/win32/window_language.h"
#include "profile/page_profile.h"

#include <commdlg.h>

#include <algorithm>
#include <array>

namespace {

// The text of a failed call for the log: the system's own message, on one line.
std::string systemError(DWORD code) {
    std::array<wchar_t, 256> buffer{};
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       buffer.data(), static_cast<DWORD>(buffer.size()), nullptr);
    std::wstring text(buffer.data(), length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L'.' ||
                             text.back() == L' ')) {
        text.pop_back();
    }
    return text.empty() ? "error " + std::to_string(code) : utf8FromWide(text);
}

std::string failure(const char* what, const std::wstring& path) {
    const DWORD code = GetLastError();
    return std::string(what) + " " + utf8FromWide(path) + ": " + systemError(code);
}

} // namespace

bool chooseProfileFile(HWND owner, bool forSaving, std::wstring& path) {
    std::array<wchar_t, MAX_PATH * 4> name{};
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"Profiles (*.profile)\0*.profile\0All files (*.*)\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrDefExt = L"profile";
    dialog.lpstrTitle = forSaving ? windowTexts().saveProfileTitle : windowTexts().openProfileTitle;
    // The working folder stays the program's: the dialog would otherwise move it.
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
                   (forSaving ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    const BOOL chosen = forSaving ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (chosen == FALSE) {
        return false;
    }
    path = name.data();
    return true;
}

bool writeProfileFile(const std::wstring& path, std::string_view text, std::string& error) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "cannot write " + utf8FromWide(path) + ": it is a folder";
        return false;
    }
    const std::wstring temporary = path + L".tmp" + std::to_wstring(GetCurrentProcessId());
    const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = failure("cannot create", temporary);
        return false;
    }
    DWORD done = 0;
    const bool written =
        text.size() <= MAXDWORD &&
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &done, nullptr) != FALSE &&
        done == text.size() && FlushFileBuffers(file) != FALSE;
    if (!written) {
        error = failure("cannot write", temporary);
    }
    CloseHandle(file);
    if (written && MoveFileExW(temporary.c_str(), path.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == FALSE) {
        error = failure("cannot replace", path);
    } else if (written) {
        return true;
    }
    DeleteFileW(temporary.c_str());
    return false;
}

bool readProfileFile(const std::wstring& path, std::string& text, std::string& error) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = failure("cannot open", path);
        return false;
    }
    LARGE_INTEGER size{};
    bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) != FALSE;
    if (!ok) {
        error = "cannot read " + utf8FromWide(path) + ": not a regular file";
    } else {
        // One byte past the limit is enough for openPageProfile to refuse the file.
        const auto wanted = static_cast<DWORD>(
            std::min<unsigned long long>(size.QuadPart, kMaxPageProfileBytes + 1));
        text.assign(wanted, '\0');
        DWORD done = 0;
        ok = ReadFile(file, text.data(), wanted, &done, nullptr) != FALSE;
        if (!ok) {
            error = failure("cannot read", path);
        }
        text.resize(ok ? done : 0);
    }
    CloseHandle(file);
    return ok;
}
