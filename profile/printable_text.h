#pragma once

#include <string>
#include <string_view>

// Text from outside (device values, profile lines, arguments) as it may go to a terminal:
// control characters (C0, DEL, C1) and bytes that are not UTF-8 become \xHH, so that no
// value can pass for another line or send escape sequences. Everything else is kept.
std::string printableText(std::string_view text);

// True when printableText would change `text`: a control character or a byte that is not
// UTF-8.
bool hasControlCharacter(std::string_view text);
