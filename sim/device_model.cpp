#include "sim/device_model.h"

#include "link/command_index.h"

#include <cstring>

namespace {

using namespace command;
using enum ModelShape;
using enum ValueCheck;

constexpr std::uint8_t kAccepted = 0;
constexpr std::uint8_t kRefused = 1;
constexpr std::uint8_t kMoreFrames = 1;
constexpr std::uint8_t kTokenType = 1;

constexpr std::uint8_t kPair = 0x03;
constexpr std::uint8_t kEightSlots = 0xFF;
// 0 firmware, 1 GSM, 4 XNB, 5 WiFi, 6 LBLE, 7 GNSS; there are no modules 2 and 3.
constexpr std::uint8_t kVersionModules = 0xF3;

// clang-format off
constexpr ModelRow kRows[] = {
    // code                shape          indexes          check        length   value range
    {kConnect,            Connect,       0,               Any,         0, 0,    0, 0},
    {kDisconnect,         Action,        0,               Any,         0, 0,    0, 0},
    {kVersion,            IndexedGet,    kVersionModules, Any,         0, 0,    0, 0},
    {kLedTest,            IndexedAction, kPair,           Any,         0, 0,    0, 0},
    {kVoiceTest,          Action,        0,               Any,         0, 0,    0, 0},
    {kVibroTest,          Action,        0,               Any,         0, 0,    0, 0},
    {kSetLogFlags,        PlainSet,      0,               Any,         4, 4,    0, 0},
    {kGetLogFlags,        PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetMasterFlag,      PlainSet,      0,               Any,         1, 1,    0, 0},
    {kGetMasterFlag,      PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetButtonNumber,    IndexedSet,    kPair,           Any,         0, 30,   0, 0},
    {kGetButtonNumber,    IndexedGet,    kPair,           Any,         0, 0,    0, 0},
    {kSetVolume,          IndexedSet,    kPair,           ByteRange,   1, 1,    0, 5},
    {kGetVolume,          IndexedGet,    kPair,           Any,         0, 0,    0, 0},
    {kSetMicGain,         PlainSet,      0,               ByteRange,   1, 1,    0, 5},
    {kGetMicGain,         PlainGet,      0,               Any,         0, 0,    0, 0},
    {kGetDeviceId,        PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetServerAckFlag,   PlainSet,      0,               Any,         1, 1,    0, 0},
    {kGetServerAckFlag,   PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetDataPeriod,      PlainSet,      0,               Word16Range, 2, 2,    7, 180},
    {kGetDataPeriod,      PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetMqttBroker,      PlainSet,      0,               Any,         0, 63,   0, 0},
    {kGetMqttBroker,      PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetMqttUsername,    PlainSet,      0,               Any,         0, 31,   0, 0},
    {kGetMqttUsername,    PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetMqttPassword,    PlainSet,      0,               Any,         0, 31,   0, 0},
    {kGetMqttPassword,    PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetMqttPort,        PlainSet,      0,               Word16Range, 2, 2,    0, 65535},
    {kGetMqttPort,        PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetMqttTopic,       IndexedSet,    kPair,           Any,         0, 30,   0, 0},
    {kGetMqttTopic,       IndexedGet,    kPair,           Any,         0, 0,    0, 0},
    {kGetImei,            PlainGet,      0,               Any,         0, 0,    0, 0},
    {kGetImsi,            PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetApn,             PlainSet,      0,               Any,         0, 63,   0, 0},
    {kGetApn,             PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetLoraEnable,      PlainSet,      0,               Any,         1, 1,    0, 0},
    {kGetLoraEnable,      PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetLoraDevEui,      PlainSet,      0,               Any,         16, 16,  0, 0},
    {kGetLoraDevEui,      PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetLoraAppEui,      PlainSet,      0,               Any,         16, 16,  0, 0},
    {kGetLoraAppEui,      PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetLoraAppKey,      PlainSet,      0,               Any,         32, 32,  0, 0},
    {kGetLoraAppKey,      PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetLoraBand,        PlainSet,      0,               ByteRange,   1, 1,    0, 1},
    {kGetLoraBand,        PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetXnbEnable,       PlainSet,      0,               Any,         1, 1,    0, 0},
    {kGetXnbEnable,       PlainGet,      0,               Any,         0, 0,    0, 0},
    {kGetXnbId,           PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetWifiEnable,      PlainSet,      0,               Any,         1, 1,    0, 0},
    {kGetWifiEnable,      PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetWifiSsid,        PlainSet,      0,               Any,         0, 63,   0, 0},
    {kGetWifiSsid,        PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetWifiPassword,    PlainSet,      0,               Any,         0, 63,   0, 0},
    {kGetWifiPassword,    PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetSizAddress,      IndexedSet,    kEightSlots,     Any,         6, 6,    0, 0},
    {kGetSizAddress,      IndexedGet,    kEightSlots,     Any,         0, 0,    0, 0},
    {kSetSizRssi,         PlainSet,      0,               Any,         1, 1,    0, 0},
    {kGetSizRssi,         PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetBracelet,        PlainSet,      0,               Bracelet,    8, 8,    0, 60},
    {kGetBracelet,        PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetBleNamespace,    PlainSet,      0,               Any,         20, 20,  0, 0},
    {kGetBleNamespace,    PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetBleScanTime,     PlainSet,      0,               ByteRange,   1, 1,    0, 8},
    {kGetBleScanTime,     PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetAuxSensor,       AuxSensorSet,  0,               Any,         8, 8,    0, 0},
    {kGetAuxSensors,      AuxSensorGet,  0,               Any,         0, 0,    0, 0},
    {kSetImmobility,      ImmobilitySet, 0,               Any,         1, 14,   1, 120},
    {kGetImmobility,      PlainGet,      0,               Any,         0, 0,    0, 0},
    {kSetGnssAlwaysOn,    PlainSet,      0,               Any,         1, 1,    0, 0},
    {kGetGnssAlwaysOn,    PlainGet,      0,               Any,         0, 0,    0, 0},
};
// clang-format on

enum class Encoding : std::uint8_t { Text, Hex };

struct DefaultValue {
    CommandCode getCode;
    int index;
    Encoding encoding;
    const char* value;
};

// clang-format off
constexpr DefaultValue kDefaults[] = {
    {kVersion,           0, Encoding::Text, "2.7.1 (2024-05-14)"},
    {kVersion,           1, Encoding::Text, "01.200.01.200"},
    {kVersion,           4, Encoding::Text, "1.0.3"},
    {kVersion,           5, Encoding::Text, "3.2.0"},
    {kVersion,           6, Encoding::Text, "1.6.2"},
    {kVersion,           7, Encoding::Text, "3.01.2"},
    // GSM and GNSS channels on
    {kGetLogFlags,      -1, Encoding::Hex,  "00000808"},
    {kGetMasterFlag,    -1, Encoding::Hex,  "01"},
    {kGetButtonNumber,   0, Encoding::Text, "+15551230001"},
    {kGetButtonNumber,   1, Encoding::Text, "+15551230002"},
    {kGetVolume,         0, Encoding::Hex,  "03"},
    {kGetVolume,         1, Encoding::Hex,  "02"},
    {kGetMicGain,       -1, Encoding::Hex,  "04"},
    {kGetDeviceId,      -1, Encoding::Text, "TRK-0A1B2C3D"},
    {kGetServerAckFlag, -1, Encoding::Hex,  "01"},
    // 60 s
    {kGetDataPeriod,    -1, Encoding::Hex,  "003C"},
    {kGetMqttBroker,    -1, Encoding::Text, "mqtt.tarnwick.example"},
    {kGetMqttUsername,  -1, Encoding::Text, "tracker"},
    {kGetMqttPassword,  -1, Encoding::Text, "s3cret-pass"},
    // 1883
    {kGetMqttPort,      -1, Encoding::Hex,  "075B"},
    {kGetMqttTopic,      0, Encoding::Text, "tarnwick/cmd/TRK-0A1B2C3D"},
    {kGetMqttTopic,      1, Encoding::Text, "tarnwick/data/TRK-0A1B2C3D"},
    {kGetImei,          -1, Encoding::Text, "356938035643809"},
    {kGetImsi,          -1, Encoding::Text, "001010123456789"},
    {kGetApn,           -1, Encoding::Text, "internet"},
    {kGetLoraEnable,    -1, Encoding::Hex,  "01"},
    {kGetLoraDevEui,    -1, Encoding::Text, "70B3D57ED0051A2B"},
    {kGetLoraAppEui,    -1, Encoding::Text, "70B3D57ED0000001"},
    {kGetLoraAppKey,    -1, Encoding::Text, "2B7E151628AED2A6ABF7158809CF4F3C"},
    // RU864-870
    {kGetLoraBand,      -1, Encoding::Hex,  "01"},
    {kGetXnbEnable,     -1, Encoding::Hex,  "00"},
    {kGetXnbId,         -1, Encoding::Text, "XNB-00A1F3"},
    {kGetWifiEnable,    -1, Encoding::Hex,  "01"},
    {kGetWifiSsid,      -1, Encoding::Text, "Tarnwick-Service"},
    {kGetWifiPassword,  -1, Encoding::Text, "wifi-pass-2024"},
    {kGetSizAddress,     0, Encoding::Hex,  "E45F012A7C10"},
    {kGetSizAddress,     1, Encoding::Hex,  "E45F012A7C11"},
    {kGetSizAddress,     2, Encoding::Hex,  "E45F012A813D"},
    {kGetSizAddress,     3, Encoding::Hex,  "000000000000"},
    {kGetSizAddress,     4, Encoding::Hex,  "000000000000"},
    {kGetSizAddress,     5, Encoding::Hex,  "000000000000"},
    {kGetSizAddress,     6, Encoding::Hex,  "000000000000"},
    {kGetSizAddress,     7, Encoding::Hex,  "000000000000"},
    // -70 dBm
    {kGetSizRssi,       -1, Encoding::Hex,  "BA"},
    // type 5, address, 10 min
    {kGetBracelet,      -1, Encoding::Hex,  "05D43639A10B7E0A"},
    {kGetBleNamespace,  -1, Encoding::Text, "EDD1EBEAC04E5DEFA017"},
    {kGetBleScanTime,   -1, Encoding::Hex,  "03"},
    // gas analyzer type 3 every 15 min, type 0 known but off, token on: three frames
    {kGetAuxSensors,    -1, Encoding::Hex,  "03F00C1A2233440F" "00F00C1A22301000" "01D8A01D55600201"},
    // enabled, any position, T1 5 min, T2 15 min, T3 30 min (milliseconds)
    {kGetImmobility,    -1, Encoding::Hex,  "0100000493E0000DBBA0001B7740"},
    {kGetGnssAlwaysOn,  -1, Encoding::Hex,  "00"},
};
// clang-format on

std::uint8_t hexNibble(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<std::uint8_t>(c - '0');
    }
    return static_cast<std::uint8_t>((c & ~0x20) - 'A' + 10);
}

