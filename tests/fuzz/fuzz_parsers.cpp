// The value parsers and text conversions on arbitrary input, with the round trips that must
// hold: what is printed parses back; a lone surrogate becomes U+FFFD, and nothing else changes.
#include "app/cli/hex_text.h"
#include "controls/wire_text.h"
#include "provision/overrides.h"
#include "settings/ble_address.h"
#include "settings/number_text.h"
#include "sim/device_simulator.h"

#include <algorithm>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <set>

static const std::uint8_t* bytesOf(const std::string& text) {
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

static bool wireTextHolds(const std::string& raw, const std::u16string& wide, std::size_t limit) {
    const std::u16string clean = utf16FromUtf8(utf8FromUtf16(wide));
    const auto is = [&](std::size_t i, int top) { return i < wide.size() && wide[i] >> 10 == top; };
    bool holds = clean.size() == wide.size() && utf16FromUtf8(utf8FromUtf16(clean)) == clean;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const bool lone = (is(i, 0x36) && !is(i + 1, 0x37)) || (is(i, 0x37) && !is(i - 1, 0x36));
        holds = holds && (clean[i] == wide[i] || (lone && clean[i] == 0xFFFD));
    }
    std::string full, cut, back;
    for (const WireCodePage* page : {&cp1251CodePage(), &utf8CodePage()}) {
        const bool whole = toWireText(*page, wide, limit, cut);
        holds = holds && toWireText(*page, wide, SIZE_MAX, full) && cut.size() <= limit &&
                full.starts_with(cut) && whole == (cut == full);
    }
    const std::string sent = raw.substr(0, raw.find('\0'));
    const std::u16string shown = fromWireText(cp1251CodePage(), bytesOf(raw), raw.size());
    return holds &&
           fromWireText(utf8CodePage(), bytesOf(full), full.size()) ==
               clean.substr(0, clean.find(u'\0')) &&
           toWireText(cp1251CodePage(), shown, sent.size(), back) && back == sent;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto number = input.ConsumeIntegral<std::uint32_t>();
    const auto max = input.ConsumeIntegral<std::uint32_t>();
    const std::string text = input.ConsumeRemainingBytesAsString();
    const std::u16string wide(reinterpret_cast<const char16_t*>(text.data()), text.size() / 2);
    const std::uint8_t* bytes = bytesOf(text);
    bool holds = parseFieldNumber(formatFieldNumber(number)) == number &&
                 std::abs(parseFieldNumber(wide)) <= 1'000'000'000'000 &&
                 wireTextHolds(text, wide, max % 200) &&
                 parseHex(toHex(bytes, text.size())) == std::vector(bytes, bytes + text.size());
    holds = holds && (!parseHex(text) ||
                      text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos);
    holds = holds && parseUnsigned(std::to_string(number), max) ==
                         (number <= max ? std::optional(number) : std::nullopt);
    const auto parsed = parseUnsigned(text, max);
    holds = holds &&
            (!parsed || (*parsed <= max && parseUnsigned(std::to_string(*parsed), max) == parsed));
    BleAddress address{};
    holds = holds &&
            (text.size() < 6 || (parseAddress(addressText(bytes), address) == AddressParse::Ok &&
                                 std::equal(address.begin(), address.end(), bytes)));
    CommandCode code = 0;
    SimFault fault;
    int times = 0;
    std::string error;
    holds = holds && (!parseFaultSpec(text, code, fault, times, error) ||
                      (times >= -1 && (!fault.payload || fault.payload->size() <= 124)));
    const std::string payload = toHex(bytes, std::min<std::size_t>(text.size(), 124));
    const int count = static_cast<int>(max >> 1);
    holds = holds &&
            parseFaultSpec("9:payload=" + payload + ",times=" + std::to_string(count), code, fault,
                           times, error) &&
            code == 9 && fault.payload &&
            toHex(fault.payload->data(), fault.payload->size()) == payload && times == count;
    // An overrides file is refused with where, or every row is whole, its own and in the file.
    OverrideTable table;
    if (parseOverrides(text, table, error)) {
        std::set<std::string> keys;
        for (const OverrideRow& row : table.rows) {
            holds = holds && row.values.size() == table.columns.size() && !row.key.empty() &&
                    keys.insert(row.key).second && text.find(row.text) != std::string::npos &&
                    findOverrideRow(table, row.key, row.key) == &row;
        }
    } else {
        holds = holds && error.starts_with("line ");
    }
    holds = holds && (hasPlaceholder(text) || expandPlaceholders(text, "1", "2") == text);
    // Refused takes no {word} at all; Filled takes {imei} and {device-id} and no other.
    holds = holds &&
            placeholderProblem(text, Placeholders::Refused).empty() ==
                (placeholderProblem(text, Placeholders::Filled).empty() && !hasPlaceholder(text));
    if (!holds) {
        std::abort();
    }
    return 0;
}
