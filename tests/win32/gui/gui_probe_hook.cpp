// tarnwick-gui-probe.dll: under Wine a menu handle is valid only in its own process, so the
// driver hooks the window's thread with this DLL, asks with a registered message, and reads
// the answer from a window property, which every process sees.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdint>

extern "C" __declspec(dllexport) LRESULT CALLBACK
    probeHook(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT probe = RegisterWindowMessageW(L"TarnwickGuiProbe");
    const auto& sent = *reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent.message == probe) {
        const UINT state =
            GetMenuState(GetMenu(sent.hwnd), static_cast<UINT>(sent.lParam), MF_BYCOMMAND);
        // One more than the state, so that no answer (0) differs from every state.
        SetPropW(sent.hwnd, L"TarnwickGuiProbeAnswer",
                 reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(state) + 1));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
