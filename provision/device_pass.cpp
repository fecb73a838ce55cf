#include "provision/device_pass.h"

#include "controls/memory_controls.h"
#include "controls/wire_text.h"
#include "ports/device_connection.h"
#include "profile/planned_writes.h"
#include "profile/printable_text.h"
#include "profile/setting_values.h"
#include "provision/device_keys.h"
#include "settings/setting_shapes.h"
#include "ui/about_queries.h"
#include "ui/page_setup.h"

#include <algorithm>

namespace {

using Clock = std::chrono::steady_clock;

bool stopped(bool (*stop)()) {
    return stop != nullptr && stop();
}

// The log's last line without its CR LF: an operation's outcome is the line it ended with.
std::string lastLine(std::string_view log) {
    while (log.ends_with("\r\n")) {
        log.remove_suffix(2);
    }
    const std::size_t start = log.rfind("\r\n");
    return std::string(start == std::string_view::npos ? log : log.substr(start + 2));
}

// The first line of a log that did not end in success: the read that failed.
std::string firstFailedLine(std::string_view log) {
    while (!log.empty()) {
        const std::size_t end = log.find("\r\n");
        const std::string_view line = log.substr(0, end);
        if (!line.ends_with("success.")) {
            return std::string(line);
        }
        if (end == std::string_view::npos) {
            break;
        }
        log.remove_prefix(end + 2);
    }
    return lastLine(log);
}

std::string fieldText(const Controls& controls, SettingId id) {
    return fieldValueText(controls, settingFields(settingRow(id))[0]);
}

// The version after its label's prefix; empty where the query failed and left the fallback.
std::array<std::string, 6> readVersions(SettingContext& context) {
    const VersionLabels labels = queryVersions(context);
    const auto queries = versionQueries();
    std::array<std::string, 6> versions;
    for (std::size_t i = 0; i < versions.size(); ++i) {
        const std::u16string_view text = labels[i].text;
        const std::u16string_view prefix = queries[i].prefix;
        if (text != queries[i].fallback && text.starts_with(prefix)) {
            versions[i] = utf8FromUtf16(text.substr(prefix.size()));
        }
    }
    return versions;
}

bool usesDeviceId(const ProvisionPlan& plan) {
    if (plan.overrides != nullptr && plan.overrides->key == OverrideKey::DeviceId) {
        return true;
    }
    const auto mentions = [](const std::string& value) {
        return value.find("{device-id}") != std::string::npos;
    };
    if (std::any_of(plan.profile.begin(), plan.profile.end(),
                    [&](const ProfileEntry& entry) { return mentions(entry.value); })) {
        return true;
    }
    return plan.overrides != nullptr &&
           std::any_of(plan.overrides->rows.begin(), plan.overrides->rows.end(),
                       [&](const OverrideRow& row) {
                           return std::any_of(row.values.begin(), row.values.end(), mentions);
                       });
}

// Why the device is refused before anything is written; empty when it is not. A tracker
// without its own identity would be filled with nothing and pass for every other one.
std::string refusal(const ProvisionPlan& plan, const DeviceIdentity& identity,
                    const OverrideRow* row) {
    if (!isValidImei(identity.imei)) {
        return "the tracker reports no valid IMEI: '" + printableText(identity.imei) + "'";
    }
    if (usesDeviceId(plan) && !isValidDeviceId(identity.deviceId)) {
        return "the tracker reports no valid device ID: '" + printableText(identity.deviceId) + "'";
    }
    if (!plan.requiredFirmware.empty()) {
        bool atLeast = false;
        const std::string& firmware = identity.versions[0];
        if (firmware.empty() || !firmwareAtLeast(firmware, plan.requiredFirmware, atLeast)) {
            return "firmware version unknown, " + plan.requiredFirmware + " required";
        }
        if (!atLeast) {
            return "firmware " + printableText(firmware) + " is older than " +
                   plan.requiredFirmware;
        }
    }
    if (row == nullptr && plan.overridesRequired) {
        return "no override row for IMEI " + identity.imei + " or device ID " +
               printableText(identity.deviceId);
    }
    return plan.claim ? plan.claim(identity) : "";
}

class Pass {
  public:
    Pass(DeviceLink& link, const ProvisionPlan& plan, const PassObserver& observer, bool (*stop)())
        : context_{link, controls_, auxSensors_}, plan_(plan), observer_(observer), stop_(stop) {
        setUpPageControls(controls_);
    }

