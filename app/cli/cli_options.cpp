#include "app/cli/cli_options.h"

#include "app/cli/commands.h"
#include "ports/port_spec.h"
#include "profile/printable_text.h"
#include "sim/device_simulator.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

// The options of the commands that take a value: the word after them is the command's.
constexpr struct {
    const char* command;
    const char* option;
} kCommandValues[] = {
    {"raw", "--timeout"},          {"raw", "--await"},       {"read-all", "--output"},
    {"provision", "--jobs"},       {"provision", "--audit"}, {"provision", "--overrides"},
    {"provision", "--require-fw"},
};

bool takesCommandValue(const std::string& command, const std::string& arg) {
    return std::any_of(std::begin(kCommandValues), std::end(kCommandValues), [&](const auto& row) {
        return command == row.command && arg == row.option;
    });
}

enum class Taken { No, Yes, Refused };

// Takes the global option at argv[i] with its value, moving i past it.
Taken takeGlobalOption(const std::vector<std::string>& argv, std::size_t& i, CliOptions& options,
                       std::string& error) {
    const std::string& arg = argv[i];
    bool* flag = arg == "--help" || arg == "-h" ? &options.help
                 : arg == "--simulate"          ? &options.target.simulate
                 : arg == "--json"              ? &options.json
                 : arg == "--trace-secrets"     ? &options.target.traceSecrets
                                                : nullptr;
    if (flag != nullptr) {
        *flag = true;
        return Taken::Yes;
    }
    if (arg != "--port" && arg != "--sim-fault" && arg != "--trace") {
        return Taken::No;
    }
    if (i + 1 >= argv.size() || argv[i + 1].empty()) {
        error = arg + " needs a value";
        return Taken::Refused;
    }
    const std::string& value = argv[++i];
    if (arg == "--port") {
        options.ports.push_back(value);
        return Taken::Yes;
    }
    if (arg == "--trace") {
        if (!options.target.tracePath.empty()) {
            error = "--trace is given twice";
            return Taken::Refused;
        }
        options.target.tracePath = value;
        return Taken::Yes;
    }
    // A fault that cannot be scripted is an argument error like any other.
    CommandCode code = 0;
    SimFault fault;
    int times = 1;
    if (!parseFaultSpec(value, code, fault, times, error)) {
        error = "bad --sim-fault '" + printableText(value) + "': " + error;
        return Taken::Refused;
    }
    options.target.simFaults.push_back(value);
    return Taken::Yes;
}

// The ports given: well formed, and several only for provision.
bool checkPorts(const CliOptions& options, std::string& error) {
    if (options.ports.size() > 1 && options.command != "provision") {
        error = "--port is given " + std::to_string(options.ports.size()) +
                " times; only provision takes several ports";
        return false;
    }
    for (const std::string& spec : options.ports) {
        std::vector<PortInfo> matches;
        if (!matchPortSpec(spec, {}, matches, error)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool parseCliOptions(const std::vector<std::string>& argv, CliOptions& options,
                     std::string& error) {
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        if (!options.command.empty() && takesCommandValue(options.command, arg)) {
            options.args.push_back(arg);
            if (i + 1 < argv.size()) {
                options.args.push_back(argv[++i]);
            }
            continue;
        }
        const Taken taken = takeGlobalOption(argv, i, options, error);
        if (taken == Taken::Refused) {
            return false;
        }
        if (taken == Taken::Yes) {
            continue;
        }
        if (!options.command.empty()) {
            options.args.push_back(arg);
        } else if (arg.starts_with("--")) {
            error = "unknown option " + printableText(arg);
            return false;
        } else {
            options.command = arg;
        }
    }
    if (!checkPorts(options, error)) {
        return false;
    }
    if (!options.ports.empty()) {
        options.target.port = options.ports.front();
    }
    if (options.target.simulate && !options.target.port.empty()) {
        error = "give either --port PATH or --simulate, not both";
        return false;
    }
    if (!options.target.simFaults.empty() && !options.target.simulate) {
        error = "--sim-fault needs --simulate";
        return false;
    }
    options.targetGiven = options.target.simulate || !options.target.port.empty();
    return true;
}

bool wantsHelp(const CliOptions& options) {
    return options.help ||
           std::find(options.args.begin(), options.args.end(), "--help") != options.args.end();
}

int refuse(const char* command, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", command, printableText(message).c_str());
    return kExitUsage;
}

bool outputWritten(const char* command) {
    static bool reported = false; // the stream's error stays: say it once
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) {
        return true;
    }
    if (!reported) {
        std::fprintf(stderr, "%s: cannot write the output: %s\n", command, std::strerror(errno));
        reported = true;
    }
    return false;
}