std::vector<std::uint8_t> decodeDefault(const DefaultValue& entry) {
    std::vector<std::uint8_t> bytes;
    const std::size_t length = std::strlen(entry.value);
    if (entry.encoding == Encoding::Text) {
        bytes.assign(entry.value, entry.value + length);
        return bytes;
    }
    for (std::size_t i = 0; i + 1 < length; i += 2) {
        bytes.push_back(static_cast<std::uint8_t>((hexNibble(entry.value[i]) << 4) |
                                                  hexNibble(entry.value[i + 1])));
    }
    return bytes;
}

bool hasIndex(const ModelRow& row, int index) {
    return index >= 0 && index < 8 && ((row.indexMask >> index) & 1) != 0;
}

std::uint32_t bigEndian(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (std::uint8_t byte : bytes) {
        value = (value << 8) | byte;
    }
    return value;
}

bool accepts(const ModelRow& row, std::span<const std::uint8_t> value) {
    if (value.size() < row.minLength || value.size() > row.maxLength) {
        return false;
    }
    switch (row.check) {
    case Any:
        return true;
    case ByteRange:
    case Word16Range: {
        const std::uint32_t number = bigEndian(value);
        return number >= row.minValue && number <= row.maxValue;
    }
    case Bracelet:
        return value[0] == 5 && value[7] <= row.maxValue;
    }
    return false;
}

