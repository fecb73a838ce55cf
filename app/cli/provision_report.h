#pragma once

#include "station/station.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

// How the command line shows a batch: the progress of every port on stdout. The station
// calls it from its workers one at a time.

enum class ProgressStyle {
    Live,  // a terminal: one line per port, redrawn in place
    Plain, // one line per event
    Json,  // one object per event
};

class ProvisionReport final : public StationObserver {
  public:
    explicit ProvisionReport(ProgressStyle style) : style_(style) {}

    void progress(const std::string& port, const PassProgress& progress,
                  std::chrono::milliseconds elapsed) override;
    void note(const std::string& port, const std::string& text) override;
    void finished(const DeviceAttempt& attempt) override;

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
    std::vector<PortLine> lines_;
    std::size_t drawn_ = 0;
    std::chrono::steady_clock::time_point lastDraw_{};
};
