#pragma once

#include <cstdint>
#include <span>

// The one runtime seam of the link: a serial port, or the simulated device in-process.
class ByteChannel {
  public:
    virtual ~ByteChannel() = default;
    // True when the port accepted every byte of the frame.
    [[nodiscard]] virtual bool writeFrame(std::span<const std::uint8_t> frame) = 0;
    // One byte with its own time-out; false on time-out or error.
    [[nodiscard]] virtual bool readByte(std::uint32_t timeoutMs, std::uint8_t& byte) = 0;
    // Releases the port; true when there is none left open. A channel without a port of its
    // own has nothing to release.
    virtual bool closePort() { return true; }
    // Drops whatever has been received and not yet read, so a late reply to an earlier request
    // cannot pass for the answer to the next one. A channel that buffers nothing has nothing to
    // drop.
    virtual void discardInput() {}
    // True once the port hung up or vanished (a cable pulled, the device gone): from then on
    // every read and write fails at once, and only a new open can bring it back.
    [[nodiscard]] virtual bool hungUp() const { return false; }
};
