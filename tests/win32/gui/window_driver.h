#pragma once

// Driving a window of another process under Wine: only messages that Windows and Wine carry
// across processes; a hung window fails the step instead of hanging it.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "app/win32/wide_text.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <iostream>
#include <string>
#include <utility>

// A whole read-all runs inside one command: hence the long bound.
inline LRESULT send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 120000, &result)
               ? static_cast<LRESULT>(result)
               : -2;
}

// A window's text across processes: WM_GETTEXT, which the system copies over.
inline std::string windowText(HWND window) {
    std::wstring buffer(
        static_cast<std::size_t>(std::max<LRESULT>(send(window, WM_GETTEXTLENGTH), 0)) + 1, L'\0');
    const LRESULT copied =
        send(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(static_cast<std::size_t>(std::max<LRESULT>(copied, 0)));
    return utf8FromWide(buffer);
}

template <typename Done> bool waitUntil(const Done& done, DWORD timeoutMs = 30000) {
    for (const ULONGLONG deadline = GetTickCount64() + timeoutMs; !done(); Sleep(50)) {
        if (GetTickCount64() >= deadline) {
            return false;
        }
    }
    return true;
}

inline HWND waitForDialog(const wchar_t* title) {
    HWND found = nullptr;
    waitUntil([&] {
        return (found = FindWindowW(L"#32770", title)) != nullptr && IsWindowVisible(found);
    });
    return found;
}

// Asks run-gui-e2e.sh for a PNG of the window (its client area, or all of it): a "SHOT NAME
// GEOMETRY" line on stdout, answered with "ok" on stdin once the file is written.
inline void screenshot(const std::string& name, HWND window, bool clientOnly = true) {
    Sleep(300); // lets the window paint what the last command changed
    RECT r{};
    GetClientRect(window, &r);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    if (!clientOnly) {
        GetWindowRect(window, &r);
    }
    std::printf("SHOT %s %ldx%ld+%ld+%ld\n", name.c_str(), r.right - r.left, r.bottom - r.top,
                r.left, r.top);
    std::fflush(stdout);
    std::string answer;
    std::getline(std::cin, answer);
    EXPECT_EQ(answer.substr(0, 2), "ok") << name << ": " << answer;
}

// Starts Tarnwick.exe with these arguments.
inline bool launch(const std::wstring& app, const std::wstring& arguments,
                   PROCESS_INFORMATION& process) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring command = L"\"" + app + L"\" " + arguments;
    return CreateProcessW(app.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process) != FALSE;
}

// Starts Tarnwick.exe in `language` (with no /lang when empty: in the user's) with its frame
// trace in `trace` and waits for its main window.
inline HWND startTarnwick(const std::wstring& app, const std::wstring& trace,
                          PROCESS_INFORMATION& process, const std::wstring& language = L"ru") {
    return launch(app, L"/trace " + trace + (language.empty() ? L"" : L" /lang " + language),
                  process)
               ? waitForDialog(L"Tarnwick")
               : nullptr;
}

// The steps build on each other; after a failed one there may be no window left to drive.
template <const HWND& window> class StepsOn : public ::testing::Test {
  protected:
    void SetUp() override {
        static bool first = true;
        ASSERT_TRUE(std::exchange(first, false) || IsWindow(window)) << "no window left";
    }
};
