#include "app/cli/commands.h"
#include "app/cli/console.h"
#include "app/cli/device_session.h"
#include "app/cli/named_files.h"
#include "app/cli/private_file.h"
#include "app/cli/provision_report.h"
#include "app/cli/stop_request.h"
#include "link/command_index.h"
#include "link/forwarding_channel.h"
#include "ports/port_spec.h"
#include "profile/printable_text.h"
#include "station/audit_file.h"
#include "station/station.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
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
    std::string overridesPath;
    bool overridesRequired = false;
    std::string auditPath;
    std::string requiredFirmware;
    StationOptions station;
};

bool takeValue(ProvisionOptions& options, const std::string& option, const std::string& value,
               std::string& error) {
    if (option == "--overrides") {
        options.overridesPath = value;
    } else if (option == "--audit") {
        options.auditPath = value;
    } else if (option == "--require-fw") {
        if (!isDottedVersion(value)) {
            error =
                "--require-fw needs a version of dotted numbers such as 2.7.1, got '" + value + "'";
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
        options.station.jobs = jobs;
    }
    return true;
}

// What the options say together; empty when they fit.
std::string conflicts(const CliOptions& cli, const ProvisionOptions& options) {
    const StationOptions& station = options.station;
    if (options.profilePath.empty()) {
        return "give a PROFILE";
    }
    if (station.portSpecs.empty() && !station.allUsb && !cli.target.simulate) {
        return "give the ports: --port PORT (repeatable), usb:VID:PID or --all-usb";
    }
    if (station.retry && !station.watch) {
        return "--retry needs --watch";
    }
    if (!cli.target.tracePath.empty()) {
        // One trace of several ports at once would interleave their frames past reading.
        return "--trace takes one port; provision takes many: use get, set or load-all";
    }
    if (options.overridesRequired && options.overridesPath.empty()) {
        return "--overrides-required needs --overrides FILE";
    }
    if (cli.target.simulate && (station.watch || !station.portSpecs.empty() || station.allUsb)) {
        return "--simulate provisions the one simulated device: no ports, no --watch";
    }
    return "";
}

bool parseProvisionOptions(const CliOptions& cli, ProvisionOptions& options, std::string& error) {
    options.station.portSpecs = cli.ports;
    const struct {
        const char* name;
        bool* flag;
    } flags[] = {
        {"--all-usb", &options.station.allUsb},
        {"--watch", &options.station.watch},
        {"--retry", &options.station.retry},
        {"--overrides-required", &options.overridesRequired},
    };
    constexpr std::string_view kValued[] = {"--overrides", "--audit", "--require-fw", "--jobs"};
    const std::vector<std::string>& args = cli.args;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto flag = std::find_if(std::begin(flags), std::end(flags),
                                       [&arg](const auto& row) { return arg == row.name; });
        if (flag != std::end(flags)) {
            *flag->flag = true;
        } else if (!arg.starts_with("--")) {
            if (!options.profilePath.empty()) {
                error = "give one PROFILE";
                return false;
            }
            options.profilePath = arg;
        } else if (std::find(std::begin(kValued), std::end(kValued), arg) == std::end(kValued)) {
            error = "unexpected argument '" + arg + "'";
            return false;
        } else if (i + 1 >= args.size() || args[i + 1].empty()) {
            error = arg + " needs a value";
            return false;
        } else if (!takeValue(options, arg, args[++i], error)) {
            return false;
        }
    }
    error = conflicts(cli, options);
    if (cli.target.simulate) {
        options.station.portSpecs = {"simulated"};
    }
    return error.empty();
}

int exitStatus(const StationSummary& summary) {
    if (summary.nothingToTake) {
        // Nothing to do is not success: the ports given are not there.
        std::fputs("provision: no port matches; nothing provisioned\n", stderr);
        return kExitFailed;
    }
    if (!summary.auditWritten) {
        std::fputs("provision: the audit file could not be written whole\n", stderr);
    }
    std::fprintf(stderr, "provision: %s\n", summaryText(summary).c_str());
    switch (stationVerdict(summary)) {
    case StationVerdict::Interrupted:
        std::fputs("provision: interrupted\n", stderr);
        return kExitInterrupted;
    case StationVerdict::Faults:
        return kExitFailed;
    case StationVerdict::OnlyDiffers:
        return kExitDiffers;
    case StationVerdict::AllProvisioned:
        break;
    }
    return kExitOk;
}

// The one simulated tracker of --simulate, as a bench of one port.
class SimulatedPort final : public PortSource {
  public:
    explicit SimulatedPort(const SessionTarget& target) : target_(target) {}

    std::vector<PortInfo> present() override {
        return {PortInfo{"simulated", "the simulated device"}};
    }
    bool isPresent(const std::string&) override { return true; }
    std::string deviceKey(const std::string& name) override { return name; }
    std::unique_ptr<ByteChannel> open(const std::string&, std::string& error) override {
        session_ = std::make_unique<DeviceSession>();
        if (!openSession(target_, *session_, error)) {
            return nullptr;
        }
        // The session keeps the simulator; the pass gets a channel that borrows it.
        return std::make_unique<ForwardingChannel>(*session_->simulated);
    }

  private:
    const SessionTarget& target_;
    std::unique_ptr<DeviceSession> session_;
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
    if (!checkNamedFiles({{"--audit", options.auditPath, true},
                          {"the profile", options.profilePath, false},
                          {"--overrides", options.overridesPath, false}},
                         error)) {
        return refuse("provision", error);
    }
    std::string profileText;
    ProvisionPlan plan;
    if (!readWholeFile(options.profilePath, profileText, error)) {
        return refuse("provision", error);
    }
    if (!parseProfile(profileText, plan.profile, error, Placeholders::Filled)) {
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
    if (!audit.warning.empty()) {
        std::fprintf(stderr, "provision: warning: %s\n", printableText(audit.warning).c_str());
    }
    AuditSink sink;
    if (!options.auditPath.empty()) {
        sink = [&audit](std::string_view record) { return appendAuditRecord(audit, record); };
    }
    const ProgressStyle style = cli.json             ? ProgressStyle::Json
                                : stdoutIsTerminal() ? ProgressStyle::Live
                                                     : ProgressStyle::Plain;
    ProvisionReport report(style);
    std::unique_ptr<PortSource> ports =
        cli.target.simulate ? std::make_unique<SimulatedPort>(cli.target) : systemPorts();
    if (options.station.watch) {
        std::fputs("provision: watching for trackers; Ctrl-C ends\n", stderr);
    }
    const StationSummary summary = runStation(*ports, options.station, plan, sha256Hex(profileText),
                                              report, sink, &stopRequested);
    closeAuditFile(audit);
    return exitStatus(summary);
}
