#include "profile/placeholders.h"

#include "profile/setting_values.h"

namespace {

constexpr std::string_view kImeiMark = "{imei}";
constexpr std::string_view kDeviceIdMark = "{device-id}";

bool isWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
}

// The "{word}" at the start of `text`; empty when there is none.
std::string_view wordAt(std::string_view text) {
    std::size_t end = 1;
    while (end < text.size() && isWordChar(text[end])) {
        ++end;
    }
    return end > 1 && end < text.size() && text[end] == '}' ? text.substr(0, end + 1) : "";
}

} // namespace

std::string expandPlaceholders(std::string_view value, std::string_view imei,
                               std::string_view deviceId) {
    std::string expanded;
    while (!value.empty()) {
        if (value.starts_with(kImeiMark)) {
            expanded += imei;
            value.remove_prefix(kImeiMark.size());
        } else if (value.starts_with(kDeviceIdMark)) {
            expanded += deviceId;
            value.remove_prefix(kDeviceIdMark.size());
        } else {
            expanded += value.front();
            value.remove_prefix(1);
        }
    }
    return expanded;
}

bool hasPlaceholder(std::string_view value) {
    return value.find(kImeiMark) != std::string_view::npos ||
           value.find(kDeviceIdMark) != std::string_view::npos;
}

std::string placeholderProblem(std::string_view value, Placeholders use) {
    for (std::size_t at = value.find('{'); at != std::string_view::npos;
         at = value.find('{', at + 1)) {
        const std::string_view word = wordAt(value.substr(at));
        if (word.empty()) {
            continue;
        }
        if (word != kImeiMark && word != kDeviceIdMark) {
            return "unknown placeholder " + std::string(word) + ": only {imei} and {device-id}";
        }
        if (use == Placeholders::Refused) {
            return std::string(word) + " is filled in only by provision";
        }
    }
    return "";
}

bool fillTemplateValue(Controls& controls, const SettingRow& row, const SettingField& field,
                       std::string_view value, Placeholders use, std::string& error) {
    error = placeholderProblem(value, use);
    if (!error.empty()) {
        return false;
    }
    if (!hasPlaceholder(value)) {
        return fillFieldValue(controls, row, field, value, error);
    }
    if (!fillFieldValue(controls, row, field,
                        expandPlaceholders(value, kStandInImei, kStandInDeviceId), error)) {
        error += ", filled in for IMEI " + std::string(kStandInImei) + " and device ID " +
                 std::string(kStandInDeviceId);
        return false;
    }
    return true;
}
