#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A number typed into a field: leading blanks and one sign are taken, reading stops at the
// first character that is not a digit, and a text without leading digits is 0. Saturates
// instead of overflowing, so a long run of digits is simply out of any range.
std::int64_t parseFieldNumber(std::u16string_view text);

// The blanks a number may start with.
bool isFieldBlank(char16_t c);

// "%u": unsigned decimal without leading zeros.
std::u16string formatFieldNumber(std::uint32_t value);
