#include "app/cli/console.h"

#include <unistd.h>

bool stdoutIsTerminal() {
    return ::isatty(STDOUT_FILENO) != 0;
}

void utcFields(std::time_t time, std::tm& fields) {
    gmtime_r(&time, &fields);
}
