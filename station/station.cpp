#include "station/station.h"

#include "link/device_link.h"
#include "ports/port_spec.h"
#include "provision/device_keys.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// One tracker's place on the bench. A worker thread owns `result` until it sets `finished`;
// everything else belongs to the thread that runs the station.
struct Slot {
    enum class State { Waiting, Running, Done, AwaitingReturn };
    PortInfo port;
    bool bySerial = false; // follows its USB serial from port to port (watch, unique serial)
    State state = State::Waiting;
    bool seen = false;       // present in the last look at the ports
    bool seenAbsent = false; // the port vanished while the worker ran
    bool goneSinceDone = false;
    std::string startedUtc;
    Clock::time_point started{};
    std::thread worker;
    std::atomic<bool> finished{false};
    PassResult result;
};

// Who a tracker is across the batch: an IMEI (or device ID) is taken by one slot at a time,
// and stays taken once written.
struct Claim {
    const Slot* owner;
    std::string port;
    bool active;
    bool written;
};

bool written(PassOutcome outcome) {
    return outcome == PassOutcome::Provisioned || outcome == PassOutcome::Differs;
}

class Station {
  public:
    Station(PortSource& ports, const StationOptions& options, const ProvisionPlan& plan,
            const std::string& profileSha256, StationObserver& observer, const AuditSink& audit,
            bool (*stop)())
        : ports_(ports), options_(options), plan_(plan), profileSha256_(profileSha256),
          observer_(observer), audit_(audit), stop_(stop) {
        for (const auto& [key, port] : options.writtenBefore) {
            claims_[key] = Claim{nullptr, port, false, true};
        }
    }

