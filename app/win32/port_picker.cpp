#include "app/win32/app_state.h"
#include "app/win32/wide_text.h"
#include "ports/port_directory.h"
#include "resources/resource.h"
#include "settings/result_text.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// A display text, "name : description", is held in 256 units with its terminator; a longer
// one is cut. A name too long to leave its " : " in the text is thereby refused at opening.
constexpr std::size_t kDisplayUnits = 255;

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
        std::wstring text = wideFromUtf8(port.name) + L" : " + wideFromUtf8(port.description);
        if (text.size() > kDisplayUnits) {
            text.resize(kDisplayUnits);
        }
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

// The chosen item's text, at most kDisplayUnits of it; empty when nothing is chosen.
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
    if (text.size() > kDisplayUnits) {
        text.resize(kDisplayUnits);
    }
    return text;
}

// "ОК": closes the port left open, opens the chosen one; the dialog's result, or -1 when it
// stays open.
INT_PTR openChosenPort(PickerState& picker) {
    AppState& app = *picker.app;
    Win32Controls& controls = app.controls;
    SerialChannel& channel = *app.channel;
    if (channel.isOpen()) {
        if (!channel.closePort()) {
            const DWORD error = GetLastError();
            controls.appendLog("Previous port was closed incorrect.\r\n");
            char line[40];
            std::snprintf(line, sizeof line, "Error code = %lu\r\n",
                          static_cast<unsigned long>(error));
            controls.appendLog(line);
            return -1;
        }
        app.connection.openPortName.clear();
    }
    app.connection.currentPortName.clear();

    const std::wstring text = chosenText(picker.list);
    const std::size_t space = text.find(L' ');
    if (text.empty() || space == std::wstring::npos) {
        controls.appendLog(" error.\r\n");
        return 0;
    }
    // Name and path are held whole, however long the name.
    const std::wstring name = text.substr(0, space);
    const std::wstring path = L"\\\\.\\" + name;
    controls.appendLogText(L"Trying to open port " + path + L"...   ");
    if (!channel.openPort(utf8FromWide(path))) {
        controls.appendLog(" error.\r\n");
        return 0;
    }
    app.connection.currentPortName = utf8FromWide(name);
    app.connection.openPortName = app.connection.currentPortName;
    controls.appendLog(result::kSuccess);
    return 1;
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
        case IDC_PICKER_OPEN:
            if (const INT_PTR result = openChosenPort(picker); result >= 0) {
                EndDialog(window, result);
            }
            return TRUE;
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
