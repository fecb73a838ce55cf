#pragma once

#include <string>
#include <string_view>

// The core speaks UTF-8 (port names, log texts) and UTF-16 (control texts); Win32 speaks
// wchar_t, which is UTF-16 here.
std::wstring wideFromUtf8(std::string_view text);
std::string utf8FromWide(std::wstring_view text);

inline std::wstring wideFromUtf16(std::u16string_view text) {
    return {text.begin(), text.end()};
}
inline std::u16string utf16FromWide(std::wstring_view text) {
    return {text.begin(), text.end()};
}
