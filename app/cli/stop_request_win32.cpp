#include "app/cli/stop_request.h"

#include "app/cli/commands.h"

#include <atomic>
#include <windows.h>

namespace {

std::atomic<bool> requested{false};

// Runs on a thread of its own that the console starts for each event.
BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        if (requested.exchange(true)) {
            ::ExitProcess(kExitInterrupted);
        }
        return TRUE;
    case CTRL_CLOSE_EVENT:
        // The process ends when this returns: give the run a moment for its disconnect.
        requested.store(true);
        ::Sleep(3000);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void installStopHandlers() {
    (void)::SetConsoleCtrlHandler(&onConsoleEvent, TRUE);
}

bool stopRequested() {
    return requested.load();
}
