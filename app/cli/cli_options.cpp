#include "app/cli/cli_options.h"

#include "app/cli/commands.h"
#include "profile/printable_text.h"
#include "sim/device_simulator.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

bool parseCliOptions(const std::vector<std::string>& argv, CliOptions& options,
                     std::string& error) {
    std::size_t i = 0;
    for (; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--simulate") {
            options.target.simulate = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--port" || arg == "--sim-fault" || arg == "--trace") {
            if (i + 1 >= argv.size() || argv[i + 1].empty()) {
                error = arg + " needs a value";
                return false;
            }
            if (arg == "--port") {
                options.target.port = argv[++i];
                continue;
            }
            if (arg == "--trace") {
                options.target.tracePath = argv[++i];
                continue;
            }
            // A fault that cannot be scripted is an argument error like any other.
            const std::string& spec = argv[++i];
            CommandCode code = 0;
            SimFault fault;
            int times = 1;
            if (!parseFaultSpec(spec, code, fault, times, error)) {
                error = "bad --sim-fault '" + printableText(spec) + "': " + error;
                return false;
            }
            options.target.simFaults.push_back(spec);
        } else if (arg.rfind("--", 0) == 0) {
            error = "unknown option " + printableText(arg);
            return false;
        } else {
            break;
        }
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
    if (i < argv.size()) {
        options.command = argv[i];
        options.args.assign(argv.begin() + static_cast<std::ptrdiff_t>(i) + 1, argv.end());
    }
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
