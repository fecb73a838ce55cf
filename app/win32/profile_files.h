#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <string_view>

// The profile files of "Открыть" and "Сохранить как...": the common file dialogs and the
// file I/O, with messages for the log line.

// The Open or Save dialog over *.profile; false when the user cancels.
bool chooseProfileFile(HWND owner, bool forSaving, std::wstring& path);

// To a new file beside `path`, flushed, then moved over it: a failed save leaves the file
// that was there. False with why.
bool writeProfileFile(const std::wstring& path, std::string_view text, std::string& error);

// The file, a regular one; of a longer file than kMaxPageProfileBytes only enough to tell.
// False with why.
bool readProfileFile(const std::wstring& path, std::string& text, std::string& error);
