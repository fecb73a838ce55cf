#pragma once

#include "profile/placeholders.h"
#include "profile/setting_values.h"

#include <string>
#include <string_view>
#include <vector>

// A profile is a device's settings as text: what read-all writes and load-all takes. One
// NAME[.FIELD]=VALUE line per field, in the forms of setting_values.h; blank lines and lines
// whose first character other than blanks is '#' are skipped. Values are taken to the end of
// the line as they are (a trailing CR of a CRLF file aside).

// The first line of every profile read from a device.
inline constexpr const char* kProfileHeader =
    "# Tarnwick profile: one NAME[.FIELD]=VALUE per line. It holds passwords: keep it "
    "private.\n";

// One value line of a profile.
struct ProfileEntry {
    int lineNumber;
    const SettingRow* row;
    const SettingField* field;
    std::string value;
    // False for a line of a read-only setting whose control no write uses (imei, imsi,
    // device-id, xnb-id): it is checked and then ignored.
    bool written;
};

// The header and every line of every readable setting, in catalogue order, as the controls
// hold them. False with the offending key when a value would not stay on one line.
[[nodiscard]] bool writeProfile(const Controls& controls, std::string& text, std::string& error);

// Parses and checks a whole profile, so that nothing is sent for a profile with a fault:
// every line names a field and has a value of the field's form; no control is given twice;
// every control that load-all writes is given. Placeholders are taken as fillTemplateValue
// takes them: Filled checks their values with the stand-in identity, Refused refuses them.
// False with "line N: problem" (or the missing keys) in `error`.
[[nodiscard]] bool parseProfile(std::string_view text, std::vector<ProfileEntry>& entries,
                                std::string& error, Placeholders use = Placeholders::Refused);

// Puts the written entries into the controls as they are, placeholders and all; the entries
// must come from parseProfile (fillDeviceValues of provision/overrides.h fills them in).
void applyProfile(Controls& controls, const std::vector<ProfileEntry>& entries);
