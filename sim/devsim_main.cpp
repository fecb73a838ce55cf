// tarnwick-devsim: the simulated tracker on a pseudo-terminal, for end-to-end tests and demos.

#include "sim/device_model.h"
#include "sim/device_simulator.h"
#include "sim/fleet_identity.h"
#include "sim/pty_host.h"
#include "tarnwick_version.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: tarnwick-devsim [--link PATH] [--baud N] [--connect-delay MS] [--fault SPEC]...\n"
    "                       [--log-requests] [--no-bracelet] [--no-gas-analyzer] [--no-token]\n"
    "                       [--no-lora-keys]\n"
    "       tarnwick-devsim --count N [--link-prefix PATH] [--replug K:AFTER:DOWN_MS] ...\n"
    "\n"
    "Serves a simulated tracker on a pseudo-terminal. The first line on standard output is\n"
    "\"PORT <slave path>\". SIGTERM or SIGINT stops it.\n"
    "With --count, serves N trackers, each on a pseudo-terminal of its own, with its own\n"
    "state and identity, and writes one line per tracker, in order:\n"
    "\"PORT <path> <IMEI> <device ID> <USB serial>\" (path: the link if there is one).\n"
    "\n"
    "  --link PATH          also make PATH a symbolic link to the slave\n"
    "  --count N            serve N trackers (1..64); tracker 1 has the default identity\n"
    "  --link-prefix PATH   with --count: tracker k is also the symbolic link PATH<k>\n"
    "  --replug K:AFTER:DOWN_MS\n"
    "                       with --link-prefix: once tracker K has received AFTER requests,\n"
    "                       print \"UNPLUG <link>\", close its pseudo-terminal and remove the\n"
    "                       link; DOWN_MS later serve it, state kept, on a new one behind\n"
    "                       the same link and print \"REPLUG <link>\" (once)\n"
    "  --baud N             pace the answer at N baud (10 bits per byte); 0: no pacing\n"
    "  --connect-delay MS   delay of the second connect reply (default 1500)\n"
    "  --fault SPEC         script a fault, CODE:key=value,... (repeatable), e.g.\n"
    "                       0x0009:silent  9:code=0x0008,times=1  9:gap=500  9:delay=700\n"
    "                       9:noise-before=55aa  9:noise-after=77  9:payload=0001\n"
    "                       9:status=1  9:claimed-length=9  9:cut=5  9:silent,times=-1\n"
    "                       0x020F:stale (a write acknowledged, the old value kept)\n"
    "                       0x020F:store=0050 (acknowledged, kept as if 0050 was sent)\n"
    "                       0x0302:hangup (the device vanishes: its pty is closed)\n"
    "                       CODE may also be a command name such as get-master-flag\n"
    "  --log-requests       write each decoded request to standard error\n"
    "  --no-bracelet        no bracelet paired: its get answers the status byte alone\n"
    "  --no-gas-analyzer    no gas analyzer in the sensor read-out\n"
    "  --no-token           no token in the sensor read-out\n"
    "  --no-lora-keys       the LoRa DEV_EUI, APP_EUI and APP_KEY empty\n"
    "                       (each of these until a write gives the tracker one)\n"
    "  --version            print the version\n"
    "  --help               show this text\n";

// The options that leave a part out of every tracker served.
constexpr std::pair<const char*, Fitting> kWithout[] = {
    {"--no-bracelet", Fitting::Bracelet},
    {"--no-gas-analyzer", Fitting::GasAnalyzer},
    {"--no-token", Fitting::Token},
    {"--no-lora-keys", Fitting::LoraKeys},
};

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

struct Replug {
    std::uint32_t tracker = 0; // 0: none
    std::uint32_t afterRequests = 0;
    std::uint32_t downMs = 0;
};

// "K:AFTER:DOWN_MS"
bool parseReplug(const std::string& text, Replug& replug) {
    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    if (second == std::string::npos) {
        return false;
    }
    return parseNumber(text.substr(0, first).c_str(), replug.tracker) &&
           parseNumber(text.substr(first + 1, second - first - 1).c_str(), replug.afterRequests) &&
           parseNumber(text.substr(second + 1).c_str(), replug.downMs) && replug.tracker > 0 &&
           replug.afterRequests > 0;
}

struct Tracker {
    std::unique_ptr<DeviceSimulator> device;
    std::unique_ptr<PtyHost> host;
    FleetIdentity identity;
};

void stopAll(std::vector<Tracker>& trackers) {
    for (Tracker& tracker : trackers) {
        tracker.host->stop();
    }
}

