#pragma once

#include "controls/controls.h"
#include "settings/setting_catalogue.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

// What load-all and provision write of the values the controls hold, found out before the
// first write. A setting whose fields are all empty and whose write cannot send it empty (a
// bracelet, gas analyzer or token, a LoRa key, a number: what read-all writes for a tracker
// without one) is left out: not written, not read back. An empty text is written: it clears
// the device's. Everything else the write's own input check would refuse is refused before
// anything is sent.

// The writable settings in catalogue order, but those left out, whose names go to `skipped`.
std::vector<const SettingRow*> plannedWrites(const Controls& controls,
                                             std::vector<std::string>& skipped);

// The log line of a setting left out:
// "Skipping bracelet: every field is empty in the profile.\r\n".
std::string skippedLine(std::string_view name);

// Runs each row's write on a copy of the controls over a link whose every write fails, so
// that its own input check runs and nothing is sent. True when every check passes; else false
// with the first refusal: "data-period: the write refuses it: error (data is out of range).".
[[nodiscard]] bool checkPlannedWrites(const Controls& controls,
                                      std::span<const SettingRow* const> rows, std::string& error);
