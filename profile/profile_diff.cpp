#include "profile/profile_diff.h"

#include "profile/printable_text.h"
#include "profile/setting_values.h"
#include "ui/input_filters.h"

#include <algorithm>

namespace {

bool holds(const std::set<int>* given, int controlId) {
    return given == nullptr || given->contains(controlId);
}

} // namespace

std::string comparableText(const Controls& controls, const SettingField& field) {
    std::string text = fieldValueText(controls, field);
    if (field.kind == FieldKind::Number &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
    }
    const InputFilter* filter = findInputFilter(field.controlId);
    if (filter != nullptr && filter->kind == FilterKind::LastChar &&
        filter->allowed == CharSet::HexDigits) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 32) : c; });
    }
    return text;
}

std::set<int> fillProfileFields(Controls& controls, const std::vector<ProfileEntry>& entries) {
    std::set<int> given;
    for (const ProfileEntry& entry : entries) {
        std::string error;
        (void)fillFieldValue(controls, *entry.row, *entry.field, entry.value, error);
        given.insert(entry.field->controlId);
    }
    return given;
}

std::vector<FieldDifference> diffFields(const Controls& a, const std::set<int>* aGiven,
                                        const Controls& b, const std::set<int>* bGiven) {
    // The write-only settings share their controls with the sensor read-out, so the readable
    // rows name every control once.
    std::vector<FieldDifference> differences;
    for (const SettingRow& row : settingCatalogue()) {
        if (!row.getCode) {
            continue;
        }
        for (const SettingField& field : settingFields(row)) {
            if (!holds(aGiven, field.controlId) || !holds(bGiven, field.controlId)) {
                continue;
            }
            std::string aText = comparableText(a, field);
            std::string bText = comparableText(b, field);
            if (aText != bText) {
                differences.push_back(
                    {fieldKey(row, field), std::move(aText), std::move(bText), row.secret});
            }
        }
    }
    return differences;
}

std::string differenceText(const FieldDifference& difference) {
    if (difference.secret) {
        return difference.key + ": differs (secret)";
    }
    return difference.key + ": " + printableText(difference.a) + " -> " +
           printableText(difference.b);
}
