// Tarnwick.exe: the program entry of the configuration tool.
#include "app/win32/app_state.h"
#include "resources/resource.h"

#include <commctrl.h>

AppState* rememberAppState(HWND dialog, LPARAM initParam) {
    SetWindowLongPtrW(dialog, DWLP_USER, initParam);
    return reinterpret_cast<AppState*>(initParam);
}

AppState* appStateOf(HWND dialog) {
    return reinterpret_cast<AppState*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

INT_PTR handledWithResult(HWND dialog, LONG_PTR result) {
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    static AppState app; // too large for the stack of a small program, and lives as long
    app.instance = instance;

    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = 0xFF; // the first eight class groups, the tab control among them
    InitCommonControlsEx(&classes);

    initDeviceLink(app.link, nullptr);
    app.channel.emplace(); // its two events: first the write one, then the read one
    app.link.channel = &*app.channel;

    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr, &mainWindowProc,
                    reinterpret_cast<LPARAM>(&app));

    app.link.channel = nullptr;
    app.channel.reset();
    return 0;
}
