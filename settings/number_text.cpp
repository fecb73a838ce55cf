#include "settings/number_text.h"

namespace {

constexpr std::int64_t kSaturation = 1'000'000'000'000;

} // namespace

bool isFieldBlank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

std::int64_t parseFieldNumber(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isFieldBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > kSaturation) {
            value = kSaturation;
        }
    }
    return negative ? -value : value;
}

std::u16string formatFieldNumber(std::uint32_t value) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return digits;
}
