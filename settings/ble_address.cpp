#include "settings/ble_address.h"

#include "settings/number_text.h"

namespace {

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

} // namespace

std::u16string addressText(const std::uint8_t* bytes) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string text;
    for (std::size_t i = 0; i < 6; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

AddressParse parseAddress(std::u16string_view text, BleAddress& address) {
    if (text.size() != kAddressTextLength) {
        return AddressParse::WrongLength;
    }
    std::size_t i = 0;
    while (i < text.size() && isFieldBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // "0x" counts as a prefix only when a hex digit follows it.
    if (i + 2 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X') &&
        hexValue(text[i + 2]) >= 0) {
        i += 2;
    }
    std::uint64_t number = 0;
    std::size_t digits = 0;
    for (; i < text.size() && hexValue(text[i]) >= 0; ++i, ++digits) {
        number = number << 4 | static_cast<std::uint64_t>(hexValue(text[i]));
    }
    if (digits == 0) {
        return AddressParse::NoNumber;
    }
    if (negative) {
        number = ~number + 1;
    }
    for (std::size_t k = 0; k < address.size(); ++k) {
        address[k] = static_cast<std::uint8_t>(number >> (8 * (5 - k)));
    }
    return AddressParse::Ok;
}
