#pragma once

#include "controls/controls.h"
#include "profile/placeholders.h"
#include "profile/profile.h"
#include "settings/setting_catalogue.h"

#include <string>
#include <string_view>
#include <vector>

// Per-device values for a batch: a CSV file (RFC 4180: quoted fields, embedded commas, quotes
// and line breaks, UTF-8, CRLF or LF line ends) whose first header is "imei" or "device-id"
// and whose other headers are profile keys (NAME or NAME.FIELD, as findField takes them).
// Each further record is one device: its key, then its values. An empty cell leaves the
// profile's value for that field. A UTF-8 byte order mark at the start is skipped; blank
// lines after the last record are ignored, a blank line anywhere else is refused. A '"'
// inside a cell that does not start with one is refused: it is most often a blank before an
// opening quote, and the cell would silently split at the comma it was meant to hold.

enum class OverrideKey { Imei, DeviceId };

struct OverrideColumn {
    std::string header; // as written in the file
    const SettingRow* row;
    const SettingField* field;
};

struct OverrideRow {
    int lineNumber;                  // where the record starts, 1-based
    std::string key;                 // the IMEI or device ID
    std::vector<std::string> values; // one per column, "" for an empty cell
    std::string text;                // the record's bytes as in the file, line end excluded
};

struct OverrideTable {
    OverrideKey key = OverrideKey::Imei;
    std::vector<OverrideColumn> columns;
    std::vector<OverrideRow> rows;
};

// Parses and checks a whole file before any device is touched: the key header, every other
// header names a field and no field twice, every record has as many cells as there are
// headers, every key is of its form (isValidImei, isValidDeviceId: a blank around it is
// refused) and no key is given twice, every value has its field's form once its placeholders
// are filled in with the stand-in identity (fillTemplateValue); read-only settings are
// refused. False with "line L, column C: problem" in `error`: L is the line the cell starts
// on, C the cell's 1-based index in its record (the key is column 1). A record of the wrong
// width is reported at its last cell.
[[nodiscard]] bool parseOverrides(std::string_view csv, OverrideTable& table, std::string& error);

// The row for a device; nullptr when the file has none for it.
const OverrideRow* findOverrideRow(const OverrideTable& table, std::string_view imei,
                                   std::string_view deviceId);

// One device's values into `controls`: every written entry of the profile (from parseProfile
// with Placeholders::Filled), then every cell of `row` that is not empty (an empty cell keeps
// the profile's value), each with {imei} and {device-id} filled in with the device's own
// and then checked for its field's form. `row` is one of `table`'s, or nullptr for none.
// False with "profile line N: problem" or "overrides line L, column C: problem".
[[nodiscard]] bool fillDeviceValues(Controls& controls, const std::vector<ProfileEntry>& profile,
                                    const OverrideTable* table, const OverrideRow* row,
                                    std::string_view imei, std::string_view deviceId,
                                    std::string& error);
