#include "provision/overrides.h"

#include "controls/memory_controls.h"
#include "controls/wire_text.h"
#include "profile/printable_text.h"
#include "profile/setting_values.h"
#include "provision/device_keys.h"
#include "ui/page_setup.h"

#include <map>

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

struct Cell {
    int line;
    std::string value;
};

struct Record {
    int line;
    std::string_view text;
    std::vector<Cell> cells;
};

std::string at(int line, std::size_t column) {
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
}

// Why a key cell names no tracker; empty when it is of its form.
std::string keyProblem(OverrideKey kind, const std::string& key) {
    if (kind == OverrideKey::Imei) {
        return isValidImei(key) ? ""
                                : "'" + printableText(key) +
                                      "' is not an IMEI (15 digits with their check digit)";
    }
    return isValidDeviceId(key) ? ""
                                : "'" + printableText(key) +
                                      "' is not a device ID (1 to 64 printable ASCII characters "
                                      "without blanks, quotes, commas or braces)";
}

// Splits the file into records of cells; false with the problem at its cell.
bool readRecords(std::string_view csv, std::vector<Record>& records, std::string& error) {
    if (csv.starts_with(kUtf8Mark)) {
        csv.remove_prefix(kUtf8Mark.size());
    }
    std::size_t pos = 0;
    int line = 1;
    const auto lineEndAt = [&](std::size_t p) {
        return p >= csv.size() || csv[p] == '\n' ||
               (csv[p] == '\r' && p + 1 < csv.size() && csv[p + 1] == '\n');
    };
    while (pos < csv.size()) {
        Record record{line, {}, {}};
        const std::size_t start = pos;
        for (;;) {
            Cell cell{line, {}};
            const std::size_t column = record.cells.size() + 1;
            if (pos < csv.size() && csv[pos] == '"') {
                ++pos;
                for (;;) {
                    if (pos >= csv.size()) {
                        error = at(cell.line, column) + "unterminated quoted field";
                        return false;
                    }
                    if (csv[pos] == '"') {
                        if (pos + 1 < csv.size() && csv[pos + 1] == '"') {
                            cell.value += '"';
                            pos += 2;
                            continue;
                        }
                        ++pos;
                        break;
                    }
                    line += csv[pos] == '\n' ? 1 : 0;
                    cell.value += csv[pos++];
                }
                if (pos < csv.size() && csv[pos] != ',' && !lineEndAt(pos)) {
                    error = at(cell.line, column) + "text after the closing quote";
                    return false;
                }
            } else {
                while (pos < csv.size() && csv[pos] != ',' && !lineEndAt(pos)) {
                    if (csv[pos] == '"') {
                        // Most often a blank before an opening quote: the cell would split.
                        error = at(cell.line, column) + "quote inside an unquoted field";
                        return false;
                    }
                    cell.value += csv[pos++];
                }
            }
            if (!isUtf8(cell.value)) {
                error = at(cell.line, column) + "not UTF-8";
                return false;
            }
            record.cells.push_back(std::move(cell));
            if (pos < csv.size() && csv[pos] == ',') {
                ++pos;
                continue;
            }
            break;
        }
        record.text = csv.substr(start, pos - start);
        if (pos < csv.size()) {
            pos += csv[pos] == '\r' ? 2 : 1;
            ++line;
        }
        records.push_back(std::move(record));
    }
    // Editors and spreadsheets often leave blank lines after the last record.
    while (!records.empty() && records.back().text.empty()) {
        records.pop_back();
    }
    return true;
}

bool readHeader(const Record& header, OverrideTable& table, std::string& error) {
    const std::string& first = header.cells[0].value;
    if (first != "imei" && first != "device-id") {
        error = at(header.line, 1) + "the first header is '" + first + "', not imei or device-id";
        return false;
    }
    table.key = first == "imei" ? OverrideKey::Imei : OverrideKey::DeviceId;
    std::map<int, std::size_t> byControl;
    for (std::size_t i = 1; i < header.cells.size(); ++i) {
        const Cell& cell = header.cells[i];
        OverrideColumn column{cell.value, nullptr, nullptr};
        if (!findField(cell.value, column.row, column.field)) {
            error = at(cell.line, i + 1) + "no setting field '" + cell.value + "'";
            return false;
        }
        if (!column.row->setCode) {
            error = at(cell.line, i + 1) + fieldKey(*column.row, *column.field) + " is read-only";
            return false;
        }
        const auto [earlier, first] = byControl.emplace(column.field->controlId, i + 1);
        if (!first) {
            error = at(cell.line, i + 1) + fieldKey(*column.row, *column.field) +
                    " given twice (column " + std::to_string(earlier->second) + ")";
            return false;
        }
        table.columns.push_back(std::move(column));
    }
    return true;
}

} // namespace

