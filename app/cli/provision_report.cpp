#include "app/cli/provision_report.h"

#include "app/cli/console.h"
#include "app/cli/json_lines.h"
#include "profile/printable_text.h"

#include <cstdio>
#include <ctime>

namespace {

using nlohmann::ordered_json;

ordered_json textOrNull(const std::string& text) {
    return text.empty() ? ordered_json(nullptr) : ordered_json(text);
}

std::string seconds(std::chrono::milliseconds elapsed) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(elapsed.count()) / 1000.0);
    return text;
}

std::string stepLine(const PassProgress& progress) {
    std::string text = "step " + std::to_string(static_cast<int>(progress.step) + 1) + " of " +
                       std::to_string(kPassSteps) + " " + stepText(progress.step);
    if (progress.total > 1) {
        text += " " + std::to_string(progress.done) + "/" + std::to_string(progress.total);
    }
    return text;
}

ordered_json versionsJson(const DeviceIdentity& identity) {
    ordered_json versions = ordered_json::object();
    for (std::size_t i = 0; i < kVersionModules.size(); ++i) {
        versions[kVersionModules[i]] = textOrNull(identity.versions[i]);
    }
    return versions;
}

ordered_json verifyJson(const ReadBackResult& verify) {
    ordered_json mismatches = ordered_json::array();
    for (const FieldMismatch& mismatch : verify.mismatches) {
        mismatches.push_back(
            {{"key", mismatch.key}, {"written", mismatch.written}, {"device", mismatch.device}});
    }
    return {{"read", verify.settingsRead},
            {"differ", verify.mismatches.size()},
            {"mismatches", mismatches},
            {"allRead", verify.readsSucceeded}};
}

ordered_json auditJson(const DeviceAttempt& attempt, const std::string& profileSha256) {
    const PassResult* pass = attempt.pass;
    const DeviceIdentity none;
    const DeviceIdentity& identity = pass != nullptr ? pass->identity : none;
    const bool verified =
        pass != nullptr && (pass->verify.settingsRead > 0 || !pass->verify.mismatches.empty());
    return {
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
        {"written", pass != nullptr ? ordered_json(pass->written) : ordered_json::array()},
        {"verify", verified ? verifyJson(pass->verify) : ordered_json(nullptr)},
        {"result", attempt.outcome},
        {"durationMs", pass != nullptr ? pass->duration.count() : 0},
        {"error", textOrNull(attempt.error)},
    };
}

} // namespace

std::string utcNow() {
    std::tm fields{};
    utcFields(std::time(nullptr), fields);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &fields);
    return text;
}

ProvisionReport::ProvisionReport(ProgressStyle style, std::string profileSha256, AuditFile* audit)
    : style_(style), profileSha256_(std::move(profileSha256)), audit_(audit) {}

ProvisionReport::PortLine& ProvisionReport::lineFor(const std::string& port) {
    for (PortLine& line : lines_) {
        if (line.port == port) {
            return line;
        }
    }
    lines_.push_back({port, "", PassStep::Connect, false});
    return lines_.back();
}

void ProvisionReport::redraw() {
    if (drawn_ > 0) {
        std::printf("\x1b[%zuA", drawn_);
    }
    for (const PortLine& line : lines_) {
        std::printf("\r\x1b[2K%s\n", line.text.c_str());
    }
    drawn_ = lines_.size();
    std::fflush(stdout);
    lastDraw_ = std::chrono::steady_clock::now();
}

// A live board redraws at most ten times a second but at once for an event; plain output
// prints the events alone.
void ProvisionReport::show(PortLine& line, const std::string& text, bool event) {
    line.text = text;
    if (style_ == ProgressStyle::Live) {
        if (event ||
            std::chrono::steady_clock::now() - lastDraw_ > std::chrono::milliseconds(100)) {
            redraw();
        }
    } else if (event) {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }
}

void ProvisionReport::progress(const std::string& port, const PassProgress& progress,
                               std::chrono::milliseconds elapsed) {
    const std::lock_guard lock(mutex_);
    PortLine& line = lineFor(port);
    const bool newStep = !line.stepShown || line.step != progress.step;
    line.step = progress.step;
    line.stepShown = true;
    const std::string imei = progress.identity != nullptr ? progress.identity->imei : "";
    if (style_ == ProgressStyle::Json) {
        if (newStep) {
            printJsonLine({{"event", "step"},
                           {"port", port},
                           {"imei", textOrNull(imei)},
                           {"step", static_cast<int>(progress.step) + 1},
                           {"of", kPassSteps},
                           {"state", stepText(progress.step)},
                           {"elapsedMs", elapsed.count()}});
            std::fflush(stdout);
        }
        return;
    }
    std::string text =
        printableText(port) + (imei.empty() ? "" : " " + imei) + ": " + stepLine(progress);
    if (style_ == ProgressStyle::Live) {
        text += ", " + seconds(elapsed);
    }
    show(line, text, newStep && style_ == ProgressStyle::Plain);
}

void ProvisionReport::note(const std::string& port, const std::string& text) {
    const std::lock_guard lock(mutex_);
    if (style_ == ProgressStyle::Json) {
        printJsonLine({{"event", "note"}, {"port", port}, {"text", text}});
        std::fflush(stdout);
        return;
    }
    PortLine& line = lineFor(port);
    line.stepShown = false;
    show(line, printableText(port) + ": " + text, true);
}

bool ProvisionReport::finished(const DeviceAttempt& attempt) {
    const std::lock_guard lock(mutex_);
    const PassResult* pass = attempt.pass;
    const std::string imei = pass != nullptr ? pass->identity.imei : "";
    if (style_ == ProgressStyle::Json) {
        printJsonLine({{"event", "done"},
                       {"port", attempt.port},
                       {"imei", textOrNull(imei)},
                       {"result", attempt.outcome},
                       {"error", textOrNull(attempt.error)},
                       {"durationMs", pass != nullptr ? pass->duration.count() : 0}});
        std::fflush(stdout);
    } else {
        PortLine& line = lineFor(attempt.port);
        line.stepShown = false;
        std::string text =
            printableText(attempt.port) + (imei.empty() ? "" : " " + imei) + ": " + attempt.outcome;
        if (pass != nullptr) {
            text += " in " + seconds(pass->duration);
        }
        if (!attempt.error.empty()) {
            text += ": " + printableText(attempt.error);
        }
        show(line, text, true);
    }
    if (audit_ == nullptr) {
        return true;
    }
    return appendAuditRecord(
        *audit_, auditJson(attempt, profileSha256_)
                         .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) +
                     "\n");
}