    StationSummary run() {
        discover();
        if (!options_.watch && slots_.empty()) {
            summary_.nothingToTake = true;
            return summary_;
        }
        Clock::time_point lastLook = Clock::now();
        for (;;) {
            if (options_.watch && Clock::now() - lastLook >= options_.pollInterval) {
                discover();
                lastLook = Clock::now();
            }
            collectFinished();
            if (!stopped()) {
                startWaiting();
            }
            const bool busy = anyIn(Slot::State::Running);
            if (!busy && (stopped() || (!options_.watch && !anyIn(Slot::State::Waiting)))) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        for (const auto& slot : slots_) {
            if (slot->state == Slot::State::Waiting || slot->state == Slot::State::AwaitingReturn) {
                record(*slot, nullptr, PassOutcome::Interrupted,
                       "stopped before it was provisioned");
            }
        }
        summary_.stopped = stopped();
        for (const auto& [key, claim] : claims_) {
            if (claim.written) {
                summary_.written[key] = claim.port;
            }
        }
        return summary_;
    }

  private:
    bool stopped() const { return stop_ != nullptr && stop_(); }

    bool anyIn(Slot::State state) const {
        return std::any_of(slots_.begin(), slots_.end(),
                           [state](const auto& slot) { return slot->state == state; });
    }

    void note(const std::string& port, const std::string& text) {
        const std::lock_guard lock(mutex_);
        observer_.note(port, text);
    }

    // The ports the specs name now, each once, with what the system knows of it.
    std::vector<PortInfo> portsNamed(const std::vector<PortInfo>& present) {
        std::vector<std::string> specs = options_.portSpecs;
        if (options_.allUsb) {
            specs.emplace_back("auto");
        }
        std::vector<PortInfo> named;
        std::vector<std::string> keys;
        for (const std::string& spec : specs) {
            std::vector<PortInfo> matches;
            std::string error;
            if (!matchPortSpec(spec, present, matches, error)) {
                continue; // refused before the run
            }
            for (PortInfo& port : matches) {
                if (std::find(options_.exclude.begin(), options_.exclude.end(), port.name) !=
                    options_.exclude.end()) {
                    continue;
                }
                const auto known =
                    std::find_if(present.begin(), present.end(),
                                 [&](const PortInfo& p) { return p.name == port.name; });
                if (known != present.end()) {
                    port = *known;
                }
                std::string key = ports_.deviceKey(port.name);
                const auto same = std::find(keys.begin(), keys.end(), key);
                if (same == keys.end()) {
                    keys.push_back(std::move(key));
                    named.push_back(std::move(port));
                } else if (named[same - keys.begin()].name != port.name) {
                    noteOnce(port.name + " is the same device as " +
                             named[same - keys.begin()].name + "; taken once");
                }
            }
        }
        return named;
    }

    void noteOnce(const std::string& text) {
        if (noted_.insert(text).second) {
            note("", text);
        }
    }

    // Ports are told apart by their device; under watch a USB serial follows its tracker to
    // another port, but only a serial no other present port reports.
    void discover() {
        const std::vector<PortInfo> present = ports_.present();
        std::map<std::string, std::vector<std::string>> bySerial;
        for (const PortInfo& port : present) {
            if (!port.serial.empty()) {
                bySerial[port.serial].push_back(port.name);
            }
        }
        for (const auto& [serial, names] : bySerial) {
            if (names.size() > 1) {
                std::string list;
                for (const std::string& name : names) {
                    list += (list.empty() ? "" : ", ") + name;
                }
                noteOnce("ports " + list + " report the same USB serial " + serial +
                         "; told apart by port");
            }
        }
        for (const auto& slot : slots_) {
            slot->seen = false;
        }
        for (PortInfo& port : portsNamed(present)) {
            if (options_.watch && !ports_.isPresent(port.name)) {
                continue;
            }
            const bool followSerial =
                options_.watch && !port.serial.empty() && bySerial[port.serial].size() == 1;
            Slot* slot = find(followSerial, port);
            if (slot == nullptr) {
                slots_.push_back(std::make_unique<Slot>());
                slot = slots_.back().get();
                slot->bySerial = followSerial;
            } else if (slot->state == Slot::State::AwaitingReturn) {
                note(port.name, "back, starting again");
                slot->state = Slot::State::Waiting;
            } else if (slot->state == Slot::State::Done && slot->goneSinceDone && !slot->bySerial) {
                // Known only by its port: whatever is plugged in there now is another tracker.
                slot->state = Slot::State::Waiting;
            }
            slot->seen = true;
            slot->goneSinceDone = false;
            if (slot->state != Slot::State::Running) {
                slot->port = std::move(port);
            }
        }
        if (!options_.watch) {
            return;
        }
        for (const auto& slot : slots_) {
            if (!slot->seen) {
                slot->seenAbsent = slot->seenAbsent || slot->state == Slot::State::Running;
                slot->goneSinceDone = slot->state == Slot::State::Done;
            }
        }
    }

    // A port is known by the name it was given (a link keeps its name when the device behind it
    // comes back as another); a tracker followed by its serial stays itself on its port when a
    // clone with the same serial appears.
    Slot* find(bool followSerial, const PortInfo& port) {
        for (const auto& slot : slots_) {
            const bool sameSerial = slot->port.serial == port.serial;
            if (followSerial ? slot->bySerial && sameSerial
                             : slot->port.name == port.name && (!slot->bySerial || sameSerial)) {
                return slot.get();
            }
        }
        return nullptr;
    }

    void startWaiting() {
        const std::size_t jobs = options_.jobs != 0 ? options_.jobs : slots_.size();
        std::size_t running = static_cast<std::size_t>(
            std::count_if(slots_.begin(), slots_.end(),
                          [](const auto& slot) { return slot->state == Slot::State::Running; }));
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
            slot->started = Clock::now();
            slot->worker = std::thread(&Station::work, this, slot.get());
            ++running;
        }
    }

    // The worker: its own channel, link and pass; it shares only what takes the lock.
    void work(Slot* slot) {
        ProvisionPlan plan = plan_;
        plan.claim = [this, slot](const DeviceIdentity& identity) {
            return claim(*slot, identity);
        };
        const std::string port = slot->port.name;
        std::string error;
        std::unique_ptr<ByteChannel> channel = ports_.open(port, error);
        if (channel) {
            DeviceLink link;
            initDeviceLink(link, channel.get());
            link.stop = stop_;
            slot->result = provisionDevice(
                link, plan,
                [&](const PassProgress& progress) {
                    const std::lock_guard lock(mutex_);
                    observer_.progress(port, progress,
                                       std::chrono::duration_cast<std::chrono::milliseconds>(
                                           Clock::now() - slot->started));
                },
                stop_);
            channel->closePort();
        } else {
            slot->result = PassResult{};
            slot->result.error = error;
        }
        slot->finished = true;
    }

    // Refuses a tracker another port has, or that was written already in this run.
    std::string claim(const Slot& slot, const DeviceIdentity& identity) {
        const std::lock_guard lock(mutex_);
        std::vector<std::string> keys = {"IMEI " + identity.imei};
        if (plan_.overrides != nullptr && plan_.overrides->key == OverrideKey::DeviceId) {
            keys.push_back("device ID " + identity.deviceId);
        }
        for (const std::string& key : keys) {
            const auto taken = claims_.find(key);
            if (taken != claims_.end() && taken->second.owner != &slot &&
                (taken->second.active || taken->second.written)) {
                return key + " already provisioned in this batch on " + taken->second.port;
            }
        }
        for (const std::string& key : keys) {
            claims_[key] = Claim{&slot, slot.port.name, true, false};
        }
        return "";
    }

