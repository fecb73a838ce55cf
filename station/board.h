#pragma once

#include "station/station.h"

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

// A bench as a front end draws it: one row per port, kept after its tracker is gone, drawn
// from the station's events; the counts across the rows; every attempt for an export. The
// station's workers feed it, a window's thread reads copies of it.

enum class RowState {
    InProgress,
    Provisioned,
    Differs,
    Failed,
    Refused,
    Unplugged,
    Interrupted,
};

struct BoardRow {
    std::string port;
    std::string usbSerial;
    std::string imei;
    std::string deviceId;
    int step = 0; // 1 to kPassSteps while in progress, 0 before the first
    PassStep stepName = PassStep::Connect;
    RowState state = RowState::InProgress;
    std::chrono::milliseconds elapsed{0};
    std::string error; // the result's one-line error
    std::string log;   // the last attempt's log lines
};

struct BoardCounts {
    std::size_t provisioned = 0;
    std::size_t differs = 0;
    std::size_t failed = 0;
    std::size_t refused = 0;
    std::size_t unplugged = 0;
    std::size_t inProgress = 0;
};

class StationBoard final : public StationObserver {
  public:
    explicit StationBoard(std::string profileSha256) : profileSha256_(std::move(profileSha256)) {}

    void note(const std::string& port, const std::string& text) override;
    void progress(const std::string& port, const PassProgress& progress,
                  std::chrono::milliseconds elapsed) override;
    void finished(const DeviceAttempt& attempt) override;

    std::vector<BoardRow> rows() const;
    BoardCounts counts() const;
    // The ports of the rows a retry takes again: failed, refused, unplugged, interrupted.
    std::vector<std::string> portsToRetry() const;
    // One CSV record per attempt (RFC 4180), after a header: port, USB serial, IMEI, device ID,
    // result, error, start time UTC, duration ms, profile SHA-256, override row applied.
    std::string csv() const;

  private:
    BoardRow& rowFor(const std::string& port);

    std::string profileSha256_;
    mutable std::mutex mutex_;
    std::vector<BoardRow> rows_;
    std::vector<std::string> attempts_; // CSV records
};

RowState rowState(PassOutcome outcome);
