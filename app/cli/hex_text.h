#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Lower-case hex without separators, as the command line prints payloads.
std::string toHex(const std::uint8_t* bytes, std::size_t count);

// Pairs of hex digits, either case; nullopt for an odd count or a non-hex character.
std::optional<std::vector<std::uint8_t>> parseHex(std::string_view text);

// Decimal or 0x-prefixed hex, within [0, max]; nullopt otherwise.
std::optional<std::uint32_t> parseUnsigned(std::string_view text, std::uint32_t max);
