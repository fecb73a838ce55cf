#pragma once

#include "link/byte_channel.h"

// A channel that passes every call to another one it borrows: the base of a channel that
// adds one thing (a trace line at close, a pace, a count) and forwards the rest.
class ForwardingChannel : public ByteChannel {
  public:
    explicit ForwardingChannel(ByteChannel& inner) : inner_(inner) {}
    bool writeFrame(std::span<const std::uint8_t> frame) override {
        return inner_.writeFrame(frame);
    }
    bool readByte(std::uint32_t timeoutMs, std::uint8_t& byte) override {
        return inner_.readByte(timeoutMs, byte);
    }
    bool closePort() override { return inner_.closePort(); }
    void discardInput() override { inner_.discardInput(); }
    bool hungUp() const override { return inner_.hungUp(); }

  protected:
    ByteChannel& inner_;
};
