#include "app/cli/commands.h"
#include "app/cli/stop_request.h"
#include "profile/printable_text.h"
#include "tarnwick_version.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char* kHelp =
    "usage: tarnwick-cli [--port PATH | --simulate [--sim-fault SPEC]...] [--json]\n"
    "                    [--trace FILE [--trace-secrets]] COMMAND [ARGS]\n"
    "\n"
    "Configures the tracker over its serial port. The options below may also come after the\n"
    "command.\n"
    "\n"
    "Commands:\n"
    "  ports     list the serial ports present now\n"
    "  raw       send one command and print its reply payloads as hex\n"
    "  get       read settings: get NAME...\n"
    "  set       write settings: set NAME=VALUE... [--verify]\n"
    "  names     list the setting names\n"
    "  read-all  read every setting and print it as a profile: read-all [--output FILE]\n"
    "  load-all  write a profile to the device: load-all FILE [--changed-only] [--verify]\n"
    "  diff      compare a profile with the device, or two profiles: diff FILE [FILE2]\n"
    "  test      run a device test: test led-green|led-red|voice|vibro\n"
    "  versions  print the versions of the firmware and the modules\n"
    "  provision write a profile to a batch of trackers at once, with per-device values,\n"
    "            read-back and an audit: provision PROFILE --port PORT... (see --help)\n"
    "\n"
    "Options:\n"
    "  --port PATH        the serial port, used as given (/dev/ttyUSB0, COM3); or\n"
    "                     usb:VID:PID[:SERIAL], the one USB port of that identity; or auto,\n"
    "                     the only USB serial port present; provision takes several\n"
    "  --simulate         talk to the built-in simulated device instead of a port\n"
    "  --sim-fault SPEC   script a fault into the simulated device, e.g. 9:silent,\n"
    "                     0x0009:code=0x0008,times=1, 9:gap=500, 9:status=1; a write\n"
    "                     acknowledged but not kept: 0x020F:stale, or kept as if other bytes\n"
    "                     were sent: 0x020F:store=0050\n"
    "  --json             results as JSON Lines on stdout (get, read-all, versions, diff and\n"
    "                     --verify), the log on stderr as ever\n"
    "  --trace FILE       write every frame sent and received, every time-out and the port's\n"
    "                     open and close to FILE, time-stamped in microseconds; FILE is a\n"
    "                     regular file or a new path\n"
    "  --trace-secrets    passwords and keys in the trace in the clear (masked otherwise)\n"
    "  --help             this text; 'tarnwick-cli COMMAND --help' for a command\n"
    "  --version          the version of the tool\n";

// What was printed must have got through: a run that did its work but could not print it
// failed. A failed run has said why already.
int checkedOutput(int status) {
    if (status == kExitOk && !outputWritten("tarnwick-cli")) {
        return kExitFailed;
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version") {
        std::puts("tarnwick-cli " TARNWICK_VERSION);
        return checkedOutput(kExitOk);
    }
    installStopHandlers();
    CliOptions options;
    std::string error;
    if (!parseCliOptions(args, options, error)) {
        std::fprintf(stderr, "tarnwick-cli: %s\n\n%s", printableText(error).c_str(), kHelp);
        return kExitUsage;
    }
    if (options.command.empty()) {
        std::fputs(kHelp, options.help ? stdout : stderr);
        return checkedOutput(options.help ? kExitOk : kExitUsage);
    }
    const struct {
        const char* name;
        int (*run)(const CliOptions&);
    } commands[] = {
        {"ports", &runPortsCommand},
        {"raw", &runRawCommand},
        {"get", &runGetCommand},
        {"set", &runSetCommand},
        {"names", &runNamesCommand},
        {"read-all", &runReadAllCommand},
        {"load-all", &runLoadAllCommand},
        {"diff", &runDiffCommand},
        {"test", &runTestCommand},
        {"versions", &runVersionsCommand},
        {"provision", &runProvisionCommand},
    };
    for (const auto& command : commands) {
        if (options.command == command.name) {
            return checkedOutput(command.run(options));
        }
    }
    std::fprintf(stderr, "tarnwick-cli: unknown command '%s'\n\n%s",
                 printableText(options.command).c_str(), kHelp);
    return kExitUsage;
}
