#pragma once

#include "station/audit_file.h"
#include "provision/device_pass.h"

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

// What a batch shows and keeps: the progress of every port on stdout and one audit record
// per device attempt. The workers of all ports call it, so each call holds its lock.

enum class ProgressStyle {
    Live,  // a terminal: one line per port, redrawn in place
    Plain, // one line per event
    Json,  // one object per event
};

// One attempt at one device, as the audit keeps it.
struct DeviceAttempt {
    std::string port;
    std::string usbSerial;
    std::string startedUtc;           // "2026-12-07T10:42:05Z"
    const PassResult* pass = nullptr; // null when it never started
    std::string outcome; // outcomeText, or "unplugged", or "interrupted" for one not started
    std::string error;   // the first error
};

class ProvisionReport {
  public:
    ProvisionReport(ProgressStyle style, std::string profileSha256, AuditFile* audit);

    void progress(const std::string& port, const PassProgress& progress,
                  std::chrono::milliseconds elapsed);
    // A note on a port between attempts: "unplugged", "back, starting again".
    void note(const std::string& port, const std::string& text);
    // The attempt's final line and audit record; false when the record could not be written.
    bool finished(const DeviceAttempt& attempt);

  private:
    struct PortLine {
        std::string port;
        std::string text;
        PassStep step = PassStep::Connect;
        bool stepShown = false;
    };
    PortLine& lineFor(const std::string& port);
    void show(PortLine& line, const std::string& text, bool event);
    void redraw();

    ProgressStyle style_;
    std::string profileSha256_;
    AuditFile* audit_;
    std::mutex mutex_;
    std::vector<PortLine> lines_;
    std::size_t drawn_ = 0;
    std::chrono::steady_clock::time_point lastDraw_{};
};
