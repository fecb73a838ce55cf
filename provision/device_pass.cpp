#include "provision/device_pass.h"

#include "controls/memory_controls.h"
#include "controls/wire_text.h"
#include "ports/device_connection.h"
#include "profile/setting_values.h"
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

// Why the device is refused before anything is written; empty when it is not.
std::string refusal(const ProvisionPlan& plan, const DeviceIdentity& identity,
                    const OverrideRow* row) {
    if (!plan.requiredFirmware.empty()) {
        bool atLeast = false;
        const std::string& firmware = identity.versions[0];
        if (firmware.empty() || !firmwareAtLeast(firmware, plan.requiredFirmware, atLeast)) {
            return "firmware version unknown, " + plan.requiredFirmware + " required";
        }
        if (!atLeast) {
            return "firmware " + firmware + " is older than " + plan.requiredFirmware;
        }
    }
    if (row == nullptr && plan.overridesRequired) {
        return "no override row for IMEI " + identity.imei + " or device ID " + identity.deviceId;
    }
    return "";
}

// The profile, its placeholders expanded, then the device's own row; a value that does not
// take its field's form once expanded refuses the device.
bool fillPlannedValues(Controls& controls, const ProvisionPlan& plan,
                       const DeviceIdentity& identity, const OverrideRow* row, std::string& error) {
    applyProfile(controls, plan.profile);
    for (const ProfileEntry& entry : plan.profile) {
        if (entry.written && hasPlaceholder(entry.value) &&
            !fillFieldValue(controls, *entry.row, *entry.field,
                            expandPlaceholders(entry.value, identity.imei, identity.deviceId),
                            error)) {
            error = "profile line " + std::to_string(entry.lineNumber) + ": " + error;
            return false;
        }
    }
    if (row == nullptr) {
        return true;
    }
    for (std::size_t i = 0; i < row->values.size(); ++i) {
        const OverrideColumn& column = plan.overrides->columns[i];
        if (!row->values[i].empty() &&
            !fillFieldValue(controls, *column.row, *column.field,
                            expandPlaceholders(row->values[i], identity.imei, identity.deviceId),
                            error)) {
            error = "overrides line " + std::to_string(row->lineNumber) + ", column " +
                    std::to_string(i + 2) + ": " + error;
            return false;
        }
    }
    return true;
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
        if (!stopped(stop_) && connectDevice(context_, connection_, plan_.connectTimeoutMs)) {
            work();
            report(PassStep::Disconnect, 0, 1);
            if (!disconnectDevice(context_, connection_)) {
                fail(PassOutcome::Failed, lastLine(controls_.log()));
            }
        } else if (!stopped(stop_)) {
            fail(PassOutcome::Failed, lastLine(controls_.log()));
        }
        // Stopped with no fault and not done: what was left undone is the stop's.
        if (stopped(stop_) && result_.error.empty() &&
            result_.outcome != PassOutcome::Provisioned) {
            result_.outcome = PassOutcome::Interrupted;
        }
        result_.duration =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
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
        }
        std::string error = refusal(plan_, identity, result_.overrideRow);
        if (!error.empty() ||
            !fillPlannedValues(controls_, plan_, identity, result_.overrideRow, error)) {
            fail(PassOutcome::Refused, error);
            return;
        }
        if (!stopped(stop_) && write()) {
            verify();
        }
    }

    bool write() {
        std::vector<const SettingRow*> rows;
        for (const SettingRow& row : settingCatalogue()) {
            if (row.setCode) {
                rows.push_back(&row);
            }
        }
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
        result_.verify = readBack(
            context_.link, controls_, written_, [&log](std::string_view text) { log.append(text); },
            stop_);
        if (stopped(stop_)) {
            return;
        }
        if (!result_.verify.readsSucceeded) {
            fail(PassOutcome::Failed, "read-back: " + lastLine(log));
        } else if (!result_.verify.mismatches.empty()) {
            fail(PassOutcome::Differs,
                 "read-back: " + mismatchText(result_.verify.mismatches.front()));
        } else {
            result_.outcome = PassOutcome::Provisioned;
        }
    }

    // The first fault decides the outcome; later ones only follow from it.
    void fail(PassOutcome outcome, std::string error) {
        if (result_.error.empty()) {
            result_.outcome = outcome;
            result_.error = std::move(error);
        }
    }

    void report(PassStep step, std::size_t done, std::size_t total) {
        if (observer_) {
            observer_(
                {step, done, total, result_.identity.imei.empty() ? nullptr : &result_.identity});
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
    case PassOutcome::Interrupted:
        return "interrupted";
    }
    return "failed";
}

const char* stepText(PassStep step) {
    static const char* const texts[] = {"connect", "identify", "write", "verify", "disconnect"};
    return texts[static_cast<int>(step)];
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
