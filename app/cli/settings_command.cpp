#include "app/cli/commands.h"
#include "app/cli/connected_run.h"
#include "app/cli/json_lines.h"
#include "app/cli/stop_request.h"
#include "profile/placeholders.h"
#include "profile/printable_text.h"
#include "profile/setting_values.h"
#include "settings/setting_shapes.h"
#include "ui/page_setup.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr const char* kGetHelp =
    "usage: tarnwick-cli [--json] (--port PATH | --simulate) get NAME...\n"
    "\n"
    "Connects, reads each setting in the order given and prints one NAME=VALUE line per\n"
    "setting read (NAME.FIELD=VALUE for each field of a setting of several controls). The\n"
    "device's log lines go to stderr. Exit status 0 only when every read succeeded.\n"
    "With --json, one object per setting instead, the values in the same text forms:\n"
    "  {\"name\":\"mqtt-port\",\"value\":\"1883\"}\n"
    "  {\"name\":\"bracelet\",\"fields\":{\"address\":\"D43639A10B7E\",\n"
    "   \"type\":\"Halvorn Tessel\",\"period\":\"10\"}}\n"
    "'tarnwick-cli names' lists the names and fields.\n";

constexpr const char* kSetHelp =
    "usage: tarnwick-cli [--json] (--port PATH | --simulate) set NAME=VALUE... [--verify]\n"
    "\n"
    "Connects and writes each setting in the order the settings first appear. A setting of\n"
    "several controls takes its fields as separate arguments and is written once:\n"
    "  set bracelet.address=0A1B2C3D4E5F bracelet.type=\"Halvorn Tessel\" bracelet.period=30\n"
    "Flags take 0 or 1, numbers are decimal, lists take their entry text (lora-band\n"
    "EU863-870), siz-rssi takes dBm from -128 to 127, texts are taken as they are (split at\n"
    "the first '='). The device's log lines go to stderr; exit status 0 only when every write\n"
    "succeeded. An unknown name, a malformed value, and {imei} or {device-id} (only\n"
    "provision fills them in) or another {word} are refused before anything is sent.\n"
    "Fields left out keep the device's values: the setting is read first.\n"
    "\n"
    "--verify reads every setting written back and compares each field with what was\n"
    "written: one 'verify: ' line on stderr per field that differs, one for the settings that\n"
    "cannot be read back, and a summary; a password or key that differs is named without its\n"
    "values ('wifi-password: differs (secret)'). Exit status 3 when a field differs. With\n"
    "--json the results are also objects on stdout:\n"
    "  {\"verify\":\"mismatch\",\"key\":\"mqtt-port\",\"written\":\"8883\",\"device\":\"1883\"}\n"
    "  {\"verify\":\"mismatch\",\"key\":\"wifi-password\",\"secret\":true}\n"
    "  {\"verify\":\"summary\",\"read\":1,\"differ\":1,\"writeOnly\":[],\"readOnly\":[],\n"
    "   \"allRead\":true}\n";

constexpr const char* kNamesHelp = "usage: tarnwick-cli names\n"
                                   "\n"
                                   "Lists every setting name and whether it can be read and "
                                   "written.\n";

std::string fieldList(const SettingRow& row) {
    std::string keys;
    for (const SettingField& field : settingFields(row)) {
        keys += (keys.empty() ? "" : ", ") + fieldKey(row, field);
    }
    return keys;
}

// The values given for one setting, applied together before its one set operation.
struct RowAssignment {
    const SettingRow* row;
    std::vector<std::pair<const SettingField*, std::string>> values;
};

// Groups NAME=VALUE arguments by setting, in the order the settings first appear; an empty
// string on success, else why the arguments are refused.
std::string parseAssignments(const std::vector<std::string>& args,
                             std::vector<RowAssignment>& assignments) {
    for (const std::string& arg : args) {
        const std::size_t equals = arg.find('=');
        if (equals == std::string::npos) {
            return "'" + arg + "' is not NAME=VALUE";
        }
        const std::string key = arg.substr(0, equals);
        const SettingRow* row = nullptr;
        const SettingField* field = nullptr;
        if (!findField(key, row, field)) {
            const SettingRow* whole = findSettingByName(key);
            if (whole != nullptr) {
                return key + " is set by its fields: " + fieldList(*whole);
            }
            return "unknown setting '" + key + "'; writable names: " + settingNames(true);
        }
        if (!row->setCode) {
            return "'" + std::string(row->name) +
                   "' is read only; writable names: " + settingNames(true);
        }
        for (const RowAssignment& earlier : assignments) {
            for (const auto& [givenField, value] : earlier.values) {
                if (givenField->controlId == field->controlId) {
                    return key + " is given twice (first as " +
                           fieldKey(*earlier.row, *givenField) + ")";
                }
            }
        }
        auto it = std::find_if(assignments.begin(), assignments.end(),
                               [row](const RowAssignment& a) { return a.row == row; });
        if (it == assignments.end()) {
            assignments.push_back({row, {}});
            it = assignments.end() - 1;
        }
        it->values.emplace_back(field, arg.substr(equals + 1));
    }
    return assignments.empty()
               ? "give at least one NAME=VALUE; writable names: " + settingNames(true)
               : "";
}

