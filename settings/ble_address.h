#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// A BLE tag or sensor address: six bytes on the wire, twelve upper-case hex digits on screen
// with the first wire byte first.
using BleAddress = std::array<std::uint8_t, 6>;

inline constexpr std::size_t kAddressTextLength = 12;

std::u16string addressText(const std::uint8_t* bytes);

enum class AddressParse : std::uint8_t { Ok, WrongLength, NoNumber };

// Exactly 12 characters, scanned as one hexadecimal number the way "%llX" scans it (leading
// blanks, a sign and a 0x prefix are taken; the scan stops at the first non-hex character);
// the number's low 48 bits, most significant byte first.
AddressParse parseAddress(std::u16string_view text, BleAddress& address);
