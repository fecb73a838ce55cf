#include "controls/wire_text.h"

#include <array>

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Windows-1251, bytes 0x80 to 0xFF.
constexpr std::array<char16_t, 128> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

std::size_t encodeCp1251(char32_t character, std::uint8_t out[4]) {
    if (character < 0x80) {
        out[0] = static_cast<std::uint8_t>(character);
        return 1;
    }
    for (std::size_t i = 0; i < kCp1251High.size(); ++i) {
        if (kCp1251High[i] == character) {
            out[0] = static_cast<std::uint8_t>(0x80 + i);
            return 1;
        }
    }
    out[0] = '?';
    return 1;
}

std::u16string decodeCp1251(const std::uint8_t* bytes, std::size_t count) {
    std::u16string text;
    text.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        text.push_back(bytes[i] < 0x80 ? char16_t{bytes[i]} : kCp1251High[bytes[i] - 0x80]);
    }
    return text;
}

std::size_t encodeUtf8(char32_t c, std::uint8_t out[4]) {
    if (c < 0x80) {
        out[0] = static_cast<std::uint8_t>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<std::uint8_t>(0xC0 | c >> 6);
        out[1] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<std::uint8_t>(0xE0 | c >> 12);
        out[1] = static_cast<std::uint8_t>(0x80 | (c >> 6 & 0x3F));
        out[2] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<std::uint8_t>(0xF0 | c >> 18);
    out[1] = static_cast<std::uint8_t>(0x80 | (c >> 12 & 0x3F));
    out[2] = static_cast<std::uint8_t>(0x80 | (c >> 6 & 0x3F));
    out[3] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
    return 4;
}

void appendUtf16(std::u16string& text, char32_t c) {
    if (c < 0x10000) {
        text.push_back(static_cast<char16_t>(c));
        return;
    }
    c -= 0x10000;
    text.push_back(static_cast<char16_t>(0xD800 | c >> 10));
    text.push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
}

// One code point from UTF-8 at `i`, advancing it; U+FFFD for a malformed sequence.
char32_t nextUtf8(const std::uint8_t* bytes, std::size_t count, std::size_t& i) {
    const std::uint8_t lead = bytes[i++];
    if (lead < 0x80) {
        return lead;
    }
    std::size_t extra = 0;
    char32_t c = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        c = lead & 0x07;
    } else {
        return kReplacement;
    }
    for (std::size_t k = 0; k < extra; ++k) {
        if (i >= count || (bytes[i] & 0xC0) != 0x80) {
            return kReplacement;
        }
        c = c << 6 | (bytes[i++] & 0x3F);
    }
    const bool overlong =
        (extra == 1 && c < 0x80) || (extra == 2 && c < 0x800) || (extra == 3 && c < 0x10000);
    if (overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return kReplacement;
    }
    return c;
}

std::u16string decodeUtf8(const std::uint8_t* bytes, std::size_t count) {
    std::u16string text;
    for (std::size_t i = 0; i < count;) {
        appendUtf16(text, nextUtf8(bytes, count, i));
    }
    return text;
}

// One code point from UTF-16 at `i`, advancing it; a lone surrogate becomes U+FFFD.
char32_t nextUtf16(std::u16string_view text, std::size_t& i) {
    const char16_t unit = text[i++];
    if (unit >= 0xD800 && unit <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 &&
        text[i] <= 0xDFFF) {
        return 0x10000 + ((unit - 0xD800) << 10) + (text[i++] - 0xDC00);
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) {
        return kReplacement;
    }
    return unit;
}

constexpr WireCodePage kCp1251 = {"windows-1251", &encodeCp1251, &decodeCp1251};
constexpr WireCodePage kUtf8 = {"utf-8", &encodeUtf8, &decodeUtf8};

} // namespace

const WireCodePage& cp1251CodePage() {
    return kCp1251;
}
const WireCodePage& utf8CodePage() {
    return kUtf8;
}

bool toWireText(const WireCodePage& codePage, std::u16string_view text, std::size_t maxBytes,
                std::string& wire) {
    wire.clear();
    for (std::size_t i = 0; i < text.size();) {
        std::uint8_t bytes[4];
        const std::size_t count = codePage.encodeChar(nextUtf16(text, i), bytes);
        if (wire.size() + count > maxBytes) {
            return false;
        }
        wire.append(reinterpret_cast<const char*>(bytes), count);
    }
    return true;
}

std::u16string fromWireText(const WireCodePage& codePage, const std::uint8_t* bytes,
                            std::size_t count) {
    std::size_t length = 0;
    while (length < count && bytes[length] != 0) {
        ++length;
    }
    return codePage.decode(bytes, length);
}

std::u16string utf16FromUtf8(std::string_view text) {
    return decodeUtf8(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::string utf8FromUtf16(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        std::uint8_t bytes[4];
        const std::size_t count = encodeUtf8(nextUtf16(text, i), bytes);
        out.append(reinterpret_cast<const char*>(bytes), count);
    }
    return out;
}

bool isUtf8(std::string_view text) {
    return utf8FromUtf16(utf16FromUtf8(text)) == text;
}
