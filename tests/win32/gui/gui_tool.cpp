// tarnwick-gui-driver: one step against a running Tarnwick.exe per call, for scripts.
//
//   tarnwick-gui-driver wait [MS]              the main window is up
//   tarnwick-gui-driver tab N                  show page N as the user would
//   tarnwick-gui-driver click ID | post ID     WM_COMMAND, sent or posted
//   tarnwick-gui-driver text ID | settext ID TEXT | log
//   tarnwick-gui-driver check ID | toggle ID
//   tarnwick-gui-driver list ID | entry ID N | choose ID N
//   tarnwick-gui-driver visible ID | enabled ID | menu ID | limit ID
//   tarnwick-gui-driver layout                 layout faults of every page (exit 1 on any)
//   tarnwick-gui-driver dialog TITLE [MS]      a dialog of that title is up
//   tarnwick-gui-driver dialog-text TITLE ID | dialog-click TITLE ID | dialog-layout TITLE
//   tarnwick-gui-driver dialog-rect TITLE       a dialog's geometry, WxH+X+Y
//   tarnwick-gui-driver rect                   the main window's geometry, WxH+X+Y
//   tarnwick-gui-driver close                  IDCANCEL to the main window
#include "tests/win32/gui/gui_driver.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

void print(const std::wstring& line) {
    const std::string bytes = gui::utf8(line) + "\n";
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

int fail(const std::wstring& why) {
    print(L"error: " + why);
    return 2;
}

int number(const wchar_t* text) {
    return static_cast<int>(std::wcstol(text, nullptr, 0));
}

int pageLayout(HWND main, int page) {
    if (!gui::selectTab(main, page)) {
        return fail(L"tab " + std::to_wstring(page) + L" not shown");
    }
    RECT strip{}, log{};
    GetWindowRect(gui::control(main, 500), &strip);
    GetWindowRect(gui::control(main, 501), &log);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&strip), 2);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&log), 2);
    const auto faults = gui::layoutFaults(main, strip.bottom, log.top, {500, 501});
    for (const std::wstring& fault : faults) {
        print(L"page " + std::to_wstring(page) + L": " + fault);
    }
    return faults.empty() ? 0 : 1;
}

int dialogLayout(HWND dialog) {
    RECT client{};
    GetClientRect(dialog, &client);
    const auto faults = gui::layoutFaults(dialog, client.top, client.bottom, {});
    for (const std::wstring& fault : faults) {
        print(fault);
    }
    return faults.empty() ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2) {
        return fail(L"no command");
    }
    const std::wstring command = argv[1];
    const auto arg = [&](int i) { return i < argc ? argv[i] : L""; };

    if (command == L"dialog" || command == L"dialog-text" || command == L"dialog-click" ||
        command == L"dialog-layout" || command == L"dialog-rect") {
        const DWORD wait = command == L"dialog" && argc > 3 ? number(argv[3]) : 5000;
        const HWND dialog = gui::waitForDialog(arg(2), wait);
        if (dialog == nullptr) {
            return fail(L"no dialog");
        }
        if (command == L"dialog-text") {
            print(gui::controlText(dialog, number(arg(3))));
        } else if (command == L"dialog-click") {
            gui::postCommand(dialog, number(arg(3)));
        } else if (command == L"dialog-layout") {
            return dialogLayout(dialog);
        } else if (command == L"dialog-rect") {
            RECT r{};
            GetWindowRect(dialog, &r);
            print(std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top) +
                  L"+" + std::to_wstring(r.left) + L"+" + std::to_wstring(r.top));
        } else {
            print(L"ok");
        }
        return 0;
    }

    const DWORD wait = command == L"wait" && argc > 2 ? number(argv[2]) : 5000;
    const HWND main = gui::waitForDialog(gui::kMainTitle, wait);
    if (main == nullptr) {
        return fail(L"no main window");
    }
    const int id = number(arg(2));
    if (command == L"wait") {
        print(L"ok");
    } else if (command == L"tab") {
        if (!gui::selectTab(main, id)) {
            return fail(L"tab not shown");
        }
        print(std::to_wstring(gui::currentTab(main)));
    } else if (command == L"click") {
        if (!gui::click(main, id)) {
            return fail(L"no answer");
        }
    } else if (command == L"post") {
        gui::postCommand(main, id);
    } else if (command == L"text") {
        print(gui::controlText(main, id));
    } else if (command == L"settext") {
        gui::setControlText(main, id, arg(3));
    } else if (command == L"log") {
        print(gui::logText(main));
    } else if (command == L"check") {
        print(gui::isChecked(main, id) ? L"1" : L"0");
    } else if (command == L"toggle") {
        gui::clickCheckBox(main, id);
    } else if (command == L"list") {
        print(std::to_wstring(gui::listSelection(main, id)) + L" of " +
              std::to_wstring(gui::listCount(main, id)));
    } else if (command == L"entry") {
        print(gui::listEntry(main, id, number(arg(3))));
    } else if (command == L"choose") {
        gui::chooseListEntry(main, id, number(arg(3)));
    } else if (command == L"visible") {
        print(gui::isVisible(main, id) ? L"1" : L"0");
    } else if (command == L"enabled") {
        print(gui::isEnabled(main, id) ? L"1" : L"0");
    } else if (command == L"menu") {
        print(std::to_wstring(gui::menuItemEnabled(main, id)));
    } else if (command == L"layout") {
        int result = 0;
        for (int page = 0; page < 11; ++page) {
            result |= pageLayout(main, page);
        }
        gui::selectTab(main, 0);
        if (result == 0) {
            print(L"layout clean");
        }
        return result;
    } else if (command == L"limit") {
        print(std::to_wstring(SendMessageW(gui::control(main, id), EM_GETLIMITTEXT, 0, 0)));
    } else if (command == L"rect") {
        RECT r{};
        GetWindowRect(main, &r);
        print(std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top) + L"+" +
              std::to_wstring(r.left) + L"+" + std::to_wstring(r.top));
    } else if (command == L"close") {
        gui::postCommand(main, IDCANCEL);
    } else {
        return fail(L"unknown command");
    }
    return 0;
}
