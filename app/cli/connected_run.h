#pragma once

#include "app/cli/cli_options.h"
#include "settings/setting_context.h"
#include "controls/memory_controls.h"

#include <functional>

// One run against the device the way the window does it: open the port, connect (two
// replies), do the work on in-memory controls, say goodbye before leaving. Log lines go to
// stderr as they are written. Returns the exit status.
int runConnected(const CliOptions& options, const char* commandName,
                 const std::function<bool(SettingContext&, MemoryControls&)>& work);
