#include "settings/ble_tags.h"

#include "link/command_index.h"
#include "resources/control_ids.h"
#include "settings/address_record.h"
#include "settings/exchange.h"
#include "settings/number_text.h"
#include "settings/result_text.h"
#include "settings/setting_shapes.h"
#include "settings/special_shapes.h"

namespace {

constexpr int kSizSlots = 8;
constexpr std::uint8_t kSizReplyLength = 8;      // [index][status][6 address bytes]
constexpr std::uint8_t kBraceletReplyLength = 9; // [status][type][6 address bytes][period]
constexpr int kBraceletType = 5;
constexpr std::uint32_t kMaxBraceletPeriod = 60;

constexpr AddressRecordFields kBraceletFields = {IDC_BRACELET_ADDRESS, IDC_BRACELET_TYPE,
                                                 IDC_BRACELET_PERIOD, kBraceletType,
                                                 kMaxBraceletPeriod};

void logAction(SettingContext& context, CommandCode code, int use = 0) {
    context.controls.appendLog(actionText(code, static_cast<std::size_t>(use)));
}

bool getSizAddressRow(SettingContext& context, const SettingRow& row) {
    Controls& controls = context.controls;
    logAction(context, *row.getCode, row.index);
    controls.setEditText(row.controlId, u"");
    Reply reply;
    if (!exchange(context, *row.getCode, {static_cast<std::uint8_t>(row.index)}, reply)) {
        return finish(context, result::kCmdSendingError);
    }
    if (reply.length != 2 && reply.length != kSizReplyLength) {
        return finish(context, result::kDataFormatError);
    }
    if (reply.payload[0] != row.index || reply.payload[1] != 0 || reply.length != kSizReplyLength) {
        return finish(context, result::kAckError);
    }
    controls.setEditText(row.controlId, addressText(reply.payload + 2));
    return finish(context, result::kSuccess);
}

bool setSizAddressRow(SettingContext& context, const SettingRow& row) {
    logAction(context, *row.setCode, row.index);
    const std::u16string text = context.controls.editText(row.controlId, row.maxChars);
    BleAddress address;
    const AddressParse parsed = parseAddress(text, address);
    if (text.empty()) {
        return finish(context, result::kInputError);
    }
    if (parsed == AddressParse::WrongLength) {
        return finish(context, result::kWrongDataLength);
    }
    if (parsed == AddressParse::NoNumber) {
        return finish(context, result::kDataConversionError);
    }
    const std::vector<std::uint8_t> request = {static_cast<std::uint8_t>(row.index),
                                               address[0],
                                               address[1],
                                               address[2],
                                               address[3],
                                               address[4],
                                               address[5]};
    Reply reply;
    if (!exchange(context, *row.setCode, request, reply)) {
        return finish(context, result::kCmdSendingError);
    }
    if (reply.length != 2) {
        return finish(context, result::kAckFormatError);
    }
    const bool accepted = reply.payload[0] == row.index && reply.payload[1] == 0;
    return finish(context, accepted ? result::kSuccess : result::kAckError);
}

// The plain gets of this page: [status][value...] of one full length, or the status alone.
// `show` checks and shows the value; it returns the result text.
template <typename Show>
bool plainGet(SettingContext& context, const SettingRow& row, std::uint8_t fullLength, Show show) {
    logAction(context, *row.getCode);
    Reply reply;
    if (!exchange(context, *row.getCode, {}, reply)) {
        return finish(context, result::kCmdSendingError);
    }
    if (const char* problem = fixedGetProblem(reply, fullLength)) {
        return finish(context, problem);
    }
    return finish(context, show(reply.payload + 1));
}

bool getBraceletRow(SettingContext& context, const SettingRow& row) {
    Controls& controls = context.controls;
    controls.setEditText(IDC_BRACELET_ADDRESS, u"");
    controls.setListSelection(IDC_BRACELET_TYPE, kNoSelection);
    controls.setEditText(IDC_BRACELET_PERIOD, u"");
    logAction(context, *row.getCode);
    Reply reply;
    if (!exchange(context, *row.getCode, {}, reply)) {
        return finish(context, result::kCmdSendingError);
    }
    if (reply.length != 1 && reply.length != kBraceletReplyLength) {
        return finish(context, result::kDataFormatError);
    }
    // The status byte alone is refused whatever it says.
    if (reply.length == 1 || reply.payload[0] != 0) {
        return finish(context, result::kAckError);
    }
    const std::uint8_t type = reply.payload[1];
    const std::uint8_t period = reply.payload[8];
    if (type != kBraceletType || period > kMaxBraceletPeriod) {
        return finish(context, result::kOutOfRange);
    }
    controls.setListSelection(IDC_BRACELET_TYPE, type);
    controls.setEditText(IDC_BRACELET_ADDRESS, addressText(reply.payload + 2));
    controls.setEditText(IDC_BRACELET_PERIOD, formatFieldNumber(period));
    return finish(context, result::kSuccess);
}

bool setBraceletRow(SettingContext& context, const SettingRow& row) {
    logAction(context, *row.setCode);
    AddressRecord record;
    if (const char* refused = readAddressRecord(context.controls, kBraceletFields, record)) {
        return finish(context, refused);
    }
    return sendPlainSet(context, *row.setCode, recordPayload(kBraceletType, record));
}

bool setNamespaceRow(SettingContext& context, const SettingRow& row) {
    logAction(context, *row.setCode);
    const std::u16string text = context.controls.editText(row.controlId, row.maxChars);
    if (text.empty()) {
        return finish(context, result::kInputError);
    }
    if (!fitsCodePage(context.controls.codePage(), text)) {
        return finish(context, result::kNotInCodePage);
    }
    std::string wire;
    if (!toWireText(context.controls.codePage(), text, row.keyLength, wire) ||
        wire.size() != row.keyLength) {
        return finish(context, result::kWrongDataLength);
    }
    return sendPlainSet(context, *row.setCode, std::vector<std::uint8_t>(wire.begin(), wire.end()));
}

bool setRssiRow(SettingContext& context, const SettingRow& row) {
    logAction(context, *row.setCode);
    const int entry = context.controls.listSelection(row.controlId);
    if (entry <= 0) {
        return finish(context, result::kInputError);
    }
    return sendPlainSet(context, *row.setCode, {static_cast<std::uint8_t>((128 - entry) & 0xFF)});
}

bool setScanTimeRow(SettingContext& context, const SettingRow& row) {
    logAction(context, *row.setCode);
    const std::u16string text = context.controls.editText(row.controlId, row.maxChars);
    if (text.empty()) {
        return finish(context, result::kInputError);
    }
    const std::int64_t seconds = parseFieldNumber(text);
    if (seconds < 0 || seconds > row.maxValue) {
        return finish(context, result::kOutOfRange);
    }
    return sendPlainSet(context, *row.setCode, {static_cast<std::uint8_t>(seconds)});
}

} // namespace

