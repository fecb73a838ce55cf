#include "app/cli/commands.h"
#include "app/cli/console.h"
#include "app/cli/device_session.h"
#include "app/cli/private_file.h"
#include "app/cli/provision_report.h"
#include "app/cli/stop_request.h"
#include "link/command_index.h"
#include "ports/port_directory.h"
#include "ports/port_spec.h"
#include "profile/printable_text.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr const char* kProvisionHelp =
    "usage: tarnwick-cli [--json] provision PROFILE (--port PORT... | --all-usb) [--jobs N]\n"
    "                    [--overrides FILE.csv [--overrides-required]] [--audit FILE]\n"
    "                    [--require-fw VERSION] [--watch [--retry]]\n"
    "\n"
    "Provisions a batch of trackers with one profile, one worker per port at once: each\n"
    "device is connected, identified (IMEI, device ID, the six versions), written with the\n"
    "profile and its own override row, read back, and disconnected. The profile and the\n"
    "overrides are checked whole first; nothing is sent when either has a fault (exit 2).\n"
    "\n"
    "  --port PORT         a port (repeatable); usb:VID:PID[:SERIAL] names every matching one\n"
    "  --all-usb           every USB serial port present\n"
    "  --jobs N            at most N devices at once (default: one per port)\n"
    "  --overrides FILE    a CSV whose first column is imei or device-id and whose other\n"
    "                      headers are profile keys; {imei} and {device-id} in a profile or\n"
    "                      override value become the device's own\n"
    "  --overrides-required  refuse a device the overrides have no row for\n"
    "  --audit FILE        append one JSON record per device attempt (created 0600)\n"
    "  --require-fw VER    refuse a device whose firmware is older than VER (2.7.1)\n"
    "  --watch             keep running: provision every device that appears, until Ctrl-C\n"
    "  --retry             with --watch: a device unplugged mid-run starts again when back\n"
    "\n"
    "Progress goes to stdout: a line per port redrawn in place on a terminal, one line per\n"
    "event otherwise, JSON objects with --json; the device's log is kept for the audit.\n"
    "Exit status 0 only when every device was provisioned and read back equal; 3 when the\n"
    "only faults are fields that read back otherwise; 1 for any other fault; 130 after\n"
    "Ctrl-C, which finishes the exchange in flight, disconnects, and records every device\n"
    "not finished as interrupted.\n";

struct ProvisionOptions {
    std::string profilePath;
    std::vector<std::string> portSpecs;
    bool allUsb = false;
    std::string overridesPath;
    bool overridesRequired = false;
    std::string auditPath;
    std::string requiredFirmware;
    std::size_t jobs = 0;
    bool watch = false;
    bool retry = false;
};

