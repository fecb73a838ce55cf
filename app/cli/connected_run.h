#pragma once

#include "app/cli/cli_options.h"
#include "app/cli/named_files.h"
#include "controls/memory_controls.h"
#include "link/trace_file.h"
#include "settings/setting_context.h"

#include <functional>
#include <vector>

// Checks the --trace file with the command's own `files` (see checkNamedFiles), then opens
// it when one is given, passwords and keys masked unless --trace-secrets. False, with
// "COMMAND: reason" on stderr (exit status 2), for a refused file or a trace that cannot be
// opened; nothing is opened before the checks.
[[nodiscard]] bool openRunTrace(const CliOptions& options, const char* commandName,
                                const std::vector<NamedFile>& files, TraceFile& trace);

// One run against the device the way the window does it: open the port, connect (two
// replies), do the work on in-memory controls, say goodbye before leaving. Log lines go to
// stderr as they are written. `files` are the files the command names (its profile, its
// --output), checked with the trace before anything is opened. Returns the exit status: 2
// for a refused file, 1 also when the goodbye failed, kExitInterrupted when a stop was
// asked for (the work should poll stopRequested()).
int runConnected(const CliOptions& options, const char* commandName,
                 const std::function<bool(SettingContext&, MemoryControls&)>& work,
                 const std::vector<NamedFile>& files = {});
