#pragma once

#include "settings/setting_catalogue.h"
#include "ui/memory_controls.h"

#include <string>
#include <string_view>

// The command line's text of a setting, as its control holds it: flags 0/1, numbers in
// decimal, list choices by their entry text, texts as they are (UTF-8).
std::string settingValueText(const MemoryControls& controls, const SettingRow& row);

// Checks that `value` has the form the setting takes and fills its control; false with a
// message otherwise. Range and length checks are left to the operation, which reports them
// in its own log line.
bool fillSettingValue(MemoryControls& controls, const SettingRow& row, std::string_view value,
                      std::string& error);

// Gives every list of the catalogue its entries, as the window does at creation.
void fillSettingLists(MemoryControls& controls);
