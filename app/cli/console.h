#pragma once

#include <ctime>
#include <string>

// What the batch asks of the platform about its output. Each build links the file of its
// platform (console_posix.cpp or console_win32.cpp).

// True when stdout is a terminal that takes the cursor movements of a live progress board.
bool stdoutIsTerminal();

// `time` split into its UTC calendar fields (the reentrant call each platform has).
void utcFields(std::time_t time, std::tm& fields);

// The time now in UTC, to the second: "2026-12-07T10:42:05Z".
std::string utcNow();
