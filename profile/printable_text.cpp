#include "profile/printable_text.h"

#include <cstdint>
#include <cstdio>

namespace {

void appendEscaped(std::string& out, std::uint32_t code) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(code & 0xFF));
    out += escaped;
}

// The length of the well-formed UTF-8 sequence at the start of `text`, 0 when it is not one.
std::size_t sequenceLength(std::string_view text, std::uint32_t& code) {
    const auto lead = static_cast<std::uint8_t>(text[0]);
    std::size_t length = lead < 0x80                    ? 1
                         : lead >= 0xC2 && lead <= 0xDF ? 2
                         : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                        : 0;
    if (length == 0 || length > text.size()) {
        return 0;
    }
    code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<std::uint8_t>(text[i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (next & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return overlong || surrogate || code > 0x10FFFF ? 0 : length;
}

bool isControl(std::uint32_t code) {
    return code < 0x20 || (code >= 0x7F && code < 0xA0);
}

} // namespace

std::string printableText(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        std::uint32_t code = 0;
        const std::size_t length = sequenceLength(text, code);
        if (length == 0) {
            appendEscaped(out, static_cast<std::uint8_t>(text[0]));
            text.remove_prefix(1);
            continue;
        }
        if (isControl(code)) {
            appendEscaped(out, code);
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

bool hasControlCharacter(std::string_view text) {
    return printableText(text) != text;
}
