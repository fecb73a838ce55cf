#include "tests/win32/gui/gui_driver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>

namespace gui {

namespace {

struct FindRequest {
    const wchar_t* title;
    DWORD processId; // 0: any process
    HWND found;
};

BOOL CALLBACK findTopLevel(HWND window, LPARAM param) {
    auto& request = *reinterpret_cast<FindRequest*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if ((request.processId == 0 || owner == request.processId) && className(window) == L"#32770" &&
        text(window) == request.title) {
        request.found = window;
        return FALSE;
    }
    return TRUE;
}

HWND findDialog(const wchar_t* title, DWORD processId) {
    FindRequest request{title, processId, nullptr};
    EnumWindows(&findTopLevel, reinterpret_cast<LPARAM>(&request));
    return request.found;
}

BOOL CALLBACK collectChild(HWND child, LPARAM param) {
    auto& children = *reinterpret_cast<std::vector<HWND>*>(param);
    children.push_back(child);
    return TRUE;
}

bool overlaps(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::wstring describe(const ChildInfo& child) {
    return std::to_wstring(child.id) + L" \"" + child.text + L"\"";
}

std::wstring rectText(const RECT& r) {
    return L"(" + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L")-(" +
           std::to_wstring(r.right) + L"," + std::to_wstring(r.bottom) + L")";
}

} // namespace

LRESULT send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT noAnswer,
             DWORD timeoutMs) {
    DWORD_PTR result = 0;
    if (window == nullptr || SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL,
                                                 timeoutMs, &result) == 0) {
        return noAnswer;
    }
    return static_cast<LRESULT>(result);
}

HWND waitForDialog(const wchar_t* title, DWORD timeoutMs, DWORD processId) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (const HWND window = findDialog(title, processId);
            window != nullptr && IsWindowVisible(window)) {
            return window;
        }
        if (GetTickCount64() >= deadline) {
            return nullptr;
        }
        Sleep(50);
    }
}

bool waitForDialogGone(const wchar_t* title, DWORD timeoutMs, DWORD processId) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (findDialog(title, processId) != nullptr) {
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

HWND control(HWND dialog, int id) {
    return GetDlgItem(dialog, id);
}

bool click(HWND dialog, int id, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                               reinterpret_cast<LPARAM>(control(dialog, id)), SMTO_NORMAL,
                               timeoutMs, &result) != 0;
}

bool postCommand(HWND dialog, int id) {
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0) != FALSE;
}