    PassResult run() {
        const Clock::time_point start = Clock::now();
        report(PassStep::Connect, 0, 1);
        const bool tried = !stopped(stop_);
        if (tried && connectDevice(context_, connection_, plan_.connectTimeoutMs)) {
            work();
            report(PassStep::Disconnect, 0, 1);
            // A stop cuts the waits short, but the device still gets its disconnect.
            context_.link.stop = nullptr;
            if (!disconnectDevice(context_, connection_)) {
                fail(PassOutcome::Failed, lastLine(controls_.log()));
            }
        } else if (!stopped(stop_)) {
            fail(PassOutcome::Failed, lastLine(controls_.log()));
        } else if (tried) {
            // Stopped between the two connect replies, the device may count itself connected.
            context_.link.stop = nullptr;
            disconnectDevice(context_, connection_);
        }
        // Stopped with no fault and not done: what was left undone is the stop's.
        if (stopped(stop_) && result_.error.empty() &&
            result_.outcome != PassOutcome::Provisioned) {
            result_.outcome = PassOutcome::Interrupted;
        }
        result_.duration =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        result_.log = controls_.log();
        return std::move(result_);
    }

  private:
    void work() {
        if (stopped(stop_)) {
            return;
        }
        report(PassStep::Identify, 0, 1);
        DeviceIdentity& identity = result_.identity;
        if (!getSetting(context_, SettingId::Imei) || !getSetting(context_, SettingId::DeviceId)) {
            fail(PassOutcome::Failed, lastLine(controls_.log()));
            return;
        }
        identity.imei = fieldText(controls_, SettingId::Imei);
        identity.deviceId = fieldText(controls_, SettingId::DeviceId);
        identity.versions = readVersions(context_);
        if (plan_.overrides != nullptr) {
            result_.overrideRow =
                findOverrideRow(*plan_.overrides, identity.imei, identity.deviceId);
            // Without an IMEI of its own no row could have been its: it is refused for that.
            result_.withoutOverrideRow =
                result_.overrideRow == nullptr && isValidImei(identity.imei);
        }
        std::string error = refusal(plan_, identity, result_.overrideRow);
        if (!error.empty() || !plan(error)) {
            fail(PassOutcome::Refused, error);
            return;
        }
        if (!stopped(stop_) && write()) {
            verify();
        }
    }

    // The device's own values, and what of them is written: a value the device would refuse
    // refuses the tracker before the first write.
    bool plan(std::string& error) {
        const DeviceIdentity& identity = result_.identity;
        if (!fillDeviceValues(controls_, plan_.profile, plan_.overrides, result_.overrideRow,
                              identity.imei, identity.deviceId, error)) {
            return false;
        }
        rows_ = plannedWrites(controls_, result_.skipped);
        for (const std::string& name : result_.skipped) {
            controls_.appendLog(skippedLine(name));
        }
        return checkPlannedWrites(controls_, rows_, error);
    }

    bool write() {
        const std::vector<const SettingRow*>& rows = rows_;
        // The first failed write ends the pass: the device is refusing, or gone, and
        // every further write would only wait out its own time-out.
        for (std::size_t i = 0; i < rows.size() && !stopped(stop_) && result_.error.empty(); ++i) {
            report(PassStep::Write, i, rows.size());
            if (setSetting(context_, *rows[i])) {
                written_.push_back(rows[i]);
                result_.written.emplace_back(rows[i]->name);
            } else {
                fail(PassOutcome::Failed, lastLine(controls_.log()));
            }
        }
        return result_.error.empty() && written_.size() == rows.size();
    }

