#include "app/cli/provision_report.h"

#include "app/cli/console.h"
#include "app/cli/json_lines.h"
#include "profile/printable_text.h"

#include <cstdio>

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

// A port, an IMEI and the rest as the device or the system gave them: control characters
// escaped, so that no device text can draw a line of its own.
std::string who(const std::string& port, const DeviceIdentity* identity, bool withoutRow) {
    std::string text = printableText(port);
    if (identity != nullptr && !identity->imei.empty()) {
        text += " " + printableText(identity->imei);
    }
    return text + (withoutRow ? " (no override row)" : "");
}

} // namespace

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
                           {"withoutOverrideRow", progress.withoutOverrideRow},
                           {"step", static_cast<int>(progress.step) + 1},
                           {"of", kPassSteps},
                           {"state", stepText(progress.step)},
                           {"elapsedMs", elapsed.count()}});
            std::fflush(stdout);
        }
        return;
    }
    std::string text =
        who(port, progress.identity, progress.withoutOverrideRow) + ": " + stepLine(progress);
    if (style_ == ProgressStyle::Live) {
        text += ", " + seconds(elapsed);
    }
    show(line, text, newStep && style_ == ProgressStyle::Plain);
}

void ProvisionReport::note(const std::string& port, const std::string& text) {
    if (style_ == ProgressStyle::Json) {
        printJsonLine({{"event", "note"}, {"port", port}, {"text", text}});
        std::fflush(stdout);
        return;
    }
    if (port.empty()) {
        std::fprintf(stderr, "provision: %s\n", printableText(text).c_str());
        return;
    }
    PortLine& line = lineFor(port);
    line.stepShown = false;
    show(line, printableText(port) + ": " + printableText(text), true);
}

void ProvisionReport::finished(const DeviceAttempt& attempt) {
    const PassResult* pass = attempt.pass;
    const DeviceIdentity* identity = pass != nullptr ? &pass->identity : nullptr;
    const char* outcome = outcomeText(attempt.outcome);
    if (style_ == ProgressStyle::Json) {
        printJsonLine({{"event", "done"},
                       {"port", attempt.port},
                       {"imei", textOrNull(identity != nullptr ? identity->imei : "")},
                       {"withoutOverrideRow", attempt.withoutOverrideRow},
                       {"result", outcome},
                       {"error", textOrNull(attempt.error)},
                       {"durationMs", pass != nullptr ? pass->duration.count() : 0}});
        std::fflush(stdout);
        return;
    }
    PortLine& line = lineFor(attempt.port);
    line.stepShown = false;
    std::string text = who(attempt.port, identity, attempt.withoutOverrideRow) + ": " + outcome;
    if (pass != nullptr) {
        text += " in " + seconds(pass->duration);
    }
    if (!attempt.error.empty()) {
        text += ": " + printableText(attempt.error);
    }
    show(line, text, true);
}
