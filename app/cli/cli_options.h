#pragma once

#include "app/cli/device_session.h"

#include <string>
#include <vector>

struct CliOptions {
    SessionTarget target;           // target.port: the one --port, or the first of several
    std::vector<std::string> ports; // every --port, in order (several for provision only)
    bool targetGiven = false;
    bool help = false;
    bool json = false;             // --json: results as JSON Lines on stdout
    std::string command;           // first word that is not an option
    std::vector<std::string> args; // the command's own arguments, the global options taken out
};

// Takes the global options (--port, --simulate, --sim-fault, --trace, --trace-secrets, --json,
// --help) before or after the command; the values of the command's own options (raw
// --timeout, read-all --output, ...) stay its own whatever they look like. Every --port must
// be well formed, and only provision takes several. False with a message for anything it
// cannot take.
[[nodiscard]] bool parseCliOptions(const std::vector<std::string>& argv, CliOptions& options,
                                   std::string& error);