    void release(const Slot& slot, PassOutcome outcome) {
        for (auto claim = claims_.begin(); claim != claims_.end();) {
            if (claim->second.owner != &slot) {
                ++claim;
                continue;
            }
            claim->second.active = false;
            claim->second.written = claim->second.written || written(outcome);
            claim = claim->second.written ? std::next(claim) : claims_.erase(claim);
        }
    }

    void collectFinished() {
        for (const auto& slot : slots_) {
            if (slot->state != Slot::State::Running || !slot->finished) {
                continue;
            }
            slot->worker.join();
            const PassResult& result = slot->result;
            PassOutcome outcome = result.outcome;
            if (outcome == PassOutcome::Failed &&
                (slot->seenAbsent || !ports_.isPresent(slot->port.name))) {
                outcome = PassOutcome::Unplugged;
            }
            record(*slot, &result, outcome, result.error);
            if (outcome == PassOutcome::Unplugged && options_.watch && options_.retry &&
                !stopped()) {
                slot->state = Slot::State::AwaitingReturn;
                slot->seen = false;
                note(slot->port.name, "unplugged, waiting for it to come back");
            }
        }
    }

    void record(Slot& slot, const PassResult* result, PassOutcome outcome,
                const std::string& error) {
        slot.state = Slot::State::Done;
        DeviceAttempt attempt{
            slot.port.name, slot.port.serial, slot.startedUtc.empty() ? utcNow() : slot.startedUtc,
            result,         outcome,          error,
            false};
        attempt.withoutOverrideRow = result != nullptr && result->withoutOverrideRow;
        const std::lock_guard lock(mutex_);
        release(slot, outcome);
        observer_.finished(attempt);
        if (audit_) {
            summary_.auditWritten =
                audit_(auditRecord(attempt, profileSha256_)) && summary_.auditWritten;
        }
        ++summary_.attempts;
        ++summary_.outcomes[outcome];
        summary_.withoutOverrideRow += attempt.withoutOverrideRow ? 1 : 0;
    }

    PortSource& ports_;
    const StationOptions& options_;
    const ProvisionPlan& plan_;
    const std::string& profileSha256_;
    StationObserver& observer_;
    const AuditSink& audit_;
    bool (*stop_)();
    std::mutex mutex_; // the observer, the audit and the claims
    std::vector<std::unique_ptr<Slot>> slots_;
    std::map<std::string, Claim> claims_;
    std::set<std::string> noted_;
    StationSummary summary_;
};

} // namespace

StationSummary runStation(PortSource& ports, const StationOptions& options,
                          const ProvisionPlan& plan, const std::string& profileSha256,
                          StationObserver& observer, const AuditSink& audit, bool (*stop)()) {
    return Station(ports, options, plan, profileSha256, observer, audit, stop).run();
}

StationVerdict stationVerdict(const StationSummary& summary) {
    if (summary.stopped) {
        return StationVerdict::Interrupted;
    }
    std::size_t differs = 0;
    std::size_t faults = summary.nothingToTake || !summary.auditWritten ? 1 : 0;
    for (const auto& [outcome, count] : summary.outcomes) {
        differs += outcome == PassOutcome::Differs ? count : 0;
        faults +=
            outcome != PassOutcome::Differs && outcome != PassOutcome::Provisioned ? count : 0;
    }
    return faults > 0    ? StationVerdict::Faults
           : differs > 0 ? StationVerdict::OnlyDiffers
                         : StationVerdict::AllProvisioned;
}

std::string summaryText(const StationSummary& summary) {
    const auto provisioned = summary.outcomes.find(PassOutcome::Provisioned);
    std::string text =
        std::to_string(provisioned == summary.outcomes.end() ? 0 : provisioned->second) +
        " provisioned";
    for (const auto& [outcome, count] : summary.outcomes) {
        if (outcome != PassOutcome::Provisioned) {
            text += ", " + std::to_string(count) + " " + outcomeText(outcome);
        }
    }
    if (summary.withoutOverrideRow > 0) {
        text += ", " + std::to_string(summary.withoutOverrideRow) + " without an override row";
    }
    return text;
}
