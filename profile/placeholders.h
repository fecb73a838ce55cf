#pragma once

#include "controls/controls.h"
#include "settings/setting_catalogue.h"

#include <cstdint>
#include <string>
#include <string_view>

// {imei} and {device-id}: the values a batch fills in per device, wherever they stand in a
// value (a profile line or an override cell), before the value is checked. Any other
// "{word}" (a '{', one or more of A-Z a-z 0-9 _ -, a '}') is a misspelt placeholder and is
// refused, whoever reads the value.

// The identity a value with placeholders is checked with before any device is known: a value
// that does not fit its field with these fits no tracker's.
inline constexpr std::string_view kStandInImei = "356938035643809";
inline constexpr std::string_view kStandInDeviceId = "TRK-00000000";

enum class Placeholders : std::uint8_t {
    Refused, // load-all, set, diff, the window: nothing fills them in
    Filled,  // provision: filled in per device
};

// `value` with every "{imei}" and "{device-id}" replaced by the device's own.
std::string expandPlaceholders(std::string_view value, std::string_view imei,
                               std::string_view deviceId);
bool hasPlaceholder(std::string_view value);

// Why `value` is refused for a placeholder, the first one it holds; empty when it is not:
// "unknown placeholder {IMEI}: only {imei} and {device-id}", or, unless `use` is Filled,
// "{device-id} is filled in only by provision".
std::string placeholderProblem(std::string_view value, Placeholders use);

// Checks a value as a profile line or an override cell gives it and fills the field's control:
// placeholderProblem first, then the field's form (fillFieldValue) with the placeholders
// filled in with the stand-in identity. False with the problem.
[[nodiscard]] bool fillTemplateValue(Controls& controls, const SettingRow& row,
                                     const SettingField& field, std::string_view value,
                                     Placeholders use, std::string& error);
