#pragma once

// The texts that end an operation's log line.
namespace result {
inline constexpr const char* kSuccess = "success.\r\n";
inline constexpr const char* kCmdSendingError = "cmd sending error.\r\n";
inline constexpr const char* kAckError = "ack error.\r\n";
inline constexpr const char* kDataFormatError = "error (data format).\r\n";
inline constexpr const char* kAckFormatError = "error (ack format).\r\n";
inline constexpr const char* kOutOfRange = "error (data is out of range).\r\n";
inline constexpr const char* kWrongDataLength = "error (wrong data length).\r\n";
inline constexpr const char* kDataConversionError = "error (data conversion).\r\n";
inline constexpr const char* kInputError = "error.\r\n";
} // namespace result
