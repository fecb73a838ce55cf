#pragma once

#include "link/byte_channel.h"
#include "sim/device_simulator.h"

#include <cstdint>

// The simulated device in-process. Time is virtual: a delay or pacing in the device's answer
// advances a clock instead of sleeping, so a 500 ms gap costs nothing in a test, yet a
// per-byte time-out shorter than the gap still expires exactly as on a real port.
class SimulatorChannel final : public ByteChannel {
  public:
    explicit SimulatorChannel(DeviceSimulator& device) : device_(device) {}

    [[nodiscard]] bool writeFrame(std::span<const std::uint8_t> frame) override;
    [[nodiscard]] bool readByte(std::uint32_t timeoutMs, std::uint8_t& byte) override;
    // Drops the device's bytes due by now; the ones still on their way stay, as on a port.
    void discardInput() override;

    // The device vanished (a hangup fault): every read and write fails at once, for good.
    bool hungUp() const override { return device_.hungUp(); }

    // A closed port: every write fails, as on a real channel without a port.
    void setOpen(bool open) { open_ = open; }
    bool closePort() override {
        open_ = false;
        return true;
    }
    bool isOpen() const { return open_; }
    std::uint64_t elapsedMs() const { return nowMs_; }

  private:
    // Takes the device's next byte as the head, due its delay from now. Now is when the byte
    // before it was due (the clock only moves in readByte, which schedules a pending byte
    // first), or the request, when nothing was pending.
    bool scheduleHead();

    DeviceSimulator& device_;
    bool open_ = true;
    std::uint64_t nowMs_ = 0;
    // Virtual time at which the head byte of the device's output is due, once known.
    std::uint64_t headDueMs_ = 0;
    bool headScheduled_ = false;
    ScheduledByte head_{};
};