bool fillAssignment(MemoryControls& controls, const RowAssignment& assignment, std::string& error) {
    for (const auto& [field, value] : assignment.values) {
        if (!fillFieldValue(controls, *assignment.row, *field, value, error)) {
            return false;
        }
    }
    return true;
}

// Every value checked on scratch controls before anything is sent, as a profile's line: its
// field's form, and no placeholder (only provision fills them in).
bool checkAssignments(const std::vector<RowAssignment>& assignments, std::string& error) {
    MemoryControls scratch;
    setUpPageControls(scratch);
    for (const RowAssignment& assignment : assignments) {
        for (const auto& [field, value] : assignment.values) {
            error = placeholderProblem(value, Placeholders::Refused);
            if (!error.empty()) {
                error = fieldKey(*assignment.row, *field) + ": " + error;
                return false;
            }
        }
        if (!fillAssignment(scratch, assignment, error)) {
            return false;
        }
    }
    return true;
}

} // namespace

int runGetCommand(const CliOptions& options) {
    if (wantsHelp(options)) {
        std::fputs(kGetHelp, stdout);
        return kExitOk;
    }
    std::vector<const SettingRow*> rows;
    for (const std::string& name : options.args) {
        const SettingRow* row = findSettingByName(name);
        if (row == nullptr) {
            return refuse("get",
                          "unknown setting '" + name + "'; valid names: " + settingNames(false));
        }
        if (!row->getCode) {
            return refuse("get", "'" + name + "' is write only");
        }
        rows.push_back(row);
    }
    if (rows.empty()) {
        return refuse("get", "name at least one setting; valid names: " + settingNames(false));
    }
    return runConnected(options, "get", [&](SettingContext& context, MemoryControls& controls) {
        bool all = true;
        for (const SettingRow* row : rows) {
            if (stopRequested()) {
                return false;
            }
            if (!getSetting(context, *row)) {
                all = false;
                continue;
            }
            if (options.json) {
                printJsonLine(settingJson(controls, *row));
            } else {
                // A device text may hold a line break: it must not pass for another setting.
                for (const std::string& line : settingLines(controls, *row)) {
                    std::printf("%s\n", printableText(line).c_str());
                }
            }
            all = outputWritten("get") && all;
        }
        return all;
    });
}

int runSetCommand(const CliOptions& options) {
    if (wantsHelp(options)) {
        std::fputs(kSetHelp, stdout);
        return kExitOk;
    }
    std::vector<std::string> args = options.args;
    const auto verifyFlag = std::remove(args.begin(), args.end(), "--verify");
    const bool verify = verifyFlag != args.end();
    args.erase(verifyFlag, args.end());
    std::vector<RowAssignment> assignments;
    if (const std::string problem = parseAssignments(args, assignments); !problem.empty()) {
        return refuse("set", problem);
    }
    if (std::string error; !checkAssignments(assignments, error)) {
        return refuse("set", error);
    }
    bool differs = false;
    const int status =
        runConnected(options, "set", [&](SettingContext& context, MemoryControls& controls) {
            bool all = true;
            std::vector<const SettingRow*> written;
            for (const RowAssignment& assignment : assignments) {
                if (stopRequested()) {
                    return false;
                }
                // Fields not given keep the device's values: read them first, so that
                // setting one log flag does not clear the other 24.
                std::set<const SettingField*> given;
                for (const auto& value : assignment.values) {
                    given.insert(value.first);
                }
                const bool partial = given.size() < settingFields(*assignment.row).size();
                if (partial && assignment.row->getCode && !getSetting(context, *assignment.row)) {
                    all = false;
                    continue;
                }
                std::string error;
                (void)fillAssignment(controls, assignment, error);
                all = setSetting(context, *assignment.row) && all;
                written.push_back(assignment.row);
            }
            if (verify && !stopRequested()) {
                all = verifyWritten(options, context, written, differs) && all;
            }
            return all;
        });
    return status == kExitOk && differs ? kExitDiffers : status;
}

int runNamesCommand(const CliOptions& options) {
    if (wantsHelp(options)) {
        std::fputs(kNamesHelp, stdout);
        return kExitOk;
    }
    for (const SettingRow& row : settingCatalogue()) {
        const char* access = row.getCode && row.setCode ? "read write"
                             : row.getCode              ? "read"
                                                        : "write";
        std::printf("%-20s %-10s", row.name, access);
        if (!row.fields.empty() && row.fields[0].name[0] != '\0') {
            std::printf(" %s", fieldList(row).c_str());
        }
        std::printf("\n");
    }
    return kExitOk;
}
