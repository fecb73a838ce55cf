#pragma once

// Ctrl-C and its kin (SIGINT and SIGTERM; on Windows the console's Ctrl-C, Ctrl-Break and
// close): the first asks the run to stop after the exchange in flight, so that the device
// still gets its disconnect and no log line is left half written; the second ends the
// process at once with kExitInterrupted. Each build links the file of its platform
// (stop_request_posix.cpp or stop_request_win32.cpp).

// Also makes a write beyond the file size limit fail instead of killing the process, so
// that it is reported like any other failed write.
void installStopHandlers();

// True once a stop was asked for; safe to poll from anywhere.
bool stopRequested();
