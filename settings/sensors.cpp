#include "settings/sensors.h"

#include "link/command_index.h"
#include "resources/control_ids.h"
#include "settings/address_record.h"
#include "settings/exchange.h"
#include "settings/number_text.h"
#include "settings/result_text.h"
#include "settings/setting_shapes.h"
#include "settings/special_shapes.h"

#include <array>

namespace {

constexpr std::uint32_t kMsPerMinute = 60000;
constexpr std::int64_t kMinMinutes = 1;
constexpr std::int64_t kMaxMinutes = 120;
constexpr std::uint8_t kImmobilityReplyLength = 15; // [status][14-byte record]
constexpr std::size_t kTimeChars = 16;
constexpr std::array<int, 3> kTimeFields = {IDC_IMMOBILITY_T1, IDC_IMMOBILITY_T2,
                                            IDC_IMMOBILITY_T3};

constexpr std::uint8_t kAuxFrameLength = 9; // [status][type][6 address bytes][value]
constexpr std::uint8_t kMoreFrames = 1;
constexpr std::uint8_t kTokenType = 1;
constexpr std::uint32_t kMaxGasPeriod = 60;
constexpr std::uint32_t kMaxTokenValue = 1;
// Type code of gas analyzer list entry e is kGasTypeCodes[e - 1]; its cache slot is e - 1.
constexpr std::array<std::uint8_t, kGasSlots> kGasTypeCodes = {0, 3, 4, 5};

constexpr AddressRecordFields kGasFields = {IDC_GAS_ADDRESS, IDC_GAS_TYPE, IDC_GAS_PERIOD, -1,
                                            kMaxGasPeriod};
constexpr AddressRecordFields kTokenFields = {IDC_TOKEN_ADDRESS, IDC_TOKEN_TYPE, IDC_TOKEN_VALUE,
                                              -1, kMaxTokenValue};

std::uint32_t bigEndian32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
           std::uint32_t{bytes[2]} << 8 | bytes[3];
}

void appendBigEndian32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

bool getImmobilityRow(SettingContext& context, const SettingRow& row) {
    Controls& controls = context.controls;
    controls.setChecked(IDC_IMMOBILITY_ENABLE, false);
    controls.setChecked(IDC_IMMOBILITY_HORIZONTAL, false);
    for (int id : kTimeFields) {
        controls.setEditText(id, u"");
    }
    controls.appendLog(actionText(*row.getCode));
    Reply reply;
    if (!exchange(context, *row.getCode, {}, reply)) {
        return finish(context, result::kCmdSendingError);
    }
    if (const char* problem = fixedGetProblem(reply, kImmobilityReplyLength)) {
        return finish(context, problem);
    }
    const std::uint8_t* record = reply.payload + 1;
    std::array<std::uint32_t, 3> minutes{};
    for (std::size_t i = 0; i < minutes.size(); ++i) {
        minutes[i] = bigEndian32(record + 2 + 4 * i) / kMsPerMinute;
        if (minutes[i] < kMinMinutes || minutes[i] > kMaxMinutes) {
            return finish(context, result::kOutOfRange);
        }
    }
    controls.setChecked(IDC_IMMOBILITY_ENABLE, record[0] != 0);
    for (std::size_t i = 0; i < minutes.size(); ++i) {
        controls.setEditText(kTimeFields[i], formatFieldNumber(minutes[i]));
    }
    controls.setChecked(IDC_IMMOBILITY_HORIZONTAL, record[1] != 0);
    return finish(context, result::kSuccess);
}

bool setImmobilityRow(SettingContext& context, const SettingRow& row) {
    const Controls& controls = context.controls;
    context.controls.appendLog(actionText(*row.setCode));
    if (!controls.isChecked(IDC_IMMOBILITY_ENABLE)) {
        return sendPlainSet(context, *row.setCode, {0x00});
    }
    std::array<std::u16string, 3> texts;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] = controls.editText(kTimeFields[i], kTimeChars);
        if (texts[i].empty()) {
            return finish(context, result::kInputError);
        }
    }
    const std::uint8_t horizontal = controls.isChecked(IDC_IMMOBILITY_HORIZONTAL) ? 1 : 0;
    std::vector<std::uint8_t> request = {1, horizontal};
    for (const std::u16string& text : texts) {
        const std::int64_t minutes = parseFieldNumber(text);
        if (minutes < kMinMinutes || minutes > kMaxMinutes) {
            return finish(context, result::kOutOfRange);
        }
        appendBigEndian32(request, static_cast<std::uint32_t>(minutes) * kMsPerMinute);
    }
    return sendPlainSet(context, *row.setCode, request);
}

struct AuxGroup {
    int addressId, typeId, valueId;
};
constexpr AuxGroup kGasGroup = {IDC_GAS_ADDRESS, IDC_GAS_TYPE, IDC_GAS_PERIOD};
constexpr AuxGroup kTokenGroup = {IDC_TOKEN_ADDRESS, IDC_TOKEN_TYPE, IDC_TOKEN_VALUE};

int gasSlotOf(std::uint8_t typeCode) {
    for (std::size_t slot = 0; slot < kGasTypeCodes.size(); ++slot) {
        if (kGasTypeCodes[slot] == typeCode) {
            return static_cast<int>(slot);
        }
    }
    return -1;
}

