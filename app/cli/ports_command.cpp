#include "app/cli/commands.h"
#include "ports/port_directory.h"
#include "profile/printable_text.h"

#include <cstdio>

namespace {

constexpr const char* kPortsHelp = "usage: tarnwick-cli ports\n"
                                   "\n"
                                   "Lists the serial ports present now, one 'NAME : DESCRIPTION' "
                                   "line each.\n";

} // namespace

int runPortsCommand(const CliOptions& options) {
    if (wantsHelp(options)) {
        std::fputs(kPortsHelp, stdout);
        return kExitOk;
    }
    if (!options.args.empty()) {
        std::fprintf(stderr, "ports: unexpected argument '%s'\n%s",
                     printableText(options.args[0]).c_str(), kPortsHelp);
        return kExitUsage;
    }
    const auto ports = listPorts();
    if (ports.empty()) {
        std::fputs("ports: no serial ports found\n", stderr);
    }
    for (const PortInfo& port : ports) {
        std::printf("%s : %s\n", printableText(port.name).c_str(),
                    printableText(port.description).c_str());
    }
    return kExitOk;
}
