#include "app/cli/setting_values.h"

#include "controls/wire_text.h"

namespace {

constexpr std::size_t kMaxNumberDigits = 20;
constexpr int kRssiZeroEntry = 128;

bool isDecimal(std::string_view value) {
    if (!value.empty() && value[0] == '-') {
        value.remove_prefix(1);
    }
    if (value.empty() || value.size() > kMaxNumberDigits) {
        return false;
    }
    for (char c : value) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
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

std::string fieldValueText(const MemoryControls& controls, const SettingField& field) {
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
        return utf8FromUtf16(controls.fullText(field.controlId));
    }
}

bool fillFieldValue(MemoryControls& controls, const SettingRow& row, const SettingField& field,
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
    case FieldKind::Number:
        if (!isDecimal(value)) {
            error = key + " takes a decimal number";
            return false;
        }
        break;
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
        const int dbm = isDecimal(value) && value.size() <= 4 ? std::stoi(std::string(value)) : 999;
        if (dbm < -128 || dbm > 127) {
            error = key + " takes a number of dBm from -128 to 127";
            return false;
        }
        controls.setListSelection(field.controlId, kRssiZeroEntry - dbm);
        return true;
    }
    case FieldKind::Edit:
        break;
    }
    controls.setEditText(field.controlId, utf16FromUtf8(value));
    return true;
}

std::vector<std::string> settingLines(const MemoryControls& controls, const SettingRow& row) {
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
