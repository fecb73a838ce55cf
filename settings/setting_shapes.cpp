#include "settings/setting_shapes.h"

#include "link/command_index.h"
#include "settings/exchange.h"
#include "settings/number_text.h"
#include "settings/result_text.h"
#include "settings/special_shapes.h"

#include <string>
#include <vector>

namespace {

constexpr std::size_t kIndexedTextMaxChars = 30;

bool isIndexed(const SettingRow& row) {
    return row.index != kPlain;
}

// Echo and status in front of the value: [status] or [index][status].
std::uint8_t valueOffset(const SettingRow& row) {
    return isIndexed(row) ? 2 : 1;
}

std::size_t actionUse(const SettingRow& row) {
    return isIndexed(row) ? row.index : 0;
}

// Status (and index echo) of a reply long enough to carry them.
bool isAccepted(const SettingRow& row, const Reply& reply) {
    if (isIndexed(row)) {
        return reply.payload[0] == row.index && reply.payload[1] == 0;
    }
    return reply.payload[0] == 0;
}

std::size_t fixedValueSize(Shape shape) {
    return shape == Shape::Number16 ? 2 : 1;
}

bool isTextShape(Shape shape) {
    return shape == Shape::Text || shape == Shape::IndexedText || shape == Shape::KeyText;
}

void resetControl(Controls& controls, const SettingRow& row) {
    switch (row.shape) {
    case Shape::Flag:
        controls.setChecked(row.controlId, false);
        break;
    case Shape::ListChoice:
        controls.setListSelection(row.controlId, kNoSelection);
        break;
    default:
        controls.setEditText(row.controlId, u"");
        break;
    }
}

// Checks a fixed-size value and shows it; the result text of the line.
const char* showFixedValue(Controls& controls, const SettingRow& row, const std::uint8_t* value) {
    switch (row.shape) {
    case Shape::Flag:
        controls.setChecked(row.controlId, value[0] != 0);
        return result::kSuccess;
    case Shape::SmallNumber:
        if (value[0] > row.maxValue) {
            return result::kAckError;
        }
        controls.setEditText(row.controlId, formatFieldNumber(value[0]));
        return result::kSuccess;
    case Shape::Number16: {
        const std::uint32_t number = value[0] << 8 | value[1];
        if (row.getChecksRange && (number < row.minValue || number > row.maxValue)) {
            return result::kOutOfRange;
        }
        controls.setEditText(row.controlId, formatFieldNumber(number));
        return result::kSuccess;
    }
    case Shape::ListChoice:
        if (value[0] > row.maxValue) {
            return result::kOutOfRange;
        }
        controls.setListSelection(row.controlId, value[0] + 1);
        return result::kSuccess;
    default:
        return result::kDataFormatError;
    }
}

const char* takeGetReply(Controls& controls, const SettingRow& row, const Reply& reply) {
    const std::uint8_t offset = valueOffset(row);
    if (isTextShape(row.shape)) {
        if (reply.length < offset) {
            return result::kDataFormatError;
        }
        if (!isAccepted(row, reply)) {
            return result::kAckError;
        }
        controls.setEditText(
            row.controlId,
            fromWireText(controls.codePage(), reply.payload + offset, reply.length - offset));
        return result::kSuccess;
    }
    const std::size_t fullLength = offset + fixedValueSize(row.shape);
    if (reply.length != offset && reply.length != fullLength) {
        return result::kDataFormatError;
    }
    if (!isAccepted(row, reply) || reply.length == offset) {
        return result::kAckError;
    }
    return showFixedValue(controls, row, reply.payload + offset);
}

// Reads a number field: nullopt-like failure through the result text.
const char* readNumber(const Controls& controls, const SettingRow& row, std::uint32_t& value) {
    const std::u16string text = controls.editText(row.controlId, row.maxChars);
    if (text.empty()) {
        return result::kInputError;
    }
    const std::int64_t number = parseFieldNumber(text);
    if (number < row.minValue || number > row.maxValue) {
        return result::kOutOfRange;
    }
    value = static_cast<std::uint32_t>(number);
    return nullptr;
}

void appendText(std::vector<std::uint8_t>& request, const std::string& wire) {
    request.insert(request.end(), wire.begin(), wire.end());
}

// The request payload of a set from its control; nullptr, or the text of a refused input.
const char* buildSetRequest(const Controls& controls, const SettingRow& row,
                            std::vector<std::uint8_t>& request) {
    if (isIndexed(row)) {
        request.push_back(static_cast<std::uint8_t>(row.index));
    }
    const WireCodePage& codePage = controls.codePage();
    std::string wire;
    switch (row.shape) {
    case Shape::Flag:
        request.push_back(controls.isChecked(row.controlId) ? 1 : 0);
        return nullptr;
    case Shape::Text: {
        const std::u16string text = controls.editText(row.controlId, row.maxChars);
        if (!fitsCodePage(codePage, text)) {
            return result::kNotInCodePage;
        }
        // A longer text is cut, to M bytes on the wire at most.
        (void)toWireText(codePage, text, row.maxChars, wire);
        appendText(request, wire);
        return nullptr;
    }
    case Shape::IndexedText: {
        const std::u16string text = controls.editText(row.controlId, row.maxChars);
        if (!fitsCodePage(codePage, text)) {
            return result::kNotInCodePage;
        }
        if (text.size() >= row.maxChars ||
            !toWireText(codePage, text, kIndexedTextMaxChars, wire)) {
            return result::kInputError;
        }
        appendText(request, wire);
        return nullptr;
    }
    case Shape::KeyText: {
        const std::u16string text = controls.editText(row.controlId, row.maxChars);
        if (text.empty()) {
            return result::kInputError;
        }
        if (!fitsCodePage(codePage, text)) {
            return result::kNotInCodePage;
        }
        if (!toWireText(codePage, text, row.keyLength, wire) || wire.size() != row.keyLength) {
            return result::kWrongDataLength;
        }
        appendText(request, wire);
        return nullptr;
    }
    case Shape::SmallNumber:
    case Shape::Number16: {
        std::uint32_t value = 0;
        if (const char* refused = readNumber(controls, row, value)) {
            return refused;
        }
        if (row.shape == Shape::Number16) {
            request.push_back(static_cast<std::uint8_t>(value >> 8));
        }
        request.push_back(static_cast<std::uint8_t>(value & 0xFF));
        return nullptr;
    }
    case Shape::ListChoice: {
        const int selection = controls.listSelection(row.controlId);
        if (selection <= 0) {
            return result::kInputError;
        }
        request.push_back(static_cast<std::uint8_t>(selection - 1));
        return nullptr;
    }
    default:
        break;
    }
    return result::kInputError;
}

const char* checkSetReply(const SettingRow& row, const Reply& reply) {
    const std::uint8_t expected = valueOffset(row);
    const bool lengthOk = row.setReplyAtLeast ? reply.length >= expected : reply.length == expected;
    if (!lengthOk) {
        return result::kAckFormatError;
    }
    return isAccepted(row, reply) ? result::kSuccess : result::kAckError;
}

} // namespace

