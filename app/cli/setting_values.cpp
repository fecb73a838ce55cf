#include "app/cli/setting_values.h"

#include "settings/wire_text.h"

#include <vector>

namespace {

constexpr std::size_t kMaxNumberDigits = 20;

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

std::string listChoices(const SettingRow& row) {
    std::string choices;
    for (std::size_t i = 1; i < row.listEntries.size(); ++i) {
        choices += (i > 1 ? ", " : "") + utf8FromUtf16(row.listEntries[i]);
    }
    return choices;
}

} // namespace

std::string settingValueText(const MemoryControls& controls, const SettingRow& row) {
    switch (row.shape) {
    case Shape::Flag:
        return controls.isChecked(row.controlId) ? "1" : "0";
    case Shape::ListChoice: {
        const int selection = controls.listSelection(row.controlId);
        return selection <= 0 ? "" : utf8FromUtf16(row.listEntries[selection]);
    }
    default:
        return utf8FromUtf16(controls.fullText(row.controlId));
    }
}

bool fillSettingValue(MemoryControls& controls, const SettingRow& row, std::string_view value,
                      std::string& error) {
    const std::string name = row.name;
    switch (row.shape) {
    case Shape::Flag:
        if (value != "0" && value != "1") {
            error = name + " takes 0 or 1";
            return false;
        }
        controls.setChecked(row.controlId, value == "1");
        return true;
    case Shape::SmallNumber:
    case Shape::Number16:
        if (!isDecimal(value)) {
            error = name + " takes a decimal number";
            return false;
        }
        break;
    case Shape::ListChoice:
        for (std::size_t i = 1; i < row.listEntries.size(); ++i) {
            if (utf16FromUtf8(value) == row.listEntries[i]) {
                controls.setListSelection(row.controlId, static_cast<int>(i));
                return true;
            }
        }
        error = name + " takes one of: " + listChoices(row);
        return false;
    default:
        break;
    }
    controls.setEditText(row.controlId, utf16FromUtf8(value));
    return true;
}

void fillSettingLists(MemoryControls& controls) {
    for (const SettingRow& row : settingCatalogue()) {
        if (!row.listEntries.empty()) {
            controls.setListEntries(
                row.controlId,
                std::vector<std::u16string>(row.listEntries.begin(), row.listEntries.end()));
        }
    }
}
