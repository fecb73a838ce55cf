#include "app/cli/commands.h"
#include "app/cli/connected_run.h"
#include "app/cli/log_results.h"
#include "app/cli/private_file.h"
#include "app/cli/stop_request.h"
#include "profile/printable_text.h"
#include "profile/profile.h"
#include "ui/menu_commands.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char* kReadAllHelp =
    "usage: tarnwick-cli (--port PATH | --simulate) read-all [--output FILE]\n"
    "\n"
    "Connects, reads every setting the way the menu's read all does, and prints the\n"
    "profile: a '#' header line, then one NAME=VALUE line per field of every readable\n"
    "setting, in the order they are read (NAME.FIELD=VALUE for a setting of several\n"
    "controls). With --output the profile goes to FILE instead, readable and writable by its\n"
    "owner only, since it holds passwords. The device's log lines go to stderr. Exit status\n"
    "0 only when every read succeeded; otherwise no profile is written.\n";

constexpr const char* kLoadAllHelp =
    "usage: tarnwick-cli (--port PATH | --simulate) load-all FILE\n"
    "\n"
    "Reads a profile as read-all writes it, then connects and writes every writable setting\n"
    "the way the menu's load all does. Blank lines and '#' comments are skipped and the\n"
    "lines may come in any order. The whole profile is checked first; nothing is sent, and\n"
    "the exit status is 2, for a line that names no setting field, has no '=', has a value\n"
    "of the wrong form or gives a field twice, or when a written field has no line.\n"
    "Lines of the settings the device only reports (imei, imsi, device-id, xnb-id) are\n"
    "checked and ignored. The aux-sensors.* lines are what the gas analyzer and the token\n"
    "are written from (gas-analyzer.* and token.* lines may stand in for them). An empty\n"
    "value leaves its field empty, and that setting's write then fails in its own log line.\n"
    "The device's log lines go to stderr; exit status 0 only when every write succeeded.\n";

std::size_t countRows(bool writes) {
    const auto rows = settingCatalogue();
    return static_cast<std::size_t>(std::count_if(rows.begin(), rows.end(), [writes](auto& row) {
        return writes ? row.setCode.has_value() : row.getCode.has_value();
    }));
}

} // namespace

int runReadAllCommand(const CliOptions& options) {
    if (wantsHelp(options)) {
        std::fputs(kReadAllHelp, stdout);
        return kExitOk;
    }
    std::string outputPath;
    for (std::size_t i = 0; i < options.args.size(); ++i) {
        if (options.args[i] != "--output") {
            return refuse("read-all", "unexpected argument '" + options.args[i] + "'");
        }
        if (!outputPath.empty() || i + 1 >= options.args.size() || options.args[i + 1].empty()) {
            return refuse("read-all", "--output needs one FILE");
        }
        outputPath = options.args[++i];
    }
    // Found out before a read all that may take minutes, not after it.
    if (std::string error; !outputPath.empty() && !canWritePrivateFile(outputPath, error)) {
        return refuse("read-all", error);
    }
    return runConnected(
        options, "read-all", [&outputPath](SettingContext& context, MemoryControls& controls) {
            controls.clearLog();
            getAllSettings(context, &stopRequested);
            if (stopRequested()) {
                return false;
            }
            if (!allSucceeded(controls.log(), countRows(false))) {
                std::fputs("read-all: not every read succeeded; no profile written\n", stderr);
                return false;
            }
            std::string profile;
            std::string error;
            if (!writeProfile(controls, profile, error)) {
                std::fprintf(stderr, "read-all: %s; no profile written\n", error.c_str());
                return false;
            }
            if (outputPath.empty()) {
                std::fwrite(profile.data(), 1, profile.size(), stdout);
                return outputWritten("read-all");
            }
            if (!writePrivateFile(outputPath, profile, error)) {
                std::fprintf(stderr, "read-all: %s\n", printableText(error).c_str());
                return false;
            }
            return true;
        });
}

int runLoadAllCommand(const CliOptions& options) {
    if (wantsHelp(options)) {
        std::fputs(kLoadAllHelp, stdout);
        return kExitOk;
    }
    if (options.args.size() != 1 || options.args[0].starts_with("--")) {
        return refuse("load-all", "give one profile FILE");
    }
    const std::string& path = options.args[0];
    std::string text;
    std::string error;
    if (!readWholeFile(path, text, error)) {
        return refuse("load-all", error);
    }
    if (isReadableByOthers(path)) {
        std::fprintf(stderr,
                     "load-all: warning: others can read %s, which holds passwords "
                     "(chmod 600 %s)\n",
                     printableText(path).c_str(), printableText(path).c_str());
    }
    std::vector<ProfileEntry> entries;
    if (!parseProfile(text, entries, error)) {
        return refuse("load-all", path + ": " + error);
    }
    return runConnected(options, "load-all",
                        [&entries](SettingContext& context, MemoryControls& controls) {
                            applyProfile(controls, entries);
                            controls.clearLog();
                            setAllSettings(context, &stopRequested);
                            if (stopRequested()) {
                                return false;
                            }
                            if (!allSucceeded(controls.log(), countRows(true))) {
                                std::fputs("load-all: not every write succeeded\n", stderr);
                                return false;
                            }
                            return true;
                        });
}