bool parseProvisionOptions(const CliOptions& cli, ProvisionOptions& options, std::string& error) {
    if (!cli.target.port.empty()) {
        options.portSpecs.push_back(cli.target.port);
    }
    const struct {
        const char* name;
        bool ProvisionOptions::*flag;
    } flags[] = {
        {"--all-usb", &ProvisionOptions::allUsb},
        {"--watch", &ProvisionOptions::watch},
        {"--retry", &ProvisionOptions::retry},
        {"--overrides-required", &ProvisionOptions::overridesRequired},
    };
    const std::vector<std::string>& args = cli.args;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto flag = std::find_if(std::begin(flags), std::end(flags),
                                       [&arg](const auto& row) { return arg == row.name; });
        if (flag != std::end(flags)) {
            options.*(flag->flag) = true;
            continue;
        }
        if (!arg.starts_with("--")) {
            if (!options.profilePath.empty()) {
                error = "give one PROFILE";
                return false;
            }
            options.profilePath = arg;
            continue;
        }
        if (arg != "--port" && arg != "--overrides" && arg != "--audit" && arg != "--require-fw" &&
            arg != "--jobs") {
            error = "unexpected argument '" + arg + "'";
            return false;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            error = arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        if (arg == "--port") {
            options.portSpecs.push_back(value);
        } else if (arg == "--overrides") {
            options.overridesPath = value;
        } else if (arg == "--audit") {
            options.auditPath = value;
        } else if (arg == "--require-fw") {
            bool atLeast = false;
            if (!firmwareAtLeast(value, value, atLeast)) {
                error = "--require-fw needs a version such as 2.7.1, got '" + value + "'";
                return false;
            }
            options.requiredFirmware = value;
        } else {
            char* end = nullptr;
            const unsigned long jobs = std::strtoul(value.c_str(), &end, 10);
            if (*end != '\0' || value[0] == '-' || jobs == 0 || jobs > 64) {
                error = "--jobs needs a number from 1 to 64, got '" + value + "'";
                return false;
            }
            options.jobs = jobs;
        }
    }
    if (options.profilePath.empty()) {
        error = "give a PROFILE";
    } else if (options.portSpecs.empty() && !options.allUsb && !cli.target.simulate) {
        error = "give the ports: --port PORT (repeatable), usb:VID:PID or --all-usb";
    } else if (options.retry && !options.watch) {
        error = "--retry needs --watch";
    } else if (!cli.target.tracePath.empty()) {
        // One trace of several ports at once would interleave their frames past reading.
        error = "--trace takes one port; provision takes many: use get, set or load-all";
    } else if (options.overridesRequired && options.overridesPath.empty()) {
        error = "--overrides-required needs --overrides FILE";
    } else if (cli.target.simulate &&
               (options.watch || !options.portSpecs.empty() || options.allUsb)) {
        error = "--simulate provisions the one simulated device: no ports, no --watch";
    }
    return error.empty();
}

// The ports the batch takes now, each with its USB serial where the system knows it.
std::vector<PortInfo> portsNamed(const ProvisionOptions& options) {
    const std::vector<PortInfo> present = listPorts();
    std::vector<std::string> specs = options.portSpecs;
    if (options.allUsb) {
        specs.emplace_back("auto");
    }
    std::vector<PortInfo> named;
    for (const std::string& spec : specs) {
        std::vector<PortInfo> matches;
        std::string error;
        if (!matchPortSpec(spec, present, matches, error)) {
            continue; // checked before the run
        }
        for (PortInfo& port : matches) {
            for (const PortInfo& known : present) {
                if (known.name == port.name) {
                    port = known;
                }
            }
            const bool seen = std::any_of(named.begin(), named.end(),
                                          [&](const PortInfo& p) { return p.name == port.name; });
            if (!seen) {
                named.push_back(std::move(port));
            }
        }
    }
    return named;
}

bool portPresent(const std::string& name) {
    std::error_code error;
    return std::filesystem::exists(devicePathForPort(name), error) || isPortPresent(name);
}

// One device's place in the batch. A worker thread owns `result` until it sets `finished`.
struct Slot {
    enum class State { Waiting, Running, Done, AwaitingReturn };
    PortInfo port;
    State state = State::Waiting;
    bool seenAbsent = false; // the port vanished while the worker ran
    bool goneSinceDone = false;
    std::string startedUtc;
    std::thread worker;
    std::atomic<bool> finished{false};
    PassResult result;
};

class Batch {
  public:
    Batch(const CliOptions& cli, const ProvisionOptions& options, const ProvisionPlan& plan,
          ProvisionReport& report)
        : cli_(cli), options_(options), plan_(plan), report_(report) {}

