#pragma once

#include "ports/device_connection.h"
#include "settings/setting_context.h"
#include "controls/controls.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// One version the About dialog asks the device for (command 0x0002, the module index).
struct VersionQuery {
    int labelId;
    std::uint8_t module;
    std::size_t actionUse;       // which of the command's action texts
    std::uint8_t minReplyLength; // index echo, status and, for the firmware, one text byte
    const char16_t* prefix;      // the label is the prefix and the version text
    const char16_t* fallback;
};

inline constexpr std::size_t kVersionQueryCount = 6;
// The label is formatted into a 64-byte 8-bit buffer, terminator included.
inline constexpr std::size_t kVersionLabelMaxBytes = 63;

struct VersionLabel {
    int labelId;
    std::u16string text;
};
using VersionLabels = std::array<VersionLabel, kVersionQueryCount>;

std::span<const VersionQuery> versionQueries();

// Runs the six queries in order, one log line each, whatever the connection; a query that
// fails leaves its fallback text. A label never exceeds kVersionLabelMaxBytes in the code
// page and is cut at a whole character when the device's text is too long.
VersionLabels queryVersions(SettingContext& context);

// Sets the dialog's labels.
void showVersionLabels(Controls& dialog, const VersionLabels& labels);

// WM_DEVICECHANGE in the About dialog: true when it must end itself because the port in use
// is gone. It logs nothing and leaves the port to the main window's own check.
bool aboutEndsOnDeviceChange(const DeviceConnection& connection, std::uintptr_t event,
                             bool (*isPortPresent)(const std::string& name));
