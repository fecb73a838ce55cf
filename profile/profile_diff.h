#pragma once

#include "controls/controls.h"
#include "profile/profile.h"

#include <set>
#include <string>
#include <vector>

// Two sets of settings compared field by field in the profile's text forms: a profile with
// the device, or two profiles. Values are compared as the device takes them, so
// "mqtt-port=01883" equals "mqtt-port=1883". Each control is compared once, under the key
// read-all writes for it ("aux-sensors.gas-analyzer.period", even where a profile named it
// "gas-analyzer.period").

struct FieldDifference {
    std::string key;
    std::string a;
    std::string b;
    bool secret = false; // a password or key: its values are never shown
};

// A field's text as the device sees it, for comparisons: a number without leading zeros
// ("007" is sent as 7), hex digits in upper case (an address is sent as bytes).
std::string comparableText(const Controls& controls, const SettingField& field);

// Fills `controls` (set up as the page's) from every entry, the read-only lines too, and
// returns the controls the profile has a line for.
std::set<int> fillProfileFields(Controls& controls, const std::vector<ProfileEntry>& entries);

// Every field of the readable settings, in catalogue order, whose text in `a` differs from
// the text in `b`. A side's `given` (null: every field) limits the comparison to the fields
// it holds: a profile may leave out the lines of the settings the device only reports.
std::vector<FieldDifference> diffFields(const Controls& a, const std::set<int>* aGiven,
                                        const Controls& b, const std::set<int>* bGiven);

// "mqtt-port: 1883 -> 8883", control characters escaped; "wifi-password: differs (secret)".
std::string differenceText(const FieldDifference& difference);