std::wstring text(HWND window) {
    const LRESULT length = send(window, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        send(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(static_cast<std::size_t>(std::max<LRESULT>(copied, 0)));
    return buffer;
}

std::wstring controlText(HWND dialog, int id) {
    const HWND window = control(dialog, id);
    return window == nullptr ? std::wstring() : text(window);
}

void setControlText(HWND dialog, int id, const std::wstring& value) {
    send(control(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
}

std::wstring logText(HWND mainWindow) {
    return controlText(mainWindow, 501);
}

bool isChecked(HWND dialog, int id) {
    return send(control(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void clickCheckBox(HWND dialog, int id) {
    send(control(dialog, id), BM_CLICK, 0, 0);
}

int listSelection(HWND dialog, int id) {
    return static_cast<int>(send(control(dialog, id), CB_GETCURSEL, 0, 0, kNoAnswer));
}

int listCount(HWND dialog, int id) {
    return static_cast<int>(send(control(dialog, id), CB_GETCOUNT, 0, 0, kNoAnswer));
}

std::wstring listEntry(HWND dialog, int id, int index) {
    const HWND list = control(dialog, id);
    const LRESULT length = send(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0, CB_ERR);
    if (length == CB_ERR) {
        return {};
    }
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = send(list, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                reinterpret_cast<LPARAM>(buffer.data()), CB_ERR);
    buffer.resize(static_cast<std::size_t>(std::max<LRESULT>(copied, 0)));
    return buffer;
}

void chooseListEntry(HWND dialog, int id, int index) {
    const HWND list = control(dialog, id);
    send(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    send(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

bool isVisible(HWND dialog, int id) {
    return (style(control(dialog, id)) & WS_VISIBLE) != 0;
}

bool isEnabled(HWND dialog, int id) {
    const HWND window = control(dialog, id);
    return window != nullptr && IsWindowEnabled(window) != FALSE;
}

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    const int length = GetClassNameW(window, name, 64);
    return std::wstring(name, static_cast<std::size_t>(std::max(length, 0)));
}

DWORD style(HWND window) {
    return window == nullptr ? 0 : static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
}

int menuItemEnabled(HWND mainWindow, int commandId) {
    // The menu lives in the window's process; the probe DLL reads it there (gui_probe_hook).
    static const HMODULE probeDll = [] {
        wchar_t path[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring dll(path, length);
        dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"tarnwick-gui-probe.dll";
        return LoadLibraryW(dll.c_str());
    }();
    if (probeDll == nullptr) {
        return -1;
    }
    const auto hookProc =
        reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probeDll, "probeHook")));
    const DWORD thread = GetWindowThreadProcessId(mainWindow, nullptr);
    const HHOOK hook = hookProc == nullptr || thread == 0
                           ? nullptr
                           : SetWindowsHookExW(WH_CALLWNDPROC, hookProc, probeDll, thread);
    if (hook == nullptr) {
        return -1;
    }
    static const UINT probe = RegisterWindowMessageW(L"TarnwickGuiProbe");
    SetPropW(mainWindow, L"TarnwickGuiProbeAnswer", nullptr);
    send(mainWindow, probe, 1, commandId);
    const auto answer =
        reinterpret_cast<std::uintptr_t>(GetPropW(mainWindow, L"TarnwickGuiProbeAnswer"));
    UnhookWindowsHookEx(hook);
    if (answer == 0 || answer - 1 == static_cast<UINT>(-1)) {
        return -1;
    }
    const auto state = static_cast<UINT>(answer - 1);
    return (state & (MF_GRAYED | MF_DISABLED)) == 0 ? 1 : 0;
}

int currentTab(HWND mainWindow) {
    return static_cast<int>(send(control(mainWindow, 500), TCM_GETCURSEL, 0, 0, kNoAnswer));
}

bool selectTab(HWND mainWindow, int page) {
    const HWND strip = control(mainWindow, 500);
    const int count = static_cast<int>(send(strip, TCM_GETITEMCOUNT, 0, 0));
    if (page < 0 || page >= count) {
        return false;
    }
    if (currentTab(mainWindow) == page) {
        return true;
    }
    // Stand on a neighbour without notice, then step onto the page with an arrow key: the
    // strip itself reports that step to the window.
    const bool fromLeft = page > 0;
    send(strip, TCM_SETCURSEL, static_cast<WPARAM>(fromLeft ? page - 1 : page + 1), 0);
    send(strip, TCM_SETCURFOCUS, static_cast<WPARAM>(fromLeft ? page - 1 : page + 1), 0);
    const WPARAM key = fromLeft ? VK_RIGHT : VK_LEFT;
    send(strip, WM_KEYDOWN, key, 1);
    send(strip, WM_KEYUP, key, 0xC0000001);
    return currentTab(mainWindow) == page;
}

std::vector<ChildInfo> visibleChildren(HWND dialog) {
    std::vector<HWND> windows;
    EnumChildWindows(dialog, &collectChild, reinterpret_cast<LPARAM>(&windows));
    std::vector<ChildInfo> children;
    for (HWND window : windows) {
        if (GetParent(window) != dialog || !IsWindowVisible(window)) {
            continue;
        }
        ChildInfo info{GetDlgCtrlID(window), className(window), text(window), style(window), {}};
        GetWindowRect(window, &info.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&info.rect), 2);
        children.push_back(info);
    }
    return children;
}

std::vector<std::wstring> layoutFaults(HWND dialog, int top, int bottom,
                                       const std::vector<int>& ignoreIds) {
    std::vector<std::wstring> faults;
    RECT client{};
    GetClientRect(dialog, &client);
    std::vector<ChildInfo> children;
    for (const ChildInfo& child : visibleChildren(dialog)) {
        if (std::find(ignoreIds.begin(), ignoreIds.end(), child.id) == ignoreIds.end()) {
            children.push_back(child);
        }
    }
    const auto isGroup = [](const ChildInfo& c) {
        return c.className == L"Button" && (c.style & 0x0F) == BS_GROUPBOX;
    };

    // The dialog's own font, made again in this process to measure the texts.
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    const HFONT font = CreateFontW(-MulDiv(10, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                   RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                   DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma");
    const HGDIOBJ previous = SelectObject(screen, font);
    const int checkWidth = GetSystemMetrics(SM_CXMENUCHECK) + 4;

    for (std::size_t i = 0; i < children.size(); ++i) {
        const ChildInfo& a = children[i];
        if (a.rect.left < client.left || a.rect.right > client.right || a.rect.top < top ||
            a.rect.bottom > bottom) {
            faults.push_back(L"outside the page: " + describe(a) + L" " + rectText(a.rect));
        }
        for (std::size_t j = i + 1; j < children.size(); ++j) {
            const ChildInfo& b = children[j];
            if (isGroup(a) || isGroup(b)) {
                continue; // a frame holds its rows by design
            }
            if (overlaps(a.rect, b.rect)) {
                faults.push_back(L"overlap: " + describe(a) + L" " + rectText(a.rect) + L" and " +
                                 describe(b) + L" " + rectText(b.rect));
            }
        }
        if (a.text.empty() || a.className == L"Edit" || a.className == L"ComboBox") {
            continue;
        }
        // Each line of a text must fit its control; a frame's caption needs its margins.
        int room = a.rect.right - a.rect.left;
        if (a.className == L"Button") {
            const DWORD kind = a.style & 0x0F;
            room -= kind == BS_AUTOCHECKBOX || kind == BS_CHECKBOX ? checkWidth
                    : kind == BS_GROUPBOX                          ? 16
                                                                   : 6;
        }
        std::size_t start = 0;
        while (start <= a.text.size()) {
            std::size_t end = a.text.find(L"\r\n", start);
            if (end == std::wstring::npos) {
                end = a.text.size();
            }
            SIZE size{};
            GetTextExtentPoint32W(screen, a.text.c_str() + start, static_cast<int>(end - start),
                                  &size);
            if (size.cx > room) {
                faults.push_back(L"text cut: " + describe(a) + L" needs " +
                                 std::to_wstring(size.cx) + L" px, has " + std::to_wstring(room));
            }
            start = end + 2;
        }
    }
    SelectObject(screen, previous);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return faults;
}

int findListEntry(HWND dialog, int id, const std::wstring& prefix) {
    const int count = listCount(dialog, id);
    for (int index = 0; index < count; ++index) {
        if (listEntry(dialog, id, index).starts_with(prefix)) {
            return index;
        }
    }
    return -1;
}

std::wstring geometry(HWND window) {
    RECT r{};
    if (window == nullptr || !GetWindowRect(window, &r)) {
        return {};
    }
    return std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top) + L"+" +
           std::to_wstring(r.left) + L"+" + std::to_wstring(r.top);
}

std::wstring clientGeometry(HWND window) {
    RECT r{};
    if (window == nullptr || !GetClientRect(window, &r)) {
        return {};
    }
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top) + L"+" +
           std::to_wstring(r.left) + L"+" + std::to_wstring(r.top);
}

bool waitForLogLines(HWND mainWindow, std::size_t from, std::size_t lineEnds, DWORD timeoutMs,
                     std::wstring& appended) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const std::wstring log = logText(mainWindow);
        appended = log.size() > from ? log.substr(from) : std::wstring();
        std::size_t ends = 0;
        for (std::size_t at = appended.find(L"\r\n"); at != std::wstring::npos;
             at = appended.find(L"\r\n", at + 2)) {
            ++ends;
        }
        if (ends >= lineEnds) {
            return true;
        }
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(50);
    }
}

bool launch(const std::wstring& program, const std::wstring& arguments, Process& process) {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    process.handle = info.hProcess;
    process.id = info.dwProcessId;
    return true;
}

bool waitForExit(Process& process, DWORD timeoutMs, DWORD& exitCode) {
    if (process.handle == nullptr ||
        WaitForSingleObject(process.handle, timeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    return GetExitCodeProcess(process.handle, &exitCode) != FALSE;
}

void endProcess(Process& process) {
    if (process.handle == nullptr) {
        return;
    }
    if (WaitForSingleObject(process.handle, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process.handle, 99);
        WaitForSingleObject(process.handle, 5000);
    }
    CloseHandle(process.handle);
    process = Process{};
}

std::string utf8(const std::wstring& value) {
    if (value.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, value.data(), static_cast<int>(value.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, value.data(), static_cast<int>(value.size()), result.data(),
                        size, nullptr, nullptr);
    return result;
}

std::wstring wide(const std::string& value) {
    if (value.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, value.data(), static_cast<int>(value.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(std::max(size, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, value.data(), static_cast<int>(value.size()), result.data(),
                        size);
    return result;
}

} // namespace gui