// Serves the tracker until a stop; a failing tracker stops the others too.
bool serve(Tracker& tracker, std::vector<Tracker>& all) {
    std::string error;
    if (tracker.host->run(error)) {
        return true;
    }
    std::fprintf(stderr, "tarnwick-devsim: %s\n", error.c_str());
    stopAll(all);
    return false;
}

} // namespace

int main(int argc, char** argv) {
    SimulatorOptions options;
    std::string linkPath;
    std::vector<ScriptedFault> faults;
    bool logRequests = false;
    std::vector<Fitting> without;
    std::uint32_t count = 0; // 0: the single tracker, announced by its slave path alone
    std::string linkPrefix;
    Replug replug;

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
        const auto left =
            std::find_if(std::begin(kWithout), std::end(kWithout),
                         [&](const auto& option) { return argument == option.first; });
        if (left != std::end(kWithout)) {
            without.push_back(left->second);
            continue;
        }
        if (argument != "--link" && argument != "--baud" && argument != "--connect-delay" &&
            argument != "--fault" && argument != "--count" && argument != "--link-prefix" &&
            argument != "--replug") {
            return usageError("unknown option " + argument);
        }
        if (!hasValue) {
            return usageError(argument + " needs a value");
        }
        const char* value = argv[++i];
        if (argument == "--link") {
            linkPath = value;
        } else if (argument == "--link-prefix") {
            linkPrefix = value;
        } else if (argument == "--count") {
            if (!parseNumber(value, count) || count < 1 || count > PtyHost::kMaxSignalHosts) {
                return usageError(std::string("--count needs a number 1..64, got ") + value);
            }
        } else if (argument == "--replug") {
            if (!parseReplug(value, replug)) {
                return usageError(std::string("--replug needs K:AFTER:DOWN_MS (K and AFTER from "
                                              "1), got ") +
                                  value);
            }
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

    if (count == 0 && !linkPrefix.empty()) {
        return usageError("--link-prefix needs --count");
    }
    if (count > 0 && !linkPath.empty()) {
        return usageError("--link serves one tracker; with --count use --link-prefix");
    }
    if (replug.tracker > 0 && linkPrefix.empty()) {
        return usageError("--replug needs --count and --link-prefix");
    }
    if (replug.tracker > count) {
        return usageError("--replug names tracker " + std::to_string(replug.tracker) + " of " +
                          std::to_string(count));
    }

    std::vector<Tracker> trackers(count == 0 ? 1 : count);
    for (std::uint32_t k = 1; k <= trackers.size(); ++k) {
        Tracker& tracker = trackers[k - 1];
        tracker.device = std::make_unique<DeviceSimulator>(options);
        for (const ScriptedFault& scripted : faults) {
            tracker.device->scriptFault(scripted.code, scripted.fault, scripted.times);
        }
        tracker.identity = fleetIdentity(static_cast<int>(k));
        applyFleetIdentity(*tracker.device, tracker.identity);
        for (Fitting fitting : without) {
            removeFitting(*tracker.device, fitting);
        }
        tracker.host = std::make_unique<PtyHost>(*tracker.device);
        const std::string link =
            count == 0 ? linkPath : (linkPrefix.empty() ? "" : linkPrefix + std::to_string(k));
        std::string error;
        if (!tracker.host->open(link, error) || !tracker.host->stopOnSignals(error)) {
            std::fprintf(stderr, "tarnwick-devsim: %s\n", error.c_str());
            return 1;
        }
        if (logRequests) {
            tracker.host->logRequestsTo(stderr);
        }
        if (k == replug.tracker) {
            tracker.host->replugAfter(replug.afterRequests, replug.downMs, stdout);
        }
        if (count == 0) {
            std::printf("PORT %s\n", tracker.host->slavePath().c_str());
        } else {
            std::printf("PORT %s %s %s %s\n",
                        link.empty() ? tracker.host->slavePath().c_str() : link.c_str(),
                        tracker.identity.imei.c_str(), tracker.identity.deviceId.c_str(),
                        tracker.identity.usbSerial.c_str());
        }
    }
    std::fflush(stdout);

    // Tracker 1 on this thread, each other on its own: nothing is shared but the stop.
    std::vector<std::thread> threads;
    std::vector<char> served(trackers.size(), 0);
    for (std::size_t i = 1; i < trackers.size(); ++i) {
        threads.emplace_back([&, i] { served[i] = serve(trackers[i], trackers); });
    }
    served[0] = serve(trackers[0], trackers);
    stopAll(trackers);
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (Tracker& tracker : trackers) {
        tracker.host->close();
    }
    for (char ok : served) {
        if (!ok) {
            return 1;
        }
    }
    return 0;
}
