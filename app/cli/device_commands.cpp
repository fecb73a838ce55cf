#include "app/cli/commands.h"
#include "app/cli/connected_run.h"
#include "app/cli/json_lines.h"
#include "app/cli/log_results.h"
#include "controls/wire_text.h"
#include "profile/printable_text.h"
#include "ui/about_queries.h"
#include "ui/mmi_tests.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace {

constexpr const char* kTestHelp =
    "usage: tarnwick-cli (--port PATH | --simulate) test led-green|led-red|voice|vibro\n"
    "\n"
    "Connects and runs one device test: switches the green or the red LED, the sound or the\n"
    "vibration on. The test's log line goes to stderr; exit status 0 when the device\n"
    "accepted it.\n";

constexpr const char* kVersionsHelp =
    "usage: tarnwick-cli [--json] (--port PATH | --simulate) versions\n"
    "\n"
    "Connects and asks the device for the versions of its firmware and modules, as the\n"
    "About dialog does, and prints one NAME=VERSION line for each of fw, gsm, lble, gnss,\n"
    "wifi and xnb, in that order. A query that fails prints the dialog's fallback text\n"
    "(unknown.). The log lines go to stderr; exit status 0 only when every query succeeded.\n"
    "With --json, one object per module instead, the version null where the query failed:\n"
    "  {\"module\":\"gsm\",\"version\":\"01.200.01.200\"}\n";

struct TestChoice {
    const char* name;
    bool (*run)(SettingContext& context);
};

constexpr TestChoice kTests[] = {
    {"led-green", [](SettingContext& context) { return mmiToggleLed(context, 0); }},
    {"led-red", [](SettingContext& context) { return mmiToggleLed(context, 1); }},
    {"voice", &mmiVoice},
    {"vibro", &mmiVibro},
};

// The names of the version queries, in the order they run.
constexpr std::array<const char*, kVersionQueryCount> kVersionNames = {"fw",   "gsm",  "lble",
                                                                       "gnss", "wifi", "xnb"};

// The label without its prefix: the version, or what the fallback says in its place.
std::string versionText(const VersionQuery& query, const VersionLabel& label) {
    const std::u16string_view prefix = query.prefix;
    std::u16string_view text = label.text;
    if (text.starts_with(prefix)) {
        text.remove_prefix(prefix.size());
    }
    return utf8FromUtf16(text);
}

} // namespace

int runTestCommand(const CliOptions& options) {
    if (wantsHelp(options)) {
        std::fputs(kTestHelp, stdout);
        return kExitOk;
    }
    const TestChoice* choice = nullptr;
    if (options.args.size() == 1) {
        for (const TestChoice& test : kTests) {
            if (options.args[0] == test.name) {
                choice = &test;
            }
        }
    }
    if (choice == nullptr) {
        return refuse("test", "name one test: led-green, led-red, voice or vibro");
    }
    return runConnected(options, "test", [choice](SettingContext& context, MemoryControls&) {
        return choice->run(context);
    });
}

int runVersionsCommand(const CliOptions& options) {
    if (wantsHelp(options)) {
        std::fputs(kVersionsHelp, stdout);
        return kExitOk;
    }
    if (!options.args.empty()) {
        return refuse("versions", "takes no arguments");
    }
    return runConnected(
        options, "versions", [&](SettingContext& context, MemoryControls& controls) {
            controls.clearLog();
            const VersionLabels labels = queryVersions(context);
            const auto queries = versionQueries();
            const auto lines = logLines(controls.log());
            for (std::size_t i = 0; i < labels.size(); ++i) {
                const std::string version = versionText(queries[i], labels[i]);
                if (!options.json) {
                    std::printf("%s=%s\n", kVersionNames[i], printableText(version).c_str());
                } else if (i < lines.size() && lineSucceeded(lines[i])) {
                    printJsonLine({{"module", kVersionNames[i]}, {"version", version}});
                } else {
                    printJsonLine({{"module", kVersionNames[i]}, {"version", nullptr}});
                }
            }
            const bool printed = outputWritten("versions");
            return allSucceeded(controls.log(), labels.size()) && printed;
        });
}
