#include "station/audit_file.h"
#include "station/station.h"

#include "profile/setting_values.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace {

using nlohmann::ordered_json;

ordered_json textOrNull(const std::string& text) {
    return text.empty() ? ordered_json(nullptr) : ordered_json(text);
}

ordered_json versionsJson(const DeviceIdentity& identity) {
    ordered_json versions = ordered_json::object();
    for (std::size_t i = 0; i < kVersionModules.size(); ++i) {
        versions[kVersionModules[i]] = textOrNull(identity.versions[i]);
    }
    return versions;
}

bool isSecretKey(const std::string& key) {
    const SettingRow* row = nullptr;
    const SettingField* field = nullptr;
    return findField(key, row, field) && row->secret;
}

ordered_json verifyJson(const ReadBackResult& verify) {
    ordered_json mismatches = ordered_json::array();
    for (const FieldMismatch& mismatch : verify.mismatches) {
        if (isSecretKey(mismatch.key)) {
            mismatches.push_back({{"key", mismatch.key}, {"secret", true}});
        } else {
            mismatches.push_back({{"key", mismatch.key},
                                  {"written", mismatch.written},
                                  {"device", mismatch.device}});
        }
    }
    return {{"read", verify.settingsRead},
            {"differ", verify.mismatches.size()},
            {"mismatches", mismatches},
            {"allRead", verify.readsSucceeded},
            {"notRead", verify.notRead},
            // Written and acknowledged, but the device has no read for them: not proven.
            {"writeOnly", verify.writeOnly}};
}

} // namespace

std::string auditRecord(const DeviceAttempt& attempt, const std::string& profileSha256) {
    const PassResult* pass = attempt.pass;
    const DeviceIdentity none;
    const DeviceIdentity& identity = pass != nullptr ? pass->identity : none;
    const ordered_json record = {
        {"time", attempt.startedUtc},
        {"port", attempt.port},
        {"usbSerial", textOrNull(attempt.usbSerial)},
        {"imei", textOrNull(identity.imei)},
        {"deviceId", textOrNull(identity.deviceId)},
        {"versions", versionsJson(identity)},
        {"profileSha256", profileSha256},
        {"overrideSha256", pass != nullptr && pass->overrideRow != nullptr
                               ? ordered_json(sha256Hex(pass->overrideRow->text))
                               : ordered_json(nullptr)},
        {"withoutOverrideRow", attempt.withoutOverrideRow},
        {"written", pass != nullptr ? ordered_json(pass->written) : ordered_json::array()},
        {"skipped", pass != nullptr ? ordered_json(pass->skipped) : ordered_json::array()},
        {"verify",
         pass != nullptr && pass->readBackRan ? verifyJson(pass->verify) : ordered_json(nullptr)},
        {"result", outcomeText(attempt.outcome)},
        {"durationMs", pass != nullptr ? pass->duration.count() : 0},
        {"error", textOrNull(attempt.error)},
        // What the tracker's log said, as a technician saw it; it holds no values.
        {"log", pass != nullptr ? ordered_json(pass->log) : ordered_json(nullptr)},
    };
    return record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::string utcNow() {
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02ld:%02ld:%02lldZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<long>(time.hours().count()),
                  static_cast<long>(time.minutes().count()),
                  static_cast<long long>(time.seconds().count()));
    return text;
}