ModelReply statusReply(CommandCode code, std::uint8_t status) {
    return {code, {status}, 0, 0};
}

ModelReply indexedStatusReply(CommandCode code, std::uint8_t index, std::uint8_t status) {
    return {code, {index, status}, 0, 1};
}

std::vector<ModelReply> answerConnect(const RecordedRequest& request,
                                      const SimulatorOptions& options) {
    // The device first says it is busy, then ready once it has finished its own start-up.
    return {statusReply(request.code, 1),
            {request.code, {0}, options.connectSecondReplyDelayMs, 0}};
}

std::vector<ModelReply> answerPlainGet(const ValueStore& values, const RecordedRequest& request) {
    const auto found = values.find({request.code, -1});
    if (found == values.end()) {
        return {statusReply(request.code, kRefused)};
    }
    ModelReply reply = statusReply(request.code, kAccepted);
    reply.payload.insert(reply.payload.end(), found->second.begin(), found->second.end());
    return {reply};
}

std::vector<ModelReply> answerIndexedGet(const ModelRow& row, const ValueStore& values,
                                         const RecordedRequest& request) {
    if (request.payload.empty()) {
        return {indexedStatusReply(request.code, 0xFF, kRefused)};
    }
    const std::uint8_t index = request.payload[0];
    const auto found = values.find({request.code, index});
    if (request.payload.size() != 1 || !hasIndex(row, index) || found == values.end()) {
        return {indexedStatusReply(request.code, index, kRefused)};
    }
    ModelReply reply = indexedStatusReply(request.code, index, kAccepted);
    reply.payload.insert(reply.payload.end(), found->second.begin(), found->second.end());
    return {reply};
}

