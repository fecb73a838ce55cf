#pragma once

#include "controls/controls.h"

#include <cstddef>
#include <cstdint>
#include <span>

// What a filter looks at: only the last of the characters it reads.
enum class FilterKind : std::uint8_t {
    LastChar,   // the last character must be one of the field's set
    UpperBound, // the number the characters start with must not exceed the bound
};

enum class CharSet : std::uint8_t { None, DialDigits, HexDigits };

// One filtered edit box. A deletion makes the field report a further change, so the filter
// runs again, nested, on the shortened text until its last character passes.
struct InputFilter {
    int fieldId;
    FilterKind kind;
    CharSet allowed;    // LastChar
    std::int64_t bound; // UpperBound
    std::size_t charsRead;
    EditDeletion deletion;
};

std::span<const InputFilter> inputFilters();
// nullptr for an edit without a filter.
const InputFilter* findInputFilter(int fieldId);

// One run of the field's filter on its current text, for one EN_CHANGE.
void runInputFilter(Controls& controls, const InputFilter& filter);
