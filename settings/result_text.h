#pragma once

#include <cstring>

// The texts that end an operation's log line.
namespace result {
inline constexpr char kSuccess[] = "success.\r\n";
inline constexpr char kCmdSendingError[] = "cmd sending error.\r\n";
inline constexpr char kAckError[] = "ack error.\r\n";
inline constexpr char kDataFormatError[] = "error (data format).\r\n";
inline constexpr char kAckFormatError[] = "error (ack format).\r\n";
inline constexpr char kOutOfRange[] = "error (data is out of range).\r\n";
inline constexpr char kWrongDataLength[] = "error (wrong data length).\r\n";
inline constexpr char kDataConversionError[] = "error (data conversion).\r\n";
inline constexpr char kInputError[] = "error.\r\n";
// A character of the field that the device's 8-bit code page has no byte for.
inline constexpr char kNotInCodePage[] = "error (character not in code page).\r\n";

// By content: copies of one literal need not share an address.
inline bool isSuccess(const char* text) {
    return std::strcmp(text, kSuccess) == 0;
}
} // namespace result
