#pragma once

// What the batch asks of the platform about its output. Each build links the file of its
// platform (console_posix.cpp or console_win32.cpp).

// True when stdout is a terminal that takes the cursor movements of a live progress board.
bool stdoutIsTerminal();
