#include "app/cli/console.h"

#include <windows.h>

bool stdoutIsTerminal() {
    // A console redraws in place only with its virtual terminal processing on.
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return ::GetConsoleMode(output, &mode) != 0 &&
           ::SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}
