// tarnwick-gui-probe.dll: answers the driver's questions that no message answers across
// processes. Under Wine a menu handle is only valid in its own process, so the driver hooks
// the window's thread with this DLL, asks with a registered message, and reads the answer
// from a window property (properties are visible to every process).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>

namespace {

constexpr const wchar_t* kProbeMessage = L"TarnwickGuiProbe";
constexpr const wchar_t* kAnswerProperty = L"TarnwickGuiProbeAnswer";
constexpr WPARAM kMenuItemState = 1;

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    probeHook(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT probe = RegisterWindowMessageW(kProbeMessage);
    if (code == HC_ACTION) {
        const auto& sent = *reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (sent.message == probe && sent.wParam == kMenuItemState) {
            const UINT state =
                GetMenuState(GetMenu(sent.hwnd), static_cast<UINT>(sent.lParam), MF_BYCOMMAND);
            // One more than the state, so that no answer (0) differs from every state.
            const auto answer = static_cast<std::uintptr_t>(state) + 1;
            SetPropW(sent.hwnd, kAnswerProperty, reinterpret_cast<HANDLE>(answer));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
