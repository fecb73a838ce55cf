#pragma once

#include "app/cli/device_session.h"

#include <string>
#include <vector>

struct CliOptions {
    SessionTarget target;
    bool targetGiven = false;
    bool help = false;
    bool json = false;             // --json: results as JSON Lines on stdout
    std::string command;           // first word that is not an option
    std::vector<std::string> args; // everything after the command, options included
};

// Splits the global options (--port, --simulate, --sim-fault, --trace, --json, --help) from the
// command and its arguments. False with a message for anything it cannot take.
[[nodiscard]] bool parseCliOptions(const std::vector<std::string>& argv, CliOptions& options,
                                   std::string& error);
