#include "ui/input_filters.h"

#include "resources/control_ids.h"
#include "settings/number_text.h"

#include <array>
#include <string>

namespace {

constexpr InputFilter lastChar(int field, CharSet allowed, std::size_t charsRead,
                               EditDeletion deletion = EditDeletion::ReplaceSelection) {
    return {field, FilterKind::LastChar, allowed, 0, charsRead, deletion};
}

constexpr InputFilter upperBound(int field, std::int64_t bound, std::size_t charsRead) {
    return {field,     FilterKind::UpperBound,        CharSet::None, bound,
            charsRead, EditDeletion::ReplaceSelection};
}

constexpr int sizField(int index) {
    return IDC_SIZ_1 + IDC_SIZ_ROW_STRIDE * index;
}

constexpr auto kHex = CharSet::HexDigits;
// The LoRa keys delete with WM_CLEAR, the others with an empty replacement.
constexpr auto kClear = EditDeletion::ClearSelection;

constexpr std::array kFilters = {
    lastChar(IDC_BUTTON_NUMBER_1, CharSet::DialDigits, 31),
    lastChar(IDC_BUTTON_NUMBER_2, CharSet::DialDigits, 31),
    upperBound(IDC_VOICE_VOLUME, 5, 7),
    upperBound(IDC_TONE_VOLUME, 5, 7),
    upperBound(IDC_MIC_GAIN, 5, 7),
    upperBound(IDC_DATA_PERIOD, 180, 7),
    upperBound(IDC_MQTT_PORT, 65535, 7),
    lastChar(IDC_LORA_DEV_EUI, kHex, 31, kClear),
    lastChar(IDC_LORA_APP_EUI, kHex, 31, kClear),
    lastChar(IDC_LORA_APP_KEY, kHex, 31, kClear),
    lastChar(sizField(0), kHex, 15),
    lastChar(sizField(1), kHex, 15),
    lastChar(sizField(2), kHex, 15),
    lastChar(sizField(3), kHex, 15),
    lastChar(sizField(4), kHex, 15),
    lastChar(sizField(5), kHex, 15),
    lastChar(sizField(6), kHex, 15),
    lastChar(sizField(7), kHex, 15),
    lastChar(IDC_BRACELET_ADDRESS, kHex, 15),
    upperBound(IDC_BRACELET_PERIOD, 60, 8),
    lastChar(IDC_BLE_NAMESPACE, kHex, 31),
    upperBound(IDC_BLE_SCAN_TIME, 8, 8),
    upperBound(IDC_IMMOBILITY_T1, 120, 7),
    upperBound(IDC_IMMOBILITY_T2, 120, 7),
    upperBound(IDC_IMMOBILITY_T3, 120, 7),
    lastChar(IDC_GAS_ADDRESS, kHex, 15),
    upperBound(IDC_GAS_PERIOD, 60, 8),
    lastChar(IDC_TOKEN_ADDRESS, kHex, 15),
    upperBound(IDC_TOKEN_VALUE, 1, 8),
};

bool isDecimalDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool isAllowed(CharSet set, char16_t c) {
    switch (set) {
    case CharSet::DialDigits:
        return c == u'+' || isDecimalDigit(c);
    case CharSet::HexDigits:
        return isDecimalDigit(c) || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
    case CharSet::None:
        break;
    }
    return false;
}

bool passes(const InputFilter& filter, std::u16string_view text) {
    if (filter.kind == FilterKind::LastChar) {
        return isAllowed(filter.allowed, text.back());
    }
    return parseFieldNumber(text) <= filter.bound;
}

} // namespace

std::span<const InputFilter> inputFilters() {
    return kFilters;
}

const InputFilter* findInputFilter(int fieldId) {
    for (const InputFilter& filter : kFilters) {
        if (filter.fieldId == fieldId) {
            return &filter;
        }
    }
    return nullptr;
}

void runInputFilter(Controls& controls, const InputFilter& filter) {
    const std::u16string text = controls.editText(filter.fieldId, filter.charsRead);
    if (text.empty() || passes(filter, text)) {
        return;
    }
    // The last character read, which is not the text's last when the text is longer.
    const std::size_t n = text.size();
    controls.deleteEditText(filter.fieldId, n - 1, n, filter.deletion);
}
