#pragma once

#include "controls/controls.h"
#include "link/device_link.h"
#include "settings/setting_catalogue.h"

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A device acknowledges a write and may still keep something else. The read-back reads what
// was written again and compares it field by field, in the profile's text forms as the device
// takes them (comparableText of profile_diff.h), so that "lora-band=EU863-870" compares with
// what the device reports now and "data-period=007" with its 7.

// One field whose device value is not what was written.
struct FieldMismatch {
    std::string key; // the profile key: "mqtt-port", "bracelet.period"
    std::string written;
    std::string device;
    bool secret = false; // a password or key: its values are never shown
};

struct ReadBackResult {
    bool readsSucceeded = true;       // false when a read-back read failed (its log line says why)
    std::size_t settingsRead = 0;     // read back and compared (a failed read is not counted)
    std::vector<std::string> notRead; // settings whose read failed or was stopped, by name
    std::vector<FieldMismatch> mismatches;
    // Settings among those given that cannot be read back: the write-only ones (gas-analyzer,
    // token) and the read-only ones, by name.
    std::vector<std::string> writeOnly;
    std::vector<std::string> readOnly;
};

// Reads back every setting of `written` that can be read, into controls of its own over
// `link` (the fields of `expected` are left as they are), and compares every field with the
// text `expected` holds for it. Each read logs its action and result line through `log`.
// `stop` (may be null) is polled before each read: a stop leaves readsSucceeded false.
ReadBackResult readBack(DeviceLink& link, const Controls& expected,
                        std::span<const SettingRow* const> written,
                        const std::function<void(std::string_view)>& log, bool (*stop)() = nullptr);

// "mqtt-port: wrote 8883, the device has 1883"; "wifi-password: differs (secret)".
std::string mismatchText(const FieldMismatch& mismatch);
// "not verifiable: gas-analyzer, token (write only); imei (read only)"; empty when none.
std::string notVerifiableText(const ReadBackResult& result);
// "41 settings read back, all equal" or "41 settings read back, 2 fields differ", followed by
// "; not every read succeeded" when a read failed.
std::string readBackSummary(const ReadBackResult& result);