std::u16string rssiEntryText(int entry) {
    if (entry <= 0 || entry >= kRssiEntries) {
        return u" ";
    }
    const int dbm = 128 - entry;
    std::u16string text = dbm < 0 ? u"-" : u"";
    return text + formatFieldNumber(static_cast<std::uint32_t>(dbm < 0 ? -dbm : dbm)) + u" dB";
}

bool getBleTagSetting(SettingContext& context, const SettingRow& row) {
    Controls& controls = context.controls;
    switch (row.shape) {
    case Shape::SizAddress:
        return getSizAddressRow(context, row);
    case Shape::SizRssi:
        controls.setListSelection(row.controlId, kNoSelection);
        return plainGet(context, row, 2, [&](const std::uint8_t* value) {
            controls.setListSelection(row.controlId, 128 - static_cast<std::int8_t>(value[0]));
            return result::kSuccess;
        });
    case Shape::Bracelet:
        return getBraceletRow(context, row);
    case Shape::FixedText:
        controls.setEditText(row.controlId, u"");
        return plainGet(context, row, row.keyLength + 1, [&](const std::uint8_t* value) {
            controls.setEditText(row.controlId,
                                 fromWireText(controls.codePage(), value, row.keyLength));
            return result::kSuccess;
        });
    case Shape::ScanTime:
        controls.setEditText(row.controlId, u"");
        return plainGet(context, row, 2, [&](const std::uint8_t* value) {
            if (value[0] > row.maxValue) {
                return result::kOutOfRange;
            }
            controls.setEditText(row.controlId, formatFieldNumber(value[0]));
            return result::kSuccess;
        });
    default:
        return false;
    }
}

bool setBleTagSetting(SettingContext& context, const SettingRow& row) {
    switch (row.shape) {
    case Shape::SizAddress:
        return setSizAddressRow(context, row);
    case Shape::SizRssi:
        return setRssiRow(context, row);
    case Shape::Bracelet:
        return setBraceletRow(context, row);
    case Shape::FixedText:
        return setNamespaceRow(context, row);
    case Shape::ScanTime:
        return setScanTimeRow(context, row);
    default:
        return false;
    }
}

namespace {

SettingId sizId(int index) {
    return static_cast<SettingId>(static_cast<int>(SettingId::SizAddress1) + index);
}

bool isSizIndex(SettingContext& context, int index) {
    if (index >= 0 && index < kSizSlots) {
        return true;
    }
    context.controls.appendLog(result::kInputError);
    return false;
}

} // namespace

void getSizAddress(SettingContext& context, int index) {
    if (isSizIndex(context, index)) {
        getSetting(context, sizId(index));
    }
}

void setSizAddress(SettingContext& context, int index) {
    if (isSizIndex(context, index)) {
        setSetting(context, sizId(index));
    }
}

void getSizRssi(SettingContext& context) {
    getSetting(context, SettingId::SizRssi);
}
void setSizRssi(SettingContext& context) {
    setSetting(context, SettingId::SizRssi);
}
void getBracelet(SettingContext& context) {
    getSetting(context, SettingId::Bracelet);
}
void setBracelet(SettingContext& context) {
    setSetting(context, SettingId::Bracelet);
}
void getBleNamespace(SettingContext& context) {
    getSetting(context, SettingId::BleNamespace);
}
void setBleNamespace(SettingContext& context) {
    setSetting(context, SettingId::BleNamespace);
}
void getBleScanTime(SettingContext& context) {
    getSetting(context, SettingId::BleScanTime);
}
void setBleScanTime(SettingContext& context) {
    setSetting(context, SettingId::BleScanTime);
}
