#include "profile/profile.h"

#include "controls/memory_controls.h"
#include "profile/printable_text.h"
#include "ui/page_setup.h"

#include <map>
#include <set>

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool isBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

bool isComment(std::string_view line) {
    const std::size_t first = line.find_first_not_of(" \t");
    return first != std::string_view::npos && line[first] == '#';
}

std::string lineLabel(int lineNumber) {
    return "line " + std::to_string(lineNumber) + ": ";
}

// The controls that some write takes its value from. A read-only setting's line counts only
// through these: the sensor read-out fills the controls the gas analyzer and token writes use.
std::set<int> writtenControls() {
    std::set<int> ids;
    for (const SettingRow& row : settingCatalogue()) {
        if (row.setCode) {
            for (const SettingField& field : settingFields(row)) {
                ids.insert(field.controlId);
            }
        }
    }
    return ids;
}

// The key read-all writes for a control: its first field in catalogue order.
std::string profileKeyOf(int controlId) {
    for (const SettingRow& row : settingCatalogue()) {
        for (const SettingField& field : settingFields(row)) {
            if (row.getCode && field.controlId == controlId) {
                return fieldKey(row, field);
            }
        }
    }
    for (const SettingRow& row : settingCatalogue()) {
        for (const SettingField& field : settingFields(row)) {
            if (field.controlId == controlId) {
                return fieldKey(row, field);
            }
        }
    }
    return std::to_string(controlId);
}

std::string fieldList(const SettingRow& row) {
    std::string keys;
    for (const SettingField& field : settingFields(row)) {
        keys += (keys.empty() ? "" : ", ") + fieldKey(row, field);
    }
    return keys;
}

// One line into an entry; false with the problem when it is not a field's line.
bool parseLine(std::string_view line, int lineNumber, ProfileEntry& entry, std::string& error) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        error = std::string(1, '\'').append(line).append("' is not NAME=VALUE");
        return false;
    }
    const std::string_view key = line.substr(0, equals);
    const SettingRow* row = nullptr;
    const SettingField* field = nullptr;
    if (!findField(key, row, field)) {
        const SettingRow* whole = findSettingByName(key);
        error = whole != nullptr
                    ? std::string(key) + " is given by its fields: " + fieldList(*whole)
                    : "unknown setting '" + std::string(key) + "'";
        return false;
    }
    entry = {lineNumber, row, field, std::string(line.substr(equals + 1)), false};
    return true;
}

} // namespace

bool writeProfile(const Controls& controls, std::string& text, std::string& error) {
    text = kProfileHeader;
    for (const SettingRow& row : settingCatalogue()) {
        if (!row.getCode) {
            continue;
        }
        const auto lines = settingLines(controls, row);
        const auto fields = settingFields(row);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string key = fieldKey(row, fields[i]);
            if (lines[i].find_first_of("\r\n") != std::string::npos) {
                error = "the value of " + key + " does not fit on one line";
                return false;
            }
            // load-all would refuse it, and a terminal showing the file might act on it.
            if (hasControlCharacter(lines[i])) {
                error = "the value of " + key + " holds a control character";
                return false;
            }
            text += lines[i];
            text += '\n';
        }
    }
    return true;
}

bool parseProfile(std::string_view text, std::vector<ProfileEntry>& entries, std::string& error,
                  Placeholders use) {
    entries.clear();
    if (text.starts_with(kUtf8Mark)) {
        text.remove_prefix(kUtf8Mark.size());
    }
    const std::set<int> written = writtenControls();
    std::map<int, const ProfileEntry*> byControl;
    std::vector<ProfileEntry> parsed;
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (isBlank(line) || isComment(line)) {
            continue;
        }
        ProfileEntry entry{};
        if (!parseLine(line, lineNumber, entry, error)) {
            error = lineLabel(lineNumber) + error;
            return false;
        }
        entry.written = written.contains(entry.field->controlId);
        parsed.push_back(std::move(entry));
    }

    // Values are checked on controls of their own: nothing is filled for real before the
    // whole profile has passed.
    MemoryControls scratch;
    setUpPageControls(scratch);
    for (const ProfileEntry& entry : parsed) {
        const auto [previous, first] = byControl.emplace(entry.field->controlId, &entry);
        if (!first) {
            const ProfileEntry& earlier = *previous->second;
            error = lineLabel(entry.lineNumber) + fieldKey(*entry.row, *entry.field) +
                    " gives again the field of line " + std::to_string(earlier.lineNumber) + " (" +
                    fieldKey(*earlier.row, *earlier.field) + ")";
            return false;
        }
        if (!fillTemplateValue(scratch, *entry.row, *entry.field, entry.value, use, error)) {
            error = lineLabel(entry.lineNumber) + error;
            return false;
        }
    }

    std::string missing;
    std::set<int> named;
    for (const SettingRow& row : settingCatalogue()) {
        for (const SettingField& field : settingFields(row)) {
            const int id = field.controlId;
            if (row.setCode && !byControl.contains(id) && named.insert(id).second) {
                missing += (missing.empty() ? "" : ", ") + profileKeyOf(id);
            }
        }
    }
    if (!missing.empty()) {
        error = "no line for " + missing + " (load-all writes every setting)";
        return false;
    }
    entries = std::move(parsed);
    return true;
}

void applyProfile(Controls& controls, const std::vector<ProfileEntry>& entries) {
    for (const ProfileEntry& entry : entries) {
        if (entry.written) {
            std::string error;
            (void)fillFieldValue(controls, *entry.row, *entry.field, entry.value, error);
        }
    }
}