    int run() {
        discover();
        if (options_.watch) {
            std::fputs("provision: watching for trackers; Ctrl-C ends\n", stderr);
        } else if (slots_.empty()) {
            // Nothing to do is not success: the ports given are not there.
            std::fputs("provision: no port matches; nothing provisioned\n", stderr);
            return kExitFailed;
        }
        for (std::size_t round = 1;; ++round) {
            if (options_.watch && round % 5 == 0) {
                discover();
            }
            collectFinished();
            if (!stopRequested()) {
                startWaiting();
            }
            const bool busy = std::any_of(slots_.begin(), slots_.end(), [](const auto& slot) {
                return slot->state == Slot::State::Running;
            });
            const bool pending = std::any_of(slots_.begin(), slots_.end(), [](const auto& slot) {
                return slot->state == Slot::State::Waiting;
            });
            if (!busy && (stopRequested() || (!options_.watch && !pending))) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        for (const auto& slot : slots_) {
            if (slot->state == Slot::State::Waiting || slot->state == Slot::State::AwaitingReturn) {
                record(*slot, nullptr, "interrupted", "stopped before it was provisioned");
            }
        }
        if (!auditWritten_) {
            std::fputs("provision: the audit file could not be written whole\n", stderr);
        }
        std::string summary = "provision: " + std::to_string(provisioned_) + " provisioned";
        for (const auto& [outcome, count] : otherOutcomes_) {
            summary += ", " + std::to_string(count) + " " + outcome;
        }
        std::fprintf(stderr, "%s\n", summary.c_str());
        if (stopRequested()) {
            std::fputs("provision: interrupted\n", stderr);
            return kExitInterrupted;
        }
        if (!auditWritten_ || faults_ > differs_) {
            return kExitFailed;
        }
        return faults_ > 0 ? kExitDiffers : kExitOk;
    }

  private:
    void discover() {
        if (cli_.target.simulate) {
            if (slots_.empty()) {
                addSlot(PortInfo{"simulated", "the simulated device"});
            }
            return;
        }
        for (PortInfo& port : portsNamed(options_)) {
            // A device with a USB serial is provisioned once wherever it is plugged in; one
            // without is known only by its port, where the next device may be plugged in.
            Slot* known = nullptr;
            for (const auto& slot : slots_) {
                if (port.serial.empty() ? slot->port.name == port.name
                                        : slot->port.serial == port.serial) {
                    known = slot.get();
                }
            }
            const bool present = !options_.watch || portPresent(port.name);
            if (known == nullptr) {
                if (present) {
                    addSlot(std::move(port));
                }
                continue;
            }
            if (!present) {
                known->seenAbsent = known->state == Slot::State::Running || known->seenAbsent;
                known->goneSinceDone = known->state == Slot::State::Done;
            } else if (known->state == Slot::State::AwaitingReturn) {
                report_.note(port.name, "back, starting again");
                known->port = std::move(port);
                known->state = Slot::State::Waiting;
            } else if (known->state == Slot::State::Done && known->goneSinceDone &&
                       port.serial.empty()) {
                known->goneSinceDone = false;
                known->state = Slot::State::Waiting;
            }
        }
    }

    void addSlot(PortInfo port) {
        slots_.push_back(std::make_unique<Slot>());
        slots_.back()->port = std::move(port);
    }

    void startWaiting() {
        const std::size_t jobs = options_.jobs != 0 ? options_.jobs : slots_.size();
        std::size_t running = 0;
        for (const auto& slot : slots_) {
            running += slot->state == Slot::State::Running ? 1 : 0;
        }
        for (const auto& slot : slots_) {
            if (running >= jobs) {
                break;
            }
            if (slot->state != Slot::State::Waiting) {
                continue;
            }
            slot->state = Slot::State::Running;
            slot->seenAbsent = false;
            slot->finished = false;
            slot->startedUtc = utcNow();
            slot->worker = std::thread(&Batch::work, this, slot.get());
            ++running;
        }
    }

    // The worker: its own session, link and pass; it shares only the report, which locks.
    void work(Slot* slot) {
        SessionTarget target;
        target.port = slot->port.name;
        target.simulate = cli_.target.simulate;
        target.simFaults = cli_.target.simFaults;
        DeviceSession session;
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        if (openSession(target, session, error)) {
            const std::string& port = slot->port.name;
            slot->result = provisionDevice(
                session.link, plan_,
                [&](const PassProgress& progress) {
                    report_.progress(port, progress,
                                     std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - start));
                },
                &stopRequested);
            closeSession(session);
        } else {
            slot->result = PassResult{};
            slot->result.error = error;
        }
        slot->finished = true;
    }

