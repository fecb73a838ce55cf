#include "station/board.h"

#include <algorithm>

namespace {

// A CSV cell: quoted when it holds a comma, a quote or a line break, quotes doubled.
std::string cell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + "\"";
}

std::string record(const std::vector<std::string>& cells) {
    std::string line;
    for (const std::string& text : cells) {
        line += (line.empty() ? "" : ",") + cell(text);
    }
    return line + "\r\n";
}

} // namespace

RowState rowState(PassOutcome outcome) {
    switch (outcome) {
    case PassOutcome::Provisioned:
        return RowState::Provisioned;
    case PassOutcome::Differs:
        return RowState::Differs;
    case PassOutcome::Failed:
        return RowState::Failed;
    case PassOutcome::Refused:
        return RowState::Refused;
    case PassOutcome::Unplugged:
        return RowState::Unplugged;
    case PassOutcome::Interrupted:
        return RowState::Interrupted;
    }
    return RowState::Failed;
}

BoardRow& StationBoard::rowFor(const std::string& port) {
    const auto row = std::find_if(rows_.begin(), rows_.end(),
                                  [&port](const BoardRow& r) { return r.port == port; });
    if (row != rows_.end()) {
        return *row;
    }
    rows_.push_back(BoardRow{});
    rows_.back().port = port;
    return rows_.back();
}

void StationBoard::note(const std::string&, const std::string&) {}

void StationBoard::progress(const std::string& port, const PassProgress& progress,
                            std::chrono::milliseconds elapsed) {
    const std::lock_guard lock(mutex_);
    BoardRow& row = rowFor(port);
    if (progress.step == PassStep::Connect && row.state != RowState::InProgress) {
        // A new attempt starts a clean row.
        const std::string usbSerial = row.usbSerial;
        row = BoardRow{};
        row.port = port;
        row.usbSerial = usbSerial;
    }
    row.state = RowState::InProgress;
    row.stepName = progress.step;
    row.step = static_cast<int>(progress.step) + 1;
    row.elapsed = elapsed;
    if (progress.identity != nullptr) {
        row.imei = progress.identity->imei;
        row.deviceId = progress.identity->deviceId;
    }
}

void StationBoard::finished(const DeviceAttempt& attempt) {
    const std::lock_guard lock(mutex_);
    BoardRow& row = rowFor(attempt.port);
    const PassResult* pass = attempt.pass;
    row.usbSerial = attempt.usbSerial;
    row.state = rowState(attempt.outcome);
    row.error = attempt.error;
    if (pass != nullptr) {
        row.imei = pass->identity.imei;
        row.deviceId = pass->identity.deviceId;
        row.elapsed = pass->duration;
        row.log = pass->log;
    }
    attempts_.push_back(record({
        attempt.port,
        attempt.usbSerial,
        row.imei,
        row.deviceId,
        outcomeText(attempt.outcome),
        attempt.error,
        attempt.startedUtc,
        std::to_string(pass != nullptr ? pass->duration.count() : 0),
        profileSha256_,
        pass != nullptr && pass->overrideRow != nullptr ? "yes" : "no",
    }));
}

std::vector<BoardRow> StationBoard::rows() const {
    const std::lock_guard lock(mutex_);
    return rows_;
}

BoardCounts StationBoard::counts() const {
    const std::lock_guard lock(mutex_);
    BoardCounts counts;
    std::size_t* const byState[] = {
        &counts.inProgress, &counts.provisioned, &counts.differs, &counts.failed,
        &counts.refused,    &counts.unplugged,   nullptr};
    for (const BoardRow& row : rows_) {
        std::size_t* const count = byState[static_cast<int>(row.state)];
        if (count != nullptr) {
            ++*count;
        }
    }
    return counts;
}

std::vector<std::string> StationBoard::portsToRetry() const {
    const std::lock_guard lock(mutex_);
    std::vector<std::string> ports;
    for (const BoardRow& row : rows_) {
        if (row.state != RowState::InProgress && row.state != RowState::Provisioned &&
            row.state != RowState::Differs) {
            ports.push_back(row.port);
        }
    }
    return ports;
}

std::string StationBoard::csv() const {
    const std::lock_guard lock(mutex_);
    std::string text =
        record({"port", "usb serial", "imei", "device id", "result", "error", "start utc",
                "duration ms", "profile sha256", "override row applied"});
    for (const std::string& attempt : attempts_) {
        text += attempt;
    }
    return text;
}
