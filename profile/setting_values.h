#pragma once

#include "controls/controls.h"
#include "settings/setting_catalogue.h"

#include <string>
#include <string_view>
#include <vector>

// How the command line and the profiles write a setting: NAME=VALUE, or NAME.FIELD=VALUE for
// each field of a setting of several controls. Flags 0/1, numbers in decimal, list choices
// by their entry text, the rssi as signed dBm, texts as they are (UTF-8).

// "siz-rssi", "bracelet.period", "log-flags.Save in file".
std::string fieldKey(const SettingRow& row, const SettingField& field);

// The field a key names; field names may also be written in lower case with '-' for blanks
// ("log-flags.save-in-file"). False when the key names no field.
bool findField(std::string_view key, const SettingRow*& row, const SettingField*& field);

std::string fieldValueText(const Controls& controls, const SettingField& field);

// Checks that `value` has the form the field takes and fills its control; false with a
// message otherwise. A text is refused where the window's edit would not have taken it: more
// characters than its limit, characters its input filter deletes, a number above the
// filter's bound, a control character, a character the device's code page cannot hold, bytes
// that are not UTF-8. The remaining ranges (a number below its minimum) are the operation's,
// which reports them in its own log line.
bool fillFieldValue(Controls& controls, const SettingRow& row, const SettingField& field,
                    std::string_view value, std::string& error);

// One KEY=VALUE line per field of the setting, as its controls hold it.
std::vector<std::string> settingLines(const Controls& controls, const SettingRow& row);

// Every setting name, or only the writable ones, for messages.
std::string settingNames(bool writableOnly);
