#pragma once

#include <cstdint>
#include <string_view>

// The languages the window speaks; its log stays English in both.
enum class UiLanguage : std::uint8_t { Russian, English };

// Russian for a user whose Windows UI language (a LANGID) is Russian or another language of
// the former Russian keyboard-layout group (Ukrainian, Belarusian, Kazakh); English otherwise.
UiLanguage languageForUser(std::uint16_t languageId);

// The value of Tarnwick.exe's "/lang": "ru" or "en", in any case; false for anything else.
bool parseUiLanguage(std::string_view value, UiLanguage& language);
