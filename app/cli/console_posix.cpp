#include "app/cli/console.h"

#include <ctime>
#include <unistd.h>

bool stdoutIsTerminal() {
    return ::isatty(STDOUT_FILENO) != 0;
}

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}
