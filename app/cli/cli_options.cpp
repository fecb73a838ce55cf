#include "app/cli/cli_options.h"

#include "app/cli/commands.h"

#include <algorithm>
#include <cstdio>

bool parseCliOptions(const std::vector<std::string>& argv, CliOptions& options,
                     std::string& error) {
    std::size_t i = 0;
    for (; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--simulate") {
            options.target.simulate = true;
        } else if (arg == "--port" || arg == "--sim-fault") {
            if (i + 1 >= argv.size() || argv[i + 1].empty()) {
                error = arg + " needs a value";
                return false;
            }
            if (arg == "--port") {
                options.target.port = argv[++i];
            } else {
                options.target.simFaults.push_back(argv[++i]);
            }
        } else if (arg.rfind("--", 0) == 0) {
            error = "unknown option " + arg;
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
    std::fprintf(stderr, "%s: %s\n", command, message.c_str());
    return kExitUsage;
}