    void verify() {
        report(PassStep::Verify, 0, 1);
        std::string log;
        result_.readBackRan = true;
        result_.verify = readBack(
            context_.link, controls_, written_, [&log](std::string_view text) { log.append(text); },
            stop_);
        controls_.appendLog(log);
        if (stopped(stop_)) {
            return;
        }
        if (!result_.verify.readsSucceeded) {
            fail(PassOutcome::Failed, "read-back: " + firstFailedLine(log));
        } else if (!result_.verify.mismatches.empty()) {
            fail(PassOutcome::Differs,
                 "read-back: " + mismatchText(result_.verify.mismatches.front()));
        } else {
            result_.outcome = PassOutcome::Provisioned;
        }
    }

    // The first fault decides the outcome; later ones only follow from it. An exchange that
    // failed because the port went away is the unplug's, whatever it was doing.
    void fail(PassOutcome outcome, std::string error) {
        if (result_.error.empty()) {
            const ByteChannel* channel = context_.link.channel;
            result_.outcome =
                outcome == PassOutcome::Failed && channel != nullptr && channel->hungUp()
                    ? PassOutcome::Unplugged
                    : outcome;
            result_.error = std::move(error);
        }
    }

    void report(PassStep step, std::size_t done, std::size_t total) {
        if (observer_) {
            observer_({step, done, total,
                       result_.identity.imei.empty() ? nullptr : &result_.identity,
                       result_.withoutOverrideRow});
        }
    }

    MemoryControls controls_;
    AuxSensorCache auxSensors_;
    SettingContext context_;
    DeviceConnection connection_;
    const ProvisionPlan& plan_;
    const PassObserver& observer_;
    bool (*stop_)();
    PassResult result_;
    std::vector<const SettingRow*> rows_; // to write, in order
    std::vector<const SettingRow*> written_;
};

// The leading "N.N.N" of a version; false when it starts with no digit.
bool versionNumbers(std::string_view text, std::vector<unsigned long>& numbers) {
    while (!text.empty() && text.front() >= '0' && text.front() <= '9') {
        unsigned long number = 0;
        while (!text.empty() && text.front() >= '0' && text.front() <= '9') {
            number = number * 10 + static_cast<unsigned long>(text.front() - '0');
            if (number > 0xFFFFFFFFUL) {
                return false;
            }
            text.remove_prefix(1);
        }
        numbers.push_back(number);
        if (text.size() < 2 || text.front() != '.') {
            break;
        }
        text.remove_prefix(1);
    }
    return !numbers.empty();
}

} // namespace

PassResult provisionDevice(DeviceLink& link, const ProvisionPlan& plan,
                           const PassObserver& observer, bool (*stop)()) {
    return Pass(link, plan, observer, stop).run();
}

const char* outcomeText(PassOutcome outcome) {
    switch (outcome) {
    case PassOutcome::Provisioned:
        return "provisioned";
    case PassOutcome::Differs:
        return "differs";
    case PassOutcome::Failed:
        return "failed";
    case PassOutcome::Refused:
        return "refused";
    case PassOutcome::Unplugged:
        return "unplugged";
    case PassOutcome::Interrupted:
        return "interrupted";
    }
    return "failed";
}

const char* stepText(PassStep step) {
    static const char* const texts[] = {"connect", "identify", "write", "verify", "disconnect"};
    return texts[static_cast<int>(step)];
}

bool isDottedVersion(std::string_view version) {
    const bool onlyDigitsAndDots = std::all_of(
        version.begin(), version.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
    std::vector<unsigned long> numbers;
    return onlyDigitsAndDots && !version.empty() && version.front() != '.' &&
           version.back() != '.' && version.find("..") == std::string_view::npos &&
           versionNumbers(version, numbers);
}

bool firmwareAtLeast(std::string_view version, std::string_view required, bool& atLeast) {
    std::vector<unsigned long> have;
    std::vector<unsigned long> want;
    if (!versionNumbers(version, have) || !versionNumbers(required, want)) {
        return false;
    }
    // 2.7 and 2.7.0 are the same version.
    have.resize(std::max(have.size(), want.size()));
    want.resize(have.size());
    atLeast = have >= want;
    return true;
}
