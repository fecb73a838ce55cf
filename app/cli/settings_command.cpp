#include "app/cli/commands.h"
#include "app/cli/connected_run.h"
#include "app/cli/setting_values.h"
#include "settings/setting_shapes.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char* kGetHelp =
    "usage: tarnwick-cli (--port PATH | --simulate) get NAME...\n"
    "\n"
    "Connects, reads each setting in the order given and prints one NAME=VALUE line per\n"
    "setting read. The device's log lines go to stderr. Exit status 0 only when every\n"
    "read succeeded. 'tarnwick-cli names' lists the names.\n";

constexpr const char* kSetHelp =
    "usage: tarnwick-cli (--port PATH | --simulate) set NAME=VALUE...\n"
    "\n"
    "Connects and writes each setting in the order given. Flags take 0 or 1, numbers are\n"
    "decimal, lora-band takes EU863-870 or RU864-870, texts are taken as they are (split at\n"
    "the first '='). The device's log lines go to stderr; exit status 0 only when every write\n"
    "succeeded. An unknown name or a malformed value is refused before anything is sent.\n";

constexpr const char* kNamesHelp = "usage: tarnwick-cli names\n"
                                   "\n"
                                   "Lists every setting name and whether it can be read and "
                                   "written.\n";

bool wantsHelp(const CliOptions& options) {
    if (options.help) {
        return true;
    }
    for (const std::string& arg : options.args) {
        if (arg == "--help") {
            return true;
        }
    }
    return false;
}

std::string validNames(bool writableOnly) {
    std::string names;
    for (const SettingRow& row : settingCatalogue()) {
        if (!writableOnly || row.setCode) {
            names += names.empty() ? "" : ", ";
            names += row.name;
        }
    }
    return names;
}

int refuse(const char* command, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", command, message.c_str());
    return kExitUsage;
}

struct Assignment {
    const SettingRow* row;
    std::string value;
};

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
                          "unknown setting '" + name + "'; valid names: " + validNames(false));
        }
        rows.push_back(row);
    }
    if (rows.empty()) {
        return refuse("get", "name at least one setting; valid names: " + validNames(false));
    }
    return runConnected(options, "get", [&rows](SettingContext& context, MemoryControls& controls) {
        bool all = true;
        for (const SettingRow* row : rows) {
            if (getSetting(context, *row)) {
                std::printf("%s=%s\n", row->name, settingValueText(controls, *row).c_str());
                std::fflush(stdout);
            } else {
                all = false;
            }
        }
        return all;
    });
}

int runSetCommand(const CliOptions& options) {
    if (wantsHelp(options)) {
        std::fputs(kSetHelp, stdout);
        return kExitOk;
    }
    std::vector<Assignment> assignments;
    for (const std::string& arg : options.args) {
        const std::size_t equals = arg.find('=');
        if (equals == std::string::npos) {
            return refuse("set", "'" + arg + "' is not NAME=VALUE");
        }
        const std::string name = arg.substr(0, equals);
        const SettingRow* row = findSettingByName(name);
        if (row == nullptr || !row->setCode) {
            const std::string what =
                row == nullptr ? "unknown setting '" + name + "'" : "'" + name + "' is read only";
            return refuse("set", what + "; writable names: " + validNames(true));
        }
        assignments.push_back({row, arg.substr(equals + 1)});
    }
    if (assignments.empty()) {
        return refuse("set", "give at least one NAME=VALUE; writable names: " + validNames(true));
    }
    // Every value is checked on a scratch set of controls before anything is sent.
    MemoryControls scratch;
    fillSettingLists(scratch);
    for (const Assignment& assignment : assignments) {
        std::string error;
        if (!fillSettingValue(scratch, *assignment.row, assignment.value, error)) {
            return refuse("set", error);
        }
    }
    return runConnected(
        options, "set", [&assignments](SettingContext& context, MemoryControls& controls) {
            bool all = true;
            for (const Assignment& assignment : assignments) {
                std::string error;
                (void)fillSettingValue(controls, *assignment.row, assignment.value, error);
                all = setSetting(context, *assignment.row) && all;
            }
            return all;
        });
}

int runNamesCommand(const CliOptions& options) {
    if (wantsHelp(options)) {
        std::fputs(kNamesHelp, stdout);
        return kExitOk;
    }
    for (const SettingRow& row : settingCatalogue()) {
        std::printf("%-20s %s\n", row.name, row.setCode ? "read write" : "read");
    }
    return kExitOk;
}
