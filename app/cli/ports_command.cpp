#include "app/cli/commands.h"
#include "ports/port_directory.h"
#include "ports/port_spec.h"
#include "profile/printable_text.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace {

constexpr const char* kPortsHelp =
    "usage: tarnwick-cli [--json] ports\n"
    "\n"
    "Lists the serial ports present now, one 'NAME : DESCRIPTION' line each; a USB port shows\n"
    "its identity instead, 'NAME : VID:PID  serial SERIAL  MANUFACTURER  PRODUCT', leaving out\n"
    "what the system does not know. With --json, one object per port with the keys name,\n"
    "description, vid, pid, serial, manufacturer and product (empty when unknown).\n";

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
        if (options.json) {
            const nlohmann::ordered_json line = {
                {"name", port.name},       {"description", port.description},
                {"vid", port.vid},         {"pid", port.pid},
                {"serial", port.serial},   {"manufacturer", port.manufacturer},
                {"product", port.product},
            };
            // Device strings that are not UTF-8 get U+FFFD rather than ending the run.
            std::printf(
                "%s\n",
                line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
            continue;
        }
        const std::string identity = usbIdentityText(port);
        std::printf("%s : %s\n", printableText(port.name).c_str(),
                    printableText(identity.empty() ? port.description : identity).c_str());
    }
    return kExitOk;
}