std::vector<ModelReply> answerPlainSet(const ModelRow& row, ValueStore& values,
                                       const RecordedRequest& request) {
    if (!accepts(row, request.payload)) {
        return {statusReply(request.code, kRefused)};
    }
    values[{static_cast<CommandCode>(row.code + 1), -1}] = request.payload;
    return {statusReply(request.code, kAccepted)};
}

std::vector<ModelReply> answerIndexedSet(const ModelRow& row, ValueStore& values,
                                         const RecordedRequest& request) {
    if (request.payload.empty()) {
        return {indexedStatusReply(request.code, 0xFF, kRefused)};
    }
    const std::uint8_t index = request.payload[0];
    const std::span<const std::uint8_t> value(request.payload.begin() + 1, request.payload.end());
    if (!hasIndex(row, index) || !accepts(row, value)) {
        return {indexedStatusReply(request.code, index, kRefused)};
    }
    values[{static_cast<CommandCode>(row.code + 1), index}].assign(value.begin(), value.end());
    return {indexedStatusReply(request.code, index, kAccepted)};
}

std::vector<ModelReply> answerAuxSensorGet(const ValueStore& values, const RecordedRequest& request,
                                           const SimulatorOptions& options) {
    const auto found = values.find({request.code, -1});
    const std::size_t count =
        found == values.end() ? 0 : found->second.size() / kAuxSensorRecordSize;
    if (count == 0) {
        return {statusReply(request.code, kAccepted)};
    }
    // One record per frame; status 1 tells the host that another frame follows.
    std::vector<ModelReply> replies;
    for (std::size_t i = 0; i < count; ++i) {
        ModelReply reply = statusReply(request.code, i + 1 < count ? kMoreFrames : kAccepted);
        const auto record =
            found->second.begin() + static_cast<std::ptrdiff_t>(i * kAuxSensorRecordSize);
        reply.payload.insert(reply.payload.end(), record, record + kAuxSensorRecordSize);
        reply.delayMs = i == 0 ? 0 : options.auxFrameIntervalMs;
        replies.push_back(std::move(reply));
    }
    return replies;
}

bool isGasAnalyzerType(std::uint8_t type) {
    return type == 0 || (type >= 3 && type <= 5);
}

std::vector<ModelReply> answerAuxSensorSet(const ModelRow& row, ValueStore& values,
                                           const RecordedRequest& request) {
    const std::vector<std::uint8_t>& record = request.payload;
    if (record.size() != kAuxSensorRecordSize) {
        return {statusReply(request.code, kRefused)};
    }
    const std::uint8_t type = record[0];
    const bool gas = isGasAnalyzerType(type);
    const bool valid = (gas && record[7] <= 60) || (type == kTokenType && record[7] <= 1);
    if (!valid) {
        return {statusReply(request.code, kRefused)};
    }
    // The device reads one gas analyzer at a time: choosing one switches the others off.
    std::vector<std::uint8_t>& stored = values[{static_cast<CommandCode>(row.code + 1), -1}];
    bool replaced = false;
    for (std::size_t offset = 0; offset + kAuxSensorRecordSize <= stored.size();
         offset += kAuxSensorRecordSize) {
        if (stored[offset] == type) {
            std::memcpy(&stored[offset], record.data(), kAuxSensorRecordSize);
            replaced = true;
        } else if (gas && isGasAnalyzerType(stored[offset])) {
            stored[offset + 7] = 0;
        }
    }
    if (!replaced) {
        stored.insert(stored.end(), record.begin(), record.end());
    }
    return {statusReply(request.code, kAccepted)};
}

