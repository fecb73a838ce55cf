#include "app/cli/stop_request.h"

#include "app/cli/commands.h"

#include <atomic>
#include <csignal>
#include <unistd.h>

namespace {

std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free,
              "the handler may only touch a lock-free flag");

void onStopSignal(int) {
    if (requested.exchange(true)) {
        ::_exit(kExitInterrupted);
    }
}

} // namespace

void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = &onStopSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls: a byte wait goes on to its own deadline, a log write completes.
    action.sa_flags = SA_RESTART;
    (void)::sigaction(SIGINT, &action, nullptr);
    (void)::sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}

bool stopRequested() {
    return requested.load();
}
