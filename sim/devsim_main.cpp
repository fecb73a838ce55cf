// tarnwick-devsim: the simulated tracker on a pseudo-terminal, for end-to-end tests and demos.

#include "sim/device_simulator.h"
#include "sim/pty_host.h"
#include "tarnwick_version.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: tarnwick-devsim [--link PATH] [--baud N] [--connect-delay MS] [--fault SPEC]...\n"
    "                       [--log-requests]\n"
    "\n"
    "Serves a simulated tracker on a pseudo-terminal. The first line on standard output is\n"
    "\"PORT <slave path>\". SIGTERM or SIGINT stops it.\n"
    "\n"
    "  --link PATH          also make PATH a symbolic link to the slave\n"
    "  --baud N             pace the answer at N baud (10 bits per byte); 0: no pacing\n"
    "  --connect-delay MS   delay of the second connect reply (default 1500)\n"
    "  --fault SPEC         script a fault, CODE:key=value,... (repeatable), e.g.\n"
    "                       0x0009:silent  9:code=0x0008,times=1  9:gap=500  9:delay=700\n"
    "                       9:noise-before=55aa  9:noise-after=77  9:payload=0001\n"
    "                       9:status=1  9:claimed-length=9  9:cut=5  9:silent,times=-1\n"
    "                       0x020F:stale (a write acknowledged, the old value kept)\n"
    "                       0x020F:store=0050 (acknowledged, kept as if 0050 was sent)\n"
    "                       CODE may also be a command name such as get-master-flag\n"
    "  --log-requests       write each decoded request to standard error\n"
    "  --version            print the version\n"
    "  --help               show this text\n";

struct ScriptedFault {
    CommandCode code = 0;
    SimFault fault;
    int times = 1;
};

bool parseNumber(const char* text, std::uint32_t& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long parsed = std::strtoul(text, &end, 10);
    if (*text == '\0' || *text == '-' || *end != '\0' || errno != 0 || parsed > 0xFFFFFFFFUL) {
        return false;
    }
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "tarnwick-devsim: %s\n%s", message.c_str(), kUsage);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    SimulatorOptions options;
    std::string linkPath;
    std::vector<ScriptedFault> faults;
    bool logRequests = false;

    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::puts("tarnwick-devsim " TARNWICK_VERSION);
            return 0;
        }
        if (argument == "--log-requests") {
            logRequests = true;
            continue;
        }
        if (argument != "--link" && argument != "--baud" && argument != "--connect-delay" &&
            argument != "--fault") {
            return usageError("unknown option " + argument);
        }
        if (!hasValue) {
            return usageError(argument + " needs a value");
        }
        const char* value = argv[++i];
        if (argument == "--link") {
            linkPath = value;
        } else if (argument == "--baud") {
            if (!parseNumber(value, options.baud)) {
                return usageError(std::string("--baud needs a number, got ") + value);
            }
        } else if (argument == "--connect-delay") {
            if (!parseNumber(value, options.connectSecondReplyDelayMs)) {
                return usageError(std::string("--connect-delay needs milliseconds, got ") + value);
            }
        } else {
            ScriptedFault scripted;
            std::string error;
            if (!parseFaultSpec(value, scripted.code, scripted.fault, scripted.times, error)) {
                return usageError("bad --fault '" + std::string(value) + "': " + error);
            }
            faults.push_back(scripted);
        }
    }

    DeviceSimulator device(options);
    for (const ScriptedFault& scripted : faults) {
        device.scriptFault(scripted.code, scripted.fault, scripted.times);
    }
    PtyHost host(device);
    std::string error;
    if (!host.open(linkPath, error) || !host.stopOnSignals(error)) {
        std::fprintf(stderr, "tarnwick-devsim: %s\n", error.c_str());
        return 1;
    }
    if (logRequests) {
        host.logRequestsTo(stderr);
    }
    std::printf("PORT %s\n", host.slavePath().c_str());
    std::fflush(stdout);

    const bool stopped = host.run(error);
    host.close();
    if (!stopped) {
        std::fprintf(stderr, "tarnwick-devsim: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