constexpr std::size_t kImmobilityRecordSize = 14;
constexpr std::uint32_t kMillisecondsPerMinute = 60000;

std::vector<ModelReply> answerImmobilitySet(const ModelRow& row, ValueStore& values,
                                            const RecordedRequest& request) {
    const std::vector<std::uint8_t>& payload = request.payload;
    const std::pair<CommandCode, int> key{static_cast<CommandCode>(row.code + 1), -1};
    // Switching the detection off keeps the times it had.
    if (payload.size() == 1 && payload[0] == 0) {
        std::vector<std::uint8_t>& stored = values[key];
        stored.resize(kImmobilityRecordSize, 0);
        stored[0] = 0;
        return {statusReply(request.code, kAccepted)};
    }
    if (payload.size() != kImmobilityRecordSize) {
        return {statusReply(request.code, kRefused)};
    }
    for (std::size_t offset = 2; offset < kImmobilityRecordSize; offset += 4) {
        const std::uint32_t minutes =
            bigEndian(std::span(payload).subspan(offset, 4)) / kMillisecondsPerMinute;
        if (minutes < row.minValue || minutes > row.maxValue) {
            return {statusReply(request.code, kRefused)};
        }
    }
    values[key] = payload;
    return {statusReply(request.code, kAccepted)};
}

} // namespace

std::span<const ModelRow> modelTable() {
    return kRows;
}

const ModelRow* findModelRow(CommandCode code) {
    for (const ModelRow& row : kRows) {
        if (row.code == code) {
            return &row;
        }
    }
    return nullptr;
}

void loadDefaults(ValueStore& values) {
    values.clear();
    for (const DefaultValue& entry : kDefaults) {
        values[{entry.getCode, entry.index}] = decodeDefault(entry);
    }
}

std::vector<ModelReply> answerRequest(ValueStore& values, const RecordedRequest& request,
                                      const SimulatorOptions& options) {
    const ModelRow* row = findModelRow(request.code);
    if (row == nullptr) {
        return {statusReply(request.code, kRefused)};
    }
    switch (row->shape) {
    case Connect:
        return answerConnect(request, options);
    case Action:
        return {statusReply(request.code, kAccepted)};
    case IndexedAction: {
        const bool known = request.payload.size() == 1 && hasIndex(*row, request.payload[0]);
        return {statusReply(request.code, known ? kAccepted : kRefused)};
    }
    case PlainGet:
        return answerPlainGet(values, request);
    case PlainSet:
        return answerPlainSet(*row, values, request);
    case IndexedGet:
        return answerIndexedGet(*row, values, request);
    case IndexedSet:
        return answerIndexedSet(*row, values, request);
    case AuxSensorGet:
        return answerAuxSensorGet(values, request, options);
    case AuxSensorSet:
        return answerAuxSensorSet(*row, values, request);
    case ImmobilitySet:
        return answerImmobilitySet(*row, values, request);
    }
    return {};
}

void removeFitting(DeviceSimulator& device, Fitting fitting) {
    switch (fitting) {
    case Fitting::Bracelet:
        device.storeValue(kGetBracelet, {});
        return;
    case Fitting::GasAnalyzer:
    case Fitting::Token: {
        const std::vector<std::uint8_t> records =
            device.storedValue(kGetAuxSensors).value_or(std::vector<std::uint8_t>{});
        std::vector<std::uint8_t> kept;
        for (std::size_t at = 0; at + kAuxSensorRecordSize <= records.size();
             at += kAuxSensorRecordSize) {
            const bool gas = isGasAnalyzerType(records[at]);
            if (fitting == Fitting::GasAnalyzer ? !gas : records[at] != kTokenType) {
                kept.insert(kept.end(), records.begin() + static_cast<std::ptrdiff_t>(at),
                            records.begin() +
                                static_cast<std::ptrdiff_t>(at + kAuxSensorRecordSize));
            }
        }
        device.storeValue(kGetAuxSensors, kept);
        return;
    }
    case Fitting::LoraKeys:
        for (CommandCode code : {kGetLoraDevEui, kGetLoraAppEui, kGetLoraAppKey}) {
            device.storeValue(code, {});
        }
        return;
    }
}
