#include "app/cli/commands.h"
#include "app/cli/connected_run.h"
#include "app/cli/json_lines.h"
#include "app/cli/log_results.h"
#include "app/cli/named_files.h"
#include "app/cli/private_file.h"
#include "app/cli/stop_request.h"
#include "profile/planned_writes.h"
#include "profile/printable_text.h"
#include "profile/profile.h"
#include "profile/profile_diff.h"
#include "profile/read_back.h"
#include "profile/setting_values.h"
#include "settings/setting_shapes.h"
#include "ui/menu_commands.h"
#include "ui/page_setup.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr const char* kReadAllHelp =
    "usage: tarnwick-cli [--json] (--port PATH | --simulate) read-all [--output FILE]\n"
    "\n"
    "Connects, reads every setting the way the menu's read all does, and prints the\n"
    "profile: a '#' header line, then one NAME=VALUE line per field of every readable\n"
    "setting, in the order they are read (NAME.FIELD=VALUE for a setting of several\n"
    "controls). With --output the profile goes to FILE instead, readable and writable by its\n"
    "owner only, since it holds passwords. The device's log lines go to stderr. Exit status\n"
    "0 only when every read succeeded; otherwise no profile is written. With --json stdout\n"
    "gets one object per setting instead, as 'get --json' prints them (--output FILE still\n"
    "gets the profile).\n";

constexpr const char* kLoadAllHelp =
    "usage: tarnwick-cli [--json] (--port PATH | --simulate) load-all FILE [--changed-only]\n"
    "                    [--verify]\n"
    "\n"
    "Reads a profile as read-all writes it, then connects and writes every writable setting\n"
    "the way the menu's load all does. Blank lines and '#' comments are skipped and the\n"
    "lines may come in any order. The whole profile is checked first; nothing is sent, and\n"
    "the exit status is 2, for a line that names no setting field, has no '=', has a value\n"
    "of the wrong form or gives a field twice, when a written field has no line, when a\n"
    "value holds {imei} or {device-id} (only provision fills them in) or another {word}, or\n"
    "when a setting's write would refuse its values (data-period=5: below its minimum).\n"
    "Lines of the settings the device only reports (imei, imsi, device-id, xnb-id) are\n"
    "checked and ignored. The aux-sensors.* lines are what the gas analyzer and the token\n"
    "are written from (gas-analyzer.* and token.* lines may stand in for them). A setting\n"
    "whose fields are all empty and that cannot be written empty (what read-all writes for a\n"
    "tracker without a token, or without LoRa keys) is skipped with a 'Skipping' line and not\n"
    "read back; an empty text is written, and clears the device's.\n"
    "The device's log lines go to stderr; exit status 0 only when every write succeeded.\n"
    "\n"
    "--changed-only reads the device first and writes only the settings with a field that\n"
    "differs from the profile, saying on stderr how many it skipped; gas-analyzer and token\n"
    "cannot be read back and are always written. A failed read writes nothing.\n"
    "--verify reads back what was written, as 'set --verify' does: exit status 3 when a\n"
    "field differs.\n";

constexpr const char* kDiffHelp =
    "usage: tarnwick-cli [--json] (--port PATH | --simulate) diff FILE\n"
    "       tarnwick-cli [--json] diff FILE1 FILE2\n"
    "\n"
    "Compares a profile with the device (read the way read-all reads it), or two profiles\n"
    "without a device, and prints one line per field that differs, 'KEY: A -> B', A from\n"
    "the first file and B from the device or the second file; nothing for equal fields.\n"
    "Values are compared in the forms read-all writes (mqtt-port=01883 equals 1883), each\n"
    "field under the key read-all gives it. The profiles are checked as load-all checks\n"
    "them; the lines of the settings the device only reports (imei, imsi, device-id,\n"
    "xnb-id) may be left out, and such a field is then not compared. With --json, one object\n"
    "per difference: {\"key\":\"mqtt-port\",\"a\":\"1883\",\"b\":\"8883\"}. A password or\n"
    "key that differs is named without its values: 'wifi-password: differs (secret)',\n"
    "{\"key\":\"wifi-password\",\"secret\":true}. Exit status 0 when equal, 3 when a field\n"
    "differs, 1 when a read failed, 2 for a refused profile.\n";

