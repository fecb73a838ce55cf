#include "profile/setting_values.h"

#include "controls/wire_text.h"
#include "profile/printable_text.h"
#include "settings/exchange.h"
#include "settings/number_text.h"
#include "ui/input_filters.h"
#include "ui/page_setup.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr int kRssiZeroEntry = 128;
// Beyond every field's range, so that a long run of digits is simply too large.
constexpr std::int64_t kNumberCeiling = 1'000'000'000'000;

// The one reader of the numbers the command line takes: an optional '-', then decimal
// digits, leading zeros allowed.
bool readDecimal(std::string_view value, std::int64_t& number) {
    const bool negative = value.starts_with('-');
    if (negative) {
        value.remove_prefix(1);
    }
    if (value.empty()) {
        return false;
    }
    number = 0;
    for (char c : value) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = std::min(number * 10 + (c - '0'), kNumberCeiling);
    }
    number = negative ? -number : number;
    return true;
}

bool inCharSet(CharSet set, char16_t c) {
    const bool digit = c >= u'0' && c <= u'9';
    if (set == CharSet::DialDigits) {
        return digit || c == u'+';
    }
    return digit || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

// What the window's edit would not have taken: more characters than its limit, a character
// its input filter deletes, a number above the filter's bound, a character the device's code
// page has no byte for. Empty when the text passes.
std::string editProblem(const Controls& controls, const SettingField& field, const std::string& key,
                        std::string_view value) {
    const std::u16string text = utf16FromUtf8(value);
    if (utf8FromUtf16(text) != value) {
        return key + " is not UTF-8 text";
    }
    if (hasControlCharacter(value)) {
        return key + " holds a control character";
    }
    for (const TextLimit& limit : textLimits()) {
        if (limit.editId == field.controlId && text.size() > limit.chars) {
            return key + " takes at most " + std::to_string(limit.chars) + " characters";
        }
    }
    if (const InputFilter* filter = findInputFilter(field.controlId)) {
        if (filter->kind == FilterKind::UpperBound && parseFieldNumber(text) > filter->bound) {
            return key + " takes a number up to " + std::to_string(filter->bound);
        }
        for (char16_t c : text) {
            if (filter->kind == FilterKind::LastChar && !inCharSet(filter->allowed, c)) {
                return key + (filter->allowed == CharSet::HexDigits
                                  ? " takes hex digits only (0-9, A-F)"
                                  : " takes decimal digits and '+' only");
            }
        }
    }
    if (!fitsCodePage(controls.codePage(), text)) {
        return key + " holds a character that the device's code page (" + controls.codePage().name +
               ") cannot hold";
    }
    return {};
}

// Field names as a user may type them: "Save in file" == "save-in-file".
std::string normalized(std::string_view name) {
    std::string text(name);
    for (char& c : text) {
        c = c == ' ' ? '-' : static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return text;
}

std::string listChoices(const SettingField& field) {
    std::string choices;
    for (std::size_t i = 1; i < field.listEntries.size(); ++i) {
        choices += (i > 1 ? ", " : "") + utf8FromUtf16(field.listEntries[i]);
    }
    return choices;
}

} // namespace

std::string fieldKey(const SettingRow& row, const SettingField& field) {
    std::string key = row.name;
    if (field.name[0] != '\0') {
        key += '.';
        key += field.name;
    }
    return key;
}

bool findField(std::string_view key, const SettingRow*& row, const SettingField*& field) {
    for (const SettingRow& candidate : settingCatalogue()) {
        for (const SettingField& candidateField : settingFields(candidate)) {
            const std::string name = fieldKey(candidate, candidateField);
            if (key == name || normalized(key) == normalized(name)) {
                row = &candidate;
                field = &candidateField;
                return true;
            }
        }
    }
    return false;
}

std::string fieldValueText(const Controls& controls, const SettingField& field) {
    switch (field.kind) {
    case FieldKind::Check:
        return controls.isChecked(field.controlId) ? "1" : "0";
    case FieldKind::List: {
        const int selection = controls.listSelection(field.controlId);
        return selection <= 0 ? "" : utf8FromUtf16(field.listEntries[selection]);
    }
    case FieldKind::RssiList: {
        const int selection = controls.listSelection(field.controlId);
        return selection <= 0 ? "" : std::to_string(kRssiZeroEntry - selection);
    }
    default:
        return utf8FromUtf16(controls.wholeText(field.controlId));
    }
}

bool fillFieldValue(Controls& controls, const SettingRow& row, const SettingField& field,
                    std::string_view value, std::string& error) {
    const std::string key = fieldKey(row, field);
    // An empty value is what fieldValueText gives for an empty number or a list without a
    // choice: it empties the control, and the operation reports that in its own log line.
    if (value.empty() && field.kind != FieldKind::Check) {
        if (field.kind == FieldKind::List || field.kind == FieldKind::RssiList) {
            controls.setListSelection(field.controlId, 0);
        } else {
            controls.setEditText(field.controlId, u"");
        }
        return true;
    }
    switch (field.kind) {
    case FieldKind::Check:
        if (value != "0" && value != "1") {
            error = key + " takes 0 or 1";
            return false;
        }
        controls.setChecked(field.controlId, value == "1");
        return true;
    case FieldKind::Number: {
        std::int64_t number = 0;
        if (!readDecimal(value, number)) {
            error = key + " takes a decimal number";
            return false;
        }
        break;
    }
    case FieldKind::List:
        for (std::size_t i = 1; i < field.listEntries.size(); ++i) {
            if (utf16FromUtf8(value) == field.listEntries[i]) {
                controls.setListSelection(field.controlId, static_cast<int>(i));
                return true;
            }
        }
        error = key + " takes one of: " + listChoices(field);
        return false;
    case FieldKind::RssiList: {
        std::int64_t dbm = 0;
        if (!readDecimal(value, dbm) || dbm < -128 || dbm > 127) {
            error = key + " takes a number of dBm from -128 to 127";
            return false;
        }
        controls.setListSelection(field.controlId, static_cast<int>(kRssiZeroEntry - dbm));
        return true;
    }
    case FieldKind::Edit:
        break;
    }
    if (std::string problem = editProblem(controls, field, key, value); !problem.empty()) {
        error = std::move(problem);
        return false;
    }
    controls.setEditText(field.controlId, utf16FromUtf8(value));
    return true;
}

std::vector<std::string> settingLines(const Controls& controls, const SettingRow& row) {
    std::vector<std::string> lines;
    for (const SettingField& field : settingFields(row)) {
        lines.push_back(fieldKey(row, field) + "=" + fieldValueText(controls, field));
    }
    return lines;
}

std::string settingNames(bool writableOnly) {
    std::string names;
    for (const SettingRow& row : settingCatalogue()) {
        if (!writableOnly || row.setCode) {
            names += names.empty() ? "" : ", ";
            names += row.name;
        }
    }
    return names;
}