std::string toNarrow(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

// One received record into the cache and, when its value is not 0, onto the page.
void takeAuxRecord(SettingContext& context, const std::uint8_t* record) {
    const std::uint8_t type = record[0];
    const std::uint8_t value = record[7];
    const int slot = gasSlotOf(type);
    AuxSensorEntry* entry = nullptr;
    const AuxGroup* group = nullptr;
    if (slot >= 0) {
        if (value > kMaxGasPeriod) {
            context.controls.appendLog("\r\n   GAS ANALYZER error (data is out of range).\r\n");
            return;
        }
        entry = &context.auxSensors.gas[static_cast<std::size_t>(slot)];
        entry->listIndex = slot + 1;
        group = &kGasGroup;
    } else if (type == kTokenType) {
        if (value > kMaxTokenValue) {
            context.controls.appendLog("\r\n   TOKEN error (data is out of range).\r\n");
            return;
        }
        entry = &context.auxSensors.token;
        entry->listIndex = 1;
        group = &kTokenGroup;
    } else {
        return;
    }
    entry->macText = toNarrow(addressText(record + 1));
    entry->valueText = toNarrow(formatFieldNumber(value));
    if (value == 0) {
        return;
    }
    Controls& controls = context.controls;
    controls.setListSelection(group->typeId, entry->listIndex);
    controls.setEditText(group->addressId, addressText(record + 1));
    controls.setEditText(group->valueId, formatFieldNumber(value));
}

bool getAuxSensorsRow(SettingContext& context, const SettingRow& row) {
    Controls& controls = context.controls;
    for (const AuxGroup& group : {kGasGroup, kTokenGroup}) {
        controls.setEditText(group.addressId, u"");
        controls.setEditText(group.valueId, u"");
        controls.setListSelection(group.typeId, kNoSelection);
    }
    controls.appendLog(actionText(*row.getCode));
    Reply reply;
    if (!exchange(context, *row.getCode, {}, reply)) {
        return finish(context, result::kCmdSendingError);
    }
    const std::uint32_t furtherTimeoutMs = findCommand(*row.getCode)->furtherReplyTimeoutMs;
    for (;;) {
        if (reply.length != 1 && reply.length != kAuxFrameLength) {
            return finish(context, result::kDataFormatError);
        }
        const std::uint8_t status = reply.payload[0];
        if (status > kMoreFrames) {
            return finish(context, "ack error 1.\r\n");
        }
        if (reply.length == 1) {
            return finish(context, status == 0 ? result::kSuccess : "ack error 2.\r\n");
        }
        takeAuxRecord(context, reply.payload + 1);
        if (status == 0) {
            return finish(context, result::kSuccess);
        }
        if (!awaitReply(context.link, *row.getCode, reply.length, reply.payload,
                        furtherTimeoutMs)) {
            return finish(context, "ack error 3.\r\n");
        }
    }
}

bool setAuxRecord(SettingContext& context, const SettingRow& row, bool gas) {
    context.controls.appendLog(actionText(*row.setCode, gas ? 0 : 1));
    AddressRecord record;
    if (const char* refused =
            readAddressRecord(context.controls, gas ? kGasFields : kTokenFields, record)) {
        return finish(context, refused);
    }
    const std::size_t slot = static_cast<std::size_t>(record.typeEntry - 1);
    const auto request = recordPayload(gas ? kGasTypeCodes.at(slot) : kTokenType, record);
    Reply reply;
    if (!exchange(context, *row.setCode, request, reply)) {
        return finish(context, result::kCmdSendingError);
    }
    const char* outcome = plainSetResult(reply);
    if (gas && result::isSuccess(outcome)) {
        // The device keeps one gas analyzer: the others now read out nothing.
        for (std::size_t other = 0; other < kGasSlots; ++other) {
            AuxSensorEntry& entry = context.auxSensors.gas[other];
            if (other == slot) {
                entry.valueText = toNarrow(formatFieldNumber(record.value));
            } else if (!entry.valueText.empty()) {
                entry.valueText = "0";
            }
        }
    }
    return finish(context, outcome);
}

} // namespace

bool getSensorSetting(SettingContext& context, const SettingRow& row) {
    return row.shape == Shape::Immobility ? getImmobilityRow(context, row)
                                          : getAuxSensorsRow(context, row);
}

bool setSensorSetting(SettingContext& context, const SettingRow& row) {
    if (row.shape == Shape::Immobility) {
        return setImmobilityRow(context, row);
    }
    return setAuxRecord(context, row, row.shape == Shape::GasAnalyzer);
}

void getImmobility(SettingContext& context) {
    getSetting(context, SettingId::Immobility);
}
void setImmobility(SettingContext& context) {
    setSetting(context, SettingId::Immobility);
}
void getAuxSensors(SettingContext& context) {
    getSetting(context, SettingId::AuxSensors);
}
void setGasAnalyzer(SettingContext& context) {
    setSetting(context, SettingId::GasAnalyzer);
}
void setToken(SettingContext& context) {
    setSetting(context, SettingId::Token);
}
