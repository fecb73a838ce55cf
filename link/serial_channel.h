#pragma once

#include "link/byte_channel.h"

#include <memory>
#include <string>
#include <string_view>

// The serial port the tool talks through. The line settings are left as the port has them;
// each build links the implementation of its platform (serial_channel_posix.cpp or
// serial_channel_win32.cpp).
class SerialChannel final : public ByteChannel {
  public:
    SerialChannel();
    ~SerialChannel() override;
    SerialChannel(const SerialChannel&) = delete;
    SerialChannel& operator=(const SerialChannel&) = delete;

    // Opens exclusively, raises DTR and drops whatever the port had buffered before. A port
    // that refuses DTR still counts as open.
    [[nodiscard]] bool openPort(const std::string& devicePath);
    // True at once when no port is open; false (port kept) when the close itself fails.
    bool closePort() override;
    [[nodiscard]] bool isOpen() const;

    [[nodiscard]] bool writeFrame(std::span<const std::uint8_t> frame) override;
    [[nodiscard]] bool readByte(std::uint32_t timeoutMs, std::uint8_t& byte) override;
    void discardInput() override;
    // Set by a hang-up or an error of a port that is gone (EIO, ENXIO, ENODEV; on Windows the
    // errors of a removed USB port), never by a time-out; cleared by the next open.
    [[nodiscard]] bool hungUp() const override;

    struct State;

  private:
    std::unique_ptr<State> state_;
};

// The path openPort takes for a port name as the user gives it ("COM12" -> "\\.\COM12" on
// Windows; unchanged elsewhere).
std::string devicePathForPort(std::string_view portName);

// The operating system's code for the last failed call (GetLastError, errno), for the log.
std::uint32_t lastChannelError();

// Upper bound on one frame write: a port held back by flow control must not hang the tool.
inline constexpr std::uint32_t kWriteTimeoutMs = 2000;
