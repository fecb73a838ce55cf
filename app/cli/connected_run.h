#pragma once

#include "app/cli/cli_options.h"
#include "controls/memory_controls.h"
#include "settings/setting_context.h"

#include <functional>

// One run against the device the way the window does it: open the port, connect (two
// replies), do the work on in-memory controls, say goodbye before leaving. Log lines go to
// stderr as they are written. Returns the exit status: 1 also when the goodbye failed,
// kExitInterrupted when a stop was asked for (the work should poll stopRequested()).
int runConnected(const CliOptions& options, const char* commandName,
                 const std::function<bool(SettingContext&, MemoryControls&)>& work);
