#include "ports/port_picker.h"
#include "app/win32/app_state.h"
#include "app/win32/wide_text.h"
#include "ports/port_directory.h"
#include "resources/resource.h"

#include <string>
#include <vector>

namespace {

struct PickerState {
    AppState* app = nullptr;
    HWND list = nullptr;
    LRESULT count = 0; // the items the last fill added
};

PickerState& pickerState() {
    // One picker at a time: it is modal and only the main window opens it.
    static PickerState state;
    return state;
}

LRESULT fillPortList(HWND list) {
    LRESULT added = 0;
    for (const PortInfo& port : listPorts()) {
        const std::wstring text = wideFromUtf16(portDisplayText(port));
        if (SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())) >= 0) {
            ++added;
        }
    }
    return added;
}

void refreshPortList(PickerState& picker) {
    for (LRESULT index = picker.count - 1; index >= 0; --index) {
        SendMessageW(picker.list, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
    }
    picker.count = fillPortList(picker.list);
    SendMessageW(picker.list, CB_SETCURSEL, 0, 0);
}

// The chosen item's text, at most kPortDisplayUnits of it; empty when nothing is chosen.
std::wstring chosenText(HWND list) {
    const LRESULT selection = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (selection == CB_ERR) {
        return {};
    }
    const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(selection), 0);
    if (length == CB_ERR || length <= 0) {
        return {};
    }
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(selection),
                                        reinterpret_cast<LPARAM>(buffer.data()));
    if (copied == CB_ERR || copied <= 0) {
        return {};
    }
    std::wstring text(buffer.data(),
                      std::min<std::size_t>(static_cast<std::size_t>(copied), buffer.size() - 1));
    if (text.size() > kPortDisplayUnits) {
        text.resize(kPortDisplayUnits);
    }
    return text;
}

} // namespace

INT_PTR CALLBACK portPickerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    PickerState& picker = pickerState();
    switch (message) {
    case WM_INITDIALOG:
        picker = PickerState{};
        picker.app = rememberAppState(window, lParam);
        picker.list = GetDlgItem(window, IDC_PICKER_PORTS);
        picker.count = fillPortList(picker.list);
        SendMessageW(picker.list, CB_SETCURSEL, 0, 0);
        return TRUE;
    case WM_DEVICECHANGE:
        if (wParam != kDeviceNodesChanged || picker.list == nullptr) {
            return FALSE;
        }
        refreshPortList(picker);
        return handledWithResult(window, 0);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_PICKER_REFRESH:
            refreshPortList(picker);
            return TRUE;
        case IDC_PICKER_CANCEL:
        case IDCANCEL:
            EndDialog(window, 0);
            return TRUE;
        case IDC_PICKER_OPEN: {
            AppState& app = *picker.app;
            const std::wstring chosen = chosenText(picker.list);
            const bool wasOpen = app.channel->isOpen();
            const PickerResult result =
                openChosenPort(app.controls, *app.channel, app.connection, utf16FromWide(chosen));
            if (app.link.trace != nullptr) {
                if (wasOpen && result != PickerResult::StaysOpen) {
                    traceClose(*app.link.trace);
                }
                if (result == PickerResult::Opened) {
                    traceOpen(*app.link.trace, app.connection.openPortName);
                }
            }
            if (result != PickerResult::StaysOpen) {
                EndDialog(window, result == PickerResult::Opened ? 1 : 0);
            }
            return TRUE;
        }
        default:
            return FALSE;
        }
    case WM_DESTROY:
        picker = PickerState{};
        return FALSE;
    default:
        return FALSE;
    }
}
