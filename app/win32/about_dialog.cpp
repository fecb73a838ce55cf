#include "app/win32/app_state.h"
#include "ports/port_directory.h"
#include "resources/resource.h"
#include "ui/about_queries.h"

INT_PTR CALLBACK aboutProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        AppState& app = *rememberAppState(window, lParam);
        // The six queries run before the dialog is shown; their log lines go to the main window.
        const VersionLabels labels = queryVersions(app.ui.settings);
        Win32Controls dialog;
        dialog.attach(window, nullptr, 0);
        showVersionLabels(dialog, labels);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_ABOUT_OK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(window, 1);
            return TRUE;
        }
        return FALSE;
    case WM_DEVICECHANGE: {
        const AppState* app = appStateOf(window);
        if (app != nullptr && aboutEndsOnDeviceChange(app->connection, wParam, &isPortPresent)) {
            EndDialog(window, 0);
        }
        return handledWithResult(window, 0);
    }
    default:
        return FALSE;
    }
}