void logToStderr(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

// A profile as load-all takes it: its lines, the settings its values write and the ones they
// leave out.
struct LoadPlan {
    std::vector<ProfileEntry> entries;
    std::vector<const SettingRow*> writes;
    std::vector<std::string> skipped;
};

// Checks a profile as load-all does before it connects: its lines, and no write's own input
// check refusing its values. False with why not.
bool planLoad(std::string_view text, LoadPlan& plan, std::string& error) {
    if (!parseProfile(text, plan.entries, error)) {
        return false;
    }
    MemoryControls scratch;
    setUpPageControls(scratch);
    applyProfile(scratch, plan.entries);
    plan.writes = plannedWrites(scratch, plan.skipped);
    return checkPlannedWrites(scratch, plan.writes, error);
}

// Whatever read-all writes, load-all takes: false with why not.
bool loadable(const std::string& profile, std::string& error) {
    LoadPlan plan;
    if (!planLoad(profile, plan, error)) {
        error = "load-all would refuse the profile: " + error;
        return false;
    }
    return true;
}

// The profile, checked; false with a refusal already written.
bool readProfile(const char* command, const std::string& path, LoadPlan& plan) {
    std::string text;
    std::string error;
    if (!readWholeFile(path, text, error)) {
        refuse(command, error);
        return false;
    }
    if (!planLoad(text, plan, error)) {
        refuse(command, path + ": " + error);
        return false;
    }
    return true;
}

// Prints the differences; true when there are none.
bool printDifferences(const CliOptions& options, const std::vector<FieldDifference>& differences) {
    for (const FieldDifference& difference : differences) {
        if (options.json && difference.secret) {
            printJsonLine({{"key", difference.key}, {"secret", true}});
        } else if (options.json) {
            printJsonLine({{"key", difference.key}, {"a", difference.a}, {"b", difference.b}});
        } else {
            std::printf("%s\n", differenceText(difference).c_str());
        }
    }
    return differences.empty();
}

std::size_t countRows(bool writes) {
    const auto rows = settingCatalogue();
    return static_cast<std::size_t>(std::count_if(rows.begin(), rows.end(), [writes](auto& row) {
        return writes ? row.setCode.has_value() : row.getCode.has_value();
    }));
}

// The menu's read all into `controls`; false, with `failure` on stderr, unless every read
// succeeded (and quietly on a stop request, which the run reports).
bool readEverySetting(SettingContext& context, MemoryControls& controls, const char* failure) {
    controls.clearLog();
    getAllSettings(context, &stopRequested);
    if (stopRequested()) {
        return false;
    }
    if (!allSucceeded(controls.log(), countRows(false))) {
        std::fputs(failure, stderr);
        return false;
    }
    return true;
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
        options, "read-all",
        [&](SettingContext& context, MemoryControls& controls) {
            if (!readEverySetting(context, controls,
                                  "read-all: not every read succeeded; no profile written\n")) {
                return false;
            }
            if (options.json) {
                for (const SettingRow& row : settingCatalogue()) {
                    if (row.getCode) {
                        printJsonLine(settingJson(controls, row));
                    }
                }
                if (!outputWritten("read-all")) {
                    return false;
                }
                if (outputPath.empty()) {
                    return true;
                }
            }
            std::string profile;
            std::string error;
            if (!writeProfile(controls, profile, error) || !loadable(profile, error)) {
                std::fprintf(stderr, "read-all: %s; no profile written\n",
                             printableText(error).c_str());
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
        },
        {{"--output", outputPath, true}});
}

bool verifyWritten(const CliOptions& options, SettingContext& context,
                   std::span<const SettingRow* const> written, bool& differs) {
    const ReadBackResult result = readBack(context.link, context.controls, written, &logToStderr);
    for (const FieldMismatch& mismatch : result.mismatches) {
        std::fprintf(stderr, "verify: %s\n", mismatchText(mismatch).c_str());
        if (options.json && mismatch.secret) {
            printJsonLine({{"verify", "mismatch"}, {"key", mismatch.key}, {"secret", true}});
        } else if (options.json) {
            printJsonLine({{"verify", "mismatch"},
                           {"key", mismatch.key},
                           {"written", mismatch.written},
                           {"device", mismatch.device}});
        }
    }
    if (const std::string text = notVerifiableText(result); !text.empty()) {
        std::fprintf(stderr, "verify: %s\n", text.c_str());
    }
    std::fprintf(stderr, "verify: %s\n", readBackSummary(result).c_str());
    if (options.json) {
        printJsonLine({{"verify", "summary"},
                       {"read", result.settingsRead},
                       {"differ", result.mismatches.size()},
                       {"writeOnly", result.writeOnly},
                       {"readOnly", result.readOnly},
                       {"allRead", result.readsSucceeded}});
    }
    differs = !result.mismatches.empty();
    return outputWritten("verify") && result.readsSucceeded;
}

int runLoadAllCommand(const CliOptions& options) {
    if (wantsHelp(options)) {
        std::fputs(kLoadAllHelp, stdout);
        return kExitOk;
    }
    std::vector<std::string> files;
    bool changedOnly = false;
    bool verify = false;
    for (const std::string& arg : options.args) {
        if (arg == "--changed-only" || arg == "--verify") {
            (arg == "--verify" ? verify : changedOnly) = true;
        } else if (arg.starts_with("--")) {
            return refuse("load-all", "unexpected argument '" + arg + "'");
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 1) {
        return refuse("load-all", "give one profile FILE");
    }
    const std::string& path = files[0];
    LoadPlan plan;
    if (!readProfile("load-all", path, plan)) {
        return kExitUsage;
    }
    if (isReadableByOthers(path)) {
        std::fprintf(stderr,
                     "load-all: warning: others can read %s, which holds passwords "
                     "(chmod 600 %s)\n",
                     printableText(path).c_str(), printableText(path).c_str());
    }
    bool differs = false;
    const int status = runConnected(
        options, "load-all",
        [&](SettingContext& context, MemoryControls& controls) {
            applyProfile(controls, plan.entries);
            for (const std::string& name : plan.skipped) {
                controls.appendLog(skippedLine(name));
            }
            std::vector<const SettingRow*> written = plan.writes;
            if (changedOnly) {
                // What the device holds already is not written again; what cannot be read
                // back cannot be known to be unchanged.
                const ReadBackResult now = readBack(context.link, controls, written, &logToStderr);
                if (!now.readsSucceeded) {
                    std::fputs("load-all: not every read succeeded; nothing written\n", stderr);
                    return false;
                }
                std::set<const SettingRow*> changed;
                for (const FieldMismatch& mismatch : now.mismatches) {
                    const SettingRow* row = nullptr;
                    const SettingField* field = nullptr;
                    if (findField(mismatch.key, row, field)) {
                        changed.insert(row);
                    }
                }
                std::erase_if(written, [&changed](const SettingRow* row) {
                    return row->getCode && !changed.contains(row);
                });
                const std::size_t unchanged = plan.writes.size() - written.size();
                std::fprintf(stderr, "load-all: %zu setting%s unchanged, skipped\n", unchanged,
                             unchanged == 1 ? "" : "s");
            }
            controls.clearLog();
            for (const SettingRow* row : written) {
                if (stopRequested()) {
                    break;
                }
                setSetting(context, *row);
            }
            if (stopRequested()) {
                return false;
            }
            const bool all = allSucceeded(controls.log(), written.size());
            if (!all) {
                std::fputs("load-all: not every write succeeded\n", stderr);
            }
            return (!verify || verifyWritten(options, context, written, differs)) && all;
        },
        {{"the profile", path, false}});
    return status == kExitOk && differs ? kExitDiffers : status;
}

int runDiffCommand(const CliOptions& options) {
    if (wantsHelp(options)) {
        std::fputs(kDiffHelp, stdout);
        return kExitOk;
    }
    if (options.args.empty() || options.args.size() > 2 || options.args[0].starts_with("--") ||
        (options.args.size() == 2 && options.args[1].starts_with("--"))) {
        return refuse("diff", "give a profile FILE to compare with the device, or FILE1 FILE2");
    }
    LoadPlan plan;
    if (!readProfile("diff", options.args[0], plan)) {
        return kExitUsage;
    }
    MemoryControls first;
    setUpPageControls(first);
    const std::set<int> firstGiven = fillProfileFields(first, plan.entries);
    if (options.args.size() == 2) {
        if (!readProfile("diff", options.args[1], plan)) {
            return kExitUsage;
        }
        MemoryControls second;
        setUpPageControls(second);
        const std::set<int> secondGiven = fillProfileFields(second, plan.entries);
        const bool equal =
            printDifferences(options, diffFields(first, &firstGiven, second, &secondGiven));
        if (!outputWritten("diff")) {
            return kExitFailed;
        }
        return equal ? kExitOk : kExitDiffers;
    }
    bool differs = false;
    const int status = runConnected(
        options, "diff",
        [&](SettingContext& context, MemoryControls& controls) {
            if (!readEverySetting(context, controls, "diff: not every read succeeded\n")) {
                return false;
            }
            differs = !printDifferences(options, diffFields(first, &firstGiven, controls, nullptr));
            return outputWritten("diff");
        },
        {{"the profile", options.args[0], false}});
    return status == kExitOk && differs ? kExitDiffers : status;
}
