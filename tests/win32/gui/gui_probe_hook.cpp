// tarnwick-gui-probe.dll: under Wine a menu handle is valid only in its own process, and a tab
// strip's labels are not carried across processes, so the driver hooks the window's thread
// with this DLL, asks with a registered message, and reads the answer from a window property,
// which every process sees: a menu state, or a text as a global atom.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <commctrl.h>

#include <cstdint>

namespace {

// What the driver asks, in the message's wParam; lParam says which item.
enum Question : WPARAM {
    kMenuState = 0,   // of the item with command ID lParam
    kMenuText = 1,    // of the item with command ID lParam
    kMenuBarText = 2, // of the menu bar's item at position lParam
    kTabText = 3,     // of the tab at position lParam of the strip with control ID 500
};

UINT_PTR answerOf(HWND window, WPARAM question, LPARAM which) {
    const HMENU menu = GetMenu(window);
    const UINT item = static_cast<UINT>(which);
    wchar_t text[256] = {};
    switch (question) {
    case kMenuState:
        return GetMenuState(menu, item, MF_BYCOMMAND);
    case kMenuText:
    case kMenuBarText:
        GetMenuStringW(menu, item, text, 255, question == kMenuText ? MF_BYCOMMAND : MF_BYPOSITION);
        break;
    case kTabText: {
        TCITEMW tab{};
        tab.mask = TCIF_TEXT;
        tab.pszText = text;
        tab.cchTextMax = 255;
        SendMessageW(GetDlgItem(window, 500), TCM_GETITEMW, item, reinterpret_cast<LPARAM>(&tab));
        break;
    }
    default:
        return 0xFFFFFFFF;
    }
    return text[0] == L'\0' ? 0xFFFFFFFF : GlobalAddAtomW(text);
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    probeHook(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT probe = RegisterWindowMessageW(L"TarnwickGuiProbe");
    const auto& sent = *reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent.message == probe) {
        // One more than the answer, so that no answer (0) differs from every one.
        const UINT_PTR answer = answerOf(sent.hwnd, sent.wParam, sent.lParam);
        SetPropW(sent.hwnd, L"TarnwickGuiProbeAnswer",
                 reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(answer) + 1));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
