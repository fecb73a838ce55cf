#include "ui/ui_language.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace {

// Primary language IDs (the low ten bits of a LANGID) whose users read Russian.
constexpr std::array<std::uint16_t, 4> kRussianReaders = {
    0x19, // Russian
    0x22, // Ukrainian
    0x23, // Belarusian
    0x3F, // Kazakh
};

struct LanguageName {
    std::string_view name;
    UiLanguage language;
};

constexpr LanguageName kNames[] = {{"ru", UiLanguage::Russian}, {"en", UiLanguage::English}};

} // namespace

UiLanguage languageForUser(std::uint16_t languageId) {
    const std::uint16_t primary = languageId & 0x3FF;
    return std::find(kRussianReaders.begin(), kRussianReaders.end(), primary) !=
                   kRussianReaders.end()
               ? UiLanguage::Russian
               : UiLanguage::English;
}

bool parseUiLanguage(std::string_view value, UiLanguage& language) {
    std::string lower(value);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const LanguageName& entry : kNames) {
        if (lower == entry.name) {
            language = entry.language;
            return true;
        }
    }
    return false;
}
