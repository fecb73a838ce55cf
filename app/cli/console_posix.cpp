#include "app/cli/console.h"

#include <unistd.h>

bool stdoutIsTerminal() {
    return ::isatty(STDOUT_FILENO) != 0;
}