bool getSetting(SettingContext& context, const SettingRow& row) {
    if (!row.getCode) {
        return false;
    }
    if (isSpecialShape(row.shape)) {
        return getSpecialSetting(context, row);
    }
    resetControl(context.controls, row);
    context.controls.appendLog(actionText(*row.getCode, actionUse(row)));
    std::vector<std::uint8_t> request;
    if (isIndexed(row)) {
        request.push_back(static_cast<std::uint8_t>(row.index));
    }
    Reply reply;
    if (!exchange(context, *row.getCode, request, reply)) {
        return finish(context, result::kCmdSendingError);
    }
    return finish(context, takeGetReply(context.controls, row, reply));
}

bool setSetting(SettingContext& context, const SettingRow& row) {
    if (!row.setCode) {
        return false;
    }
    if (isSpecialShape(row.shape)) {
        return setSpecialSetting(context, row);
    }
    context.controls.appendLog(actionText(*row.setCode, actionUse(row)));
    std::vector<std::uint8_t> request;
    if (const char* refused = buildSetRequest(context.controls, row, request)) {
        return finish(context, refused);
    }
    Reply reply;
    if (!exchange(context, *row.setCode, request, reply)) {
        return finish(context, result::kCmdSendingError);
    }
    return finish(context, checkSetReply(row, reply));
}