    void collectFinished() {
        for (const auto& slot : slots_) {
            if (slot->state != Slot::State::Running || !slot->finished) {
                continue;
            }
            slot->worker.join();
            const PassResult& result = slot->result;
            const bool unplugged = result.outcome == PassOutcome::Failed &&
                                   (slot->seenAbsent || !portPresent(slot->port.name));
            if (unplugged && options_.watch) {
                record(*slot, &result, "unplugged", result.error);
                if (options_.retry && !stopRequested()) {
                    slot->state = Slot::State::AwaitingReturn;
                    report_.note(slot->port.name, "unplugged, waiting for it to come back");
                }
                continue;
            }
            record(*slot, &result, outcomeText(result.outcome), result.error);
        }
    }

    void record(Slot& slot, const PassResult* result, const std::string& outcome,
                const std::string& error) {
        slot.state = Slot::State::Done;
        const DeviceAttempt attempt{
            slot.port.name, slot.port.serial, slot.startedUtc.empty() ? utcNow() : slot.startedUtc,
            result,         outcome,          error};
        auditWritten_ = report_.finished(attempt) && auditWritten_;
        if (outcome == "provisioned") {
            ++provisioned_;
        } else {
            ++faults_;
            ++otherOutcomes_[outcome];
            differs_ += outcome == "differs" ? 1 : 0;
        }
    }

    const CliOptions& cli_;
    const ProvisionOptions& options_;
    const ProvisionPlan& plan_;
    ProvisionReport& report_;
    std::vector<std::unique_ptr<Slot>> slots_;
    bool auditWritten_ = true;
    std::size_t provisioned_ = 0;
    std::size_t faults_ = 0;
    std::size_t differs_ = 0;
    std::map<std::string, std::size_t> otherOutcomes_; // by name, for the summary
};

} // namespace

int runProvisionCommand(const CliOptions& cli) {
    if (wantsHelp(cli)) {
        std::fputs(kProvisionHelp, stdout);
        return kExitOk;
    }
    ProvisionOptions options;
    std::string error;
    if (!parseProvisionOptions(cli, options, error)) {
        return refuse("provision", error);
    }
    for (const std::string& spec : options.portSpecs) {
        std::vector<PortInfo> matches;
        if (!matchPortSpec(spec, {}, matches, error)) {
            return refuse("provision", error);
        }
    }
    std::string profileText;
    ProvisionPlan plan;
    if (!readWholeFile(options.profilePath, profileText, error)) {
        return refuse("provision", error);
    }
    if (!parseProfile(profileText, plan.profile, error)) {
        return refuse("provision", options.profilePath + ": " + error);
    }
    OverrideTable overrides;
    if (!options.overridesPath.empty()) {
        std::string text;
        if (!readWholeFile(options.overridesPath, text, error)) {
            return refuse("provision", error);
        }
        if (!parseOverrides(text, overrides, error)) {
            return refuse("provision", options.overridesPath + ": " + error);
        }
        plan.overrides = &overrides;
    }
    plan.overridesRequired = options.overridesRequired;
    plan.requiredFirmware = options.requiredFirmware;
    plan.connectTimeoutMs = kConnectAfterOpenTimeoutMs;

    AuditFile audit;
    if (!options.auditPath.empty() && !openAuditFile(options.auditPath, audit, error)) {
        return refuse("provision", error);
    }
    const ProgressStyle style = cli.json             ? ProgressStyle::Json
                                : stdoutIsTerminal() ? ProgressStyle::Live
                                                     : ProgressStyle::Plain;
    ProvisionReport report(style, sha256Hex(profileText),
                           options.auditPath.empty() ? nullptr : &audit);
    Batch batch(cli, options, plan, report);
    const int status = batch.run();
    closeAuditFile(audit);
    return status;
}
