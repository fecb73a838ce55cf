#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// How the controls' UTF-16 text becomes the device's 8-bit text and back: the system's ANSI
// code page on Windows, Windows-1251 where there is no such thing (the command line, tests).
struct WireCodePage {
    const char* name;
    // Writes the bytes of one character (a code point) to `out` and returns their count, at
    // most 4; a character the code page cannot hold becomes '?'.
    std::size_t (*encodeChar)(char32_t character, std::uint8_t out[4]);
    std::u16string (*decode)(const std::uint8_t* bytes, std::size_t count);
};

const WireCodePage& cp1251CodePage();
// A multi-byte code page (Windows can run with UTF-8 as its ANSI code page).
const WireCodePage& utf8CodePage();

// The wire text of a control's text: whole characters only, never more than `maxBytes` bytes
// (the limits count bytes on the wire, whatever the code page makes of a character). False
// when the text had to be cut to stay within the limit.
bool toWireText(const WireCodePage& codePage, std::u16string_view text, std::size_t maxBytes,
                std::string& wire);

// The control text of received bytes: up to the first zero byte or the end.
std::u16string fromWireText(const WireCodePage& codePage, const std::uint8_t* bytes,
                            std::size_t count);

// UTF-8 <-> UTF-16 for the command line; malformed input becomes U+FFFD.
std::u16string utf16FromUtf8(std::string_view text);
std::string utf8FromUtf16(std::u16string_view text);
// True when `text` is well-formed UTF-8: it survives the way there and back unchanged.
bool isUtf8(std::string_view text);
