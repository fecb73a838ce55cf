#pragma once

#include "link/byte_channel.h"

#include <cstddef>
#include <cstdint>
#include <span>

// Heap allocations made so far by the calling thread (operator new, counted in bench_main.cpp).
std::size_t threadAllocations();

// The port with a tally of what crosses it.
class CountingChannel final : public ByteChannel {
  public:
    explicit CountingChannel(ByteChannel& inner) : inner_(inner) {}

    bool writeFrame(std::span<const std::uint8_t> frame) override {
        ++requests;
        bytesOut += frame.size();
        return inner_.writeFrame(frame);
    }
    bool readByte(std::uint32_t timeoutMs, std::uint8_t& byte) override {
        const bool read = inner_.readByte(timeoutMs, byte);
        bytesIn += read ? 1 : 0;
        // Each reply frame begins with its delimiter, the only zero byte on the wire.
        replies += read && byte == 0x00 ? 1 : 0;
        return read;
    }
    bool closePort() override { return inner_.closePort(); }
    void discardInput() override { inner_.discardInput(); }

    void reset() { requests = replies = bytesOut = bytesIn = 0; }

    std::size_t requests = 0;
    std::size_t replies = 0;
    std::size_t bytesOut = 0;
    std::size_t bytesIn = 0;

  private:
    ByteChannel& inner_;
};