bool parseOverrides(std::string_view csv, OverrideTable& table, std::string& error) {
    table = {};
    std::vector<Record> records;
    if (!readRecords(csv, records, error)) {
        return false;
    }
    if (records.empty()) {
        error = at(1, 1) + "no header";
        return false;
    }
    OverrideTable parsed;
    if (!readHeader(records[0], parsed, error)) {
        return false;
    }
    const std::size_t width = parsed.columns.size() + 1;
    const char* keyName = parsed.key == OverrideKey::Imei ? "IMEI" : "device ID";
    // Values are checked on controls of their own, as a profile's are.
    MemoryControls scratch;
    setUpPageControls(scratch);
    std::map<std::string, int, std::less<>> byKey;
    for (std::size_t r = 1; r < records.size(); ++r) {
        const Record& record = records[r];
        if (record.text.empty()) {
            error = at(record.line, 1) + "blank line";
            return false;
        }
        const std::vector<Cell>& cells = record.cells;
        if (cells.size() != width) {
            error = at(cells.back().line, cells.size()) + std::to_string(cells.size()) +
                    " cells, the header has " + std::to_string(width);
            return false;
        }
        if (cells[0].value.empty()) {
            error = at(cells[0].line, 1) + "no " + keyName;
            return false;
        }
        if (std::string problem = keyProblem(parsed.key, cells[0].value); !problem.empty()) {
            error = at(cells[0].line, 1) + problem;
            return false;
        }
        const auto [earlier, first] = byKey.emplace(cells[0].value, record.line);
        if (!first) {
            error = at(cells[0].line, 1) + "device " + cells[0].value + " given twice (line " +
                    std::to_string(earlier->second) + ")";
            return false;
        }
        OverrideRow row{record.line, cells[0].value, {}, std::string(record.text)};
        for (std::size_t i = 1; i < width; ++i) {
            const std::string& value = cells[i].value;
            const OverrideColumn& column = parsed.columns[i - 1];
            if (!value.empty() && !fillTemplateValue(scratch, *column.row, *column.field, value,
                                                     Placeholders::Filled, error)) {
                error = at(cells[i].line, i + 1) + error;
                return false;
            }
            row.values.push_back(value);
        }
        parsed.rows.push_back(std::move(row));
    }
    table = std::move(parsed);
    return true;
}

const OverrideRow* findOverrideRow(const OverrideTable& table, std::string_view imei,
                                   std::string_view deviceId) {
    const std::string_view key = table.key == OverrideKey::Imei ? imei : deviceId;
    for (const OverrideRow& row : table.rows) {
        if (row.key == key) {
            return &row;
        }
    }
    return nullptr;
}

bool fillDeviceValues(Controls& controls, const std::vector<ProfileEntry>& profile,
                      const OverrideTable* table, const OverrideRow* row, std::string_view imei,
                      std::string_view deviceId, std::string& error) {
    for (const ProfileEntry& entry : profile) {
        if (entry.written &&
            !fillFieldValue(controls, *entry.row, *entry.field,
                            expandPlaceholders(entry.value, imei, deviceId), error)) {
            error = "profile line " + std::to_string(entry.lineNumber) + ": " + error;
            return false;
        }
    }
    if (table == nullptr || row == nullptr) {
        return true;
    }
    for (std::size_t i = 0; i < row->values.size() && i < table->columns.size(); ++i) {
        const OverrideColumn& column = table->columns[i];
        if (!row->values[i].empty() &&
            !fillFieldValue(controls, *column.row, *column.field,
                            expandPlaceholders(row->values[i], imei, deviceId), error)) {
            error = "overrides line " + std::to_string(row->lineNumber) + ", column " +
                    std::to_string(i + 2) + ": " + error;
            return false;
        }
    }
    return true;
}
