#include "app/win32/app_state.h"
#include "app/win32/profile_files.h"
#include "app/win32/station_dialog.h"
#include "app/win32/wide_text.h"
#include "app/win32/window_dpi.h"
#include "app/win32/window_language.h"
#include "ports/port_directory.h"
#include "profile/page_profile.h"
#include "resources/resource.h"
#include "settings/setting_catalogue.h"
#include "ui/dispatch.h"
#include "ui/menu_commands.h"
#include "ui/page_registry.h"
#include "ui/window_start.h"

#include <commctrl.h>

#include <array>
#include <span>
#include <string>
#include <tuple>
#include <vector>

namespace {

// The icon drawn from the size of the window's DPI, not stretched from another; the old one
// goes once the window holds the new.
void setWindowIcons(AppState& app, HWND window) {
    const UINT dpi = windowDpi(window);
    for (const auto& [which, size, icon] :
         {std::tuple{ICON_BIG, 32, &app.bigIcon}, std::tuple{ICON_SMALL, 16, &app.smallIcon}}) {
        const int pixels = MulDiv(size, static_cast<int>(dpi), 96);
        const HICON loaded = static_cast<HICON>(LoadImageW(
            app.instance, MAKEINTRESOURCEW(IDI_TARNWICK), IMAGE_ICON, pixels, pixels, 0));
        SendMessageW(window, WM_SETICON, which, reinterpret_cast<LPARAM>(loaded));
        if (*icon != nullptr) {
            DestroyIcon(*icon);
        }
        *icon = loaded;
    }
}

// The menu of the window's language in place of the one the dialog's template names.
void setWindowMenu(AppState& app, HWND window) {
    if (const HMENU menu = loadWindowMenu(app.instance); menu != nullptr) {
        const HMENU old = GetMenu(window);
        SetMenu(window, menu);
        DestroyMenu(old);
    }
}

void insertTabs(HWND tabStrip) {
    for (std::size_t page = 0; page < kPageCount; ++page) {
        std::wstring label = windowTexts().pages[page];
        TCITEMW item{};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.iImage = -1;
        item.pszText = label.data();
        SendMessageW(tabStrip, TCM_INSERTITEMW, page, reinterpret_cast<LPARAM>(&item));
    }
}

INT_PTR onInitDialog(HWND window, LPARAM param) {
    AppState& app = *rememberAppState(window, param);
    setWindowIcons(app, window);
    setWindowMenu(app, window);
    app.controls.attach(window, GetMenu(window), IDC_LOG_PANE);
    insertTabs(app.controls.control(IDC_TAB_STRIP));
    startMainWindow(app.ui);
    return TRUE; // the system focuses the first tab stop, the tab strip
}

INT_PTR onNotify(AppState& app, const NMHDR& header) {
    if (header.idFrom != IDC_TAB_STRIP || header.code != static_cast<UINT>(TCN_SELCHANGE)) {
        return FALSE;
    }
    const LRESULT selection = SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0);
    if (selection >= 0) {
        switchPage(app.controls, app.ui.pages, app.ui.currentPage,
                   static_cast<std::size_t>(selection));
    }
    return TRUE;
}

void exitProgram(AppState& app, HWND window) {
    disconnectOnExit(app.ui.settings, app.connection);
    if (app.logBrush != nullptr) {
        DeleteObject(app.logBrush);
        app.logBrush = nullptr;
    }
    app.controls.detach();
    EndDialog(window, 1);
}

void saveProfile(AppState& app, HWND window) {
    std::wstring path;
    if (chooseProfileFile(window, true, path)) {
        savePageProfile(app.controls, [&](std::string_view text, std::string& error) {
            return writeProfileFile(path, text, error);
        });
    }
}

void openProfile(AppState& app, HWND window) {
    std::wstring path;
    if (chooseProfileFile(window, false, path)) {
        openPageProfile(app.controls, [&](std::string& text, std::string& error) {
            return readProfileFile(path, text, error);
        });
    }
}

INT_PTR onCommand(AppState& app, HWND window, int id, int notification) {
    SettingContext& settings = app.ui.settings;
    switch (id) {
    case IDM_EXIT:
    case IDCANCEL:
        exitProgram(app, window);
        return TRUE;
    case IDM_OPEN:
        openProfile(app, window);
        return TRUE;
    case IDM_SAVE_AS:
        saveProfile(app, window);
        return TRUE;
    case IDM_CHOOSE_PORT:
        if (showDialog(app.instance, IDD_PORT_PICKER, window, &portPickerProc,
                       reinterpret_cast<LPARAM>(&app)) == 1) {
            connectDevice(settings, app.connection, 10000);
        }
        return TRUE;
    case IDM_CONNECT:
        connectDevice(settings, app.connection, 600);
        return TRUE;
    case IDM_DISCONNECT:
        disconnectDevice(settings, app.connection);
        return TRUE;
    case IDM_READ_ALL:
        getAllSettings(settings);
        return TRUE;
    case IDM_LOAD_ALL:
        setAllSettings(settings);
        return TRUE;
    case IDM_VERIFY:
        verifyPageSettings(settings);
        return TRUE;
    case IDM_CLEAR:
        clearAllFields(app.controls, app.ui.pages);
        return TRUE;
    case IDM_STATION:
        openStationDialog(app, window);
        return TRUE;
    case IDM_ABOUT:
        showDialog(app.instance, IDD_ABOUT, window, &aboutProc, reinterpret_cast<LPARAM>(&app));
        return TRUE;
    default:
        return dispatchPageCommand(app.ui, id, notification) ? TRUE : FALSE;
    }
}

INT_PTR onControlColour(AppState& app, HDC context, HWND control) {
    if (control == nullptr || control != app.controls.logPane()) {
        return FALSE; // static texts and read-only fields keep the system colours
    }
    SetTextColor(context, RGB(255, 255, 255));
    SetBkColor(context, RGB(0, 0, 0));
    if (app.logBrush == nullptr) {
        app.logBrush = CreateSolidBrush(RGB(0, 0, 0));
    }
    return reinterpret_cast<INT_PTR>(app.logBrush);
}

} // namespace

INT_PTR CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        return onInitDialog(window, lParam);
    }
    AppState* app = appStateOf(window);
    if (app == nullptr) {
        return FALSE;
    }
    switch (message) {
    case WM_NOTIFY:
        return onNotify(*app, *reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND: {
        return onCommand(*app, window, LOWORD(wParam), HIWORD(wParam));
    }
    case WM_CTLCOLORSTATIC:
        return onControlColour(*app, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DEVICECHANGE:
        onDeviceChange(app->ui.settings, app->connection, wParam, &isPortPresent);
        return handledWithResult(window, 0);
    case WM_DPICHANGED:
        setWindowIcons(*app, window);
        return FALSE; // the dialog manager moves and scales the dialog itself
    default:
        return FALSE;
    }
}
