#pragma once

#include "link/byte_channel.h"
#include "ports/port_directory.h"
#include "provision/device_pass.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The provisioning station: one profile to a bench of trackers, one worker per port, each
// with a link of its own. It decides which ports it takes, who each tracker is across the
// batch, what each attempt came to and what the audit keeps; a front end renders its events.

// The machine's ports as the station sees them; the tests give simulated trackers instead.
class PortSource {
  public:
    virtual ~PortSource() = default;
    virtual std::vector<PortInfo> present() = 0;
    virtual bool isPresent(const std::string& name) = 0;
    // Two names of one device (a link and its target) give one key.
    virtual std::string deviceKey(const std::string& name) = 0;
    // Opens the port for one pass; null with a message.
    virtual std::unique_ptr<ByteChannel> open(const std::string& name, std::string& error) = 0;
};

// The serial ports of this machine (listPorts, SerialChannel).
std::unique_ptr<PortSource> systemPorts();

struct StationOptions {
    std::vector<std::string> portSpecs; // names, usb:VID:PID[:SERIAL], auto
    bool allUsb = false;
    std::size_t jobs = 0; // at most this many trackers at once; 0: one per port
    bool watch = false;   // keep taking trackers as they are plugged in, until stopped
    bool retry = false;   // with watch: a tracker unplugged mid-pass starts again when back
    std::chrono::milliseconds pollInterval{250};
    // The trackers an earlier run of the same batch wrote ("IMEI 3569...", "device ID ..." to
    // the port), so that a retry refuses them elsewhere as this run would.
    std::map<std::string, std::string> writtenBefore;
    // Ports another part of the program holds open (the window's own connection): never taken.
    std::vector<std::string> exclude;
};

// One attempt at one tracker, as its progress line ends and the audit keeps it.
struct DeviceAttempt {
    std::string port;
    std::string usbSerial;
    std::string startedUtc;           // "2026-12-07T10:42:05Z"
    const PassResult* pass = nullptr; // null when it never started
    PassOutcome outcome = PassOutcome::Interrupted;
    std::string error;               // the first error
    bool withoutOverrideRow = false; // overrides given, none for this tracker
};

// What a front end is told; calls come from the workers' threads one at a time.
class StationObserver {
  public:
    virtual ~StationObserver() = default;
    // A word on a port between attempts, or on the bench ("back, starting again").
    virtual void note(const std::string& port, const std::string& text) = 0;
    virtual void progress(const std::string& port, const PassProgress& progress,
                          std::chrono::milliseconds elapsed) = 0;
    virtual void finished(const DeviceAttempt& attempt) = 0;
};

struct StationSummary {
    std::size_t attempts = 0;
    std::map<PassOutcome, std::size_t> outcomes;
    std::size_t withoutOverrideRow = 0;
    bool auditWritten = true; // every record reached the audit
    bool stopped = false;
    bool nothingToTake = false;                 // no port matched and no watch
    std::map<std::string, std::string> written; // for the next run's writtenBefore
};

enum class StationVerdict { AllProvisioned, OnlyDiffers, Faults, Interrupted };
StationVerdict stationVerdict(const StationSummary& summary);
// "3 provisioned, 1 failed, 1 without an override row".
std::string summaryText(const StationSummary& summary);

// Writes one audit record; false when it did not reach the disk. Null: no audit.
using AuditSink = std::function<bool(std::string_view record)>;

// One record of the audit, a JSON object on one line with its newline; secrets are never in
// it.
std::string auditRecord(const DeviceAttempt& attempt, const std::string& profileSha256);

// Runs the batch until every port taken is done, or until `stop` (polled; null: never) while
// watching. Called on one thread; the workers call `observer` and `audit` under one lock.
StationSummary runStation(PortSource& ports, const StationOptions& options,
                          const ProvisionPlan& plan, const std::string& profileSha256,
                          StationObserver& observer, const AuditSink& audit, bool (*stop)());

// The time now in UTC, to the second: "2026-12-07T10:42:05Z".
std::string utcNow();
