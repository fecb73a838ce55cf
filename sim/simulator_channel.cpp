#include "sim/simulator_channel.h"

bool SimulatorChannel::writeFrame(std::span<const std::uint8_t> frame) {
    if (!open_ || device_.hungUp()) {
        return false;
    }
    device_.receive(frame.data(), frame.size());
    return true;
}

bool SimulatorChannel::readByte(std::uint32_t timeoutMs, std::uint8_t& byte) {
    if (!open_ || device_.hungUp()) {
        return false;
    }
    if (!headScheduled_ && !scheduleHead()) {
        nowMs_ += timeoutMs;
        return false;
    }
    if (headDueMs_ > nowMs_ + timeoutMs) {
        nowMs_ += timeoutMs;
        return false;
    }
    nowMs_ = headDueMs_ > nowMs_ ? headDueMs_ : nowMs_;
    byte = head_.value;
    headScheduled_ = false;
    return true;
}

void SimulatorChannel::discardInput() {
    while ((headScheduled_ || scheduleHead()) && headDueMs_ <= nowMs_) {
        headScheduled_ = false;
    }
}

bool SimulatorChannel::scheduleHead() {
    if (!device_.nextOutput(head_)) {
        return false;
    }
    headDueMs_ = nowMs_ + head_.delayMs;
    headScheduled_ = true;
    return true;
}
