#include "settings/setting_catalogue.h"

#include "link/command_index.h"
#include "resources/control_ids.h"

#include <algorithm>
#include <array>

namespace {

using namespace command;

constexpr const char16_t* kLoraBandEntries[] = {u" ", u"EU863-870", u"RU864-870"};
constexpr const char16_t* kBraceletTypeEntries[] = {u" ",   u"---", u"---",
                                                    u"---", u"---", u"Halvorn Tessel"};
constexpr const char16_t* kGasTypeEntries[] = {u" ", u"Honeywell (PGM2603 / BW Max XT2)",
                                               u"Honeywell (BW Solo)", u"Mirax ()",
                                               u"Honeywell (BW Icon)"};
constexpr const char16_t* kTokenTypeEntries[] = {u" ", u"Token UWB"};

using K = FieldKind;

constexpr SettingField kBraceletFields[] = {
    {"address", IDC_BRACELET_ADDRESS, K::Edit},
    {"type", IDC_BRACELET_TYPE, K::List, kBraceletTypeEntries},
    {"period", IDC_BRACELET_PERIOD, K::Number},
};
constexpr SettingField kImmobilityFields[] = {
    {"enabled", IDC_IMMOBILITY_ENABLE, K::Check},
    {"t1", IDC_IMMOBILITY_T1, K::Number},
    {"t2", IDC_IMMOBILITY_T2, K::Number},
    {"t3", IDC_IMMOBILITY_T3, K::Number},
    {"horizontal", IDC_IMMOBILITY_HORIZONTAL, K::Check},
};
constexpr SettingField kGasAnalyzerFields[] = {
    {"address", IDC_GAS_ADDRESS, K::Edit},
    {"type", IDC_GAS_TYPE, K::List, kGasTypeEntries},
    {"period", IDC_GAS_PERIOD, K::Number},
};
constexpr SettingField kTokenFields[] = {
    {"address", IDC_TOKEN_ADDRESS, K::Edit},
    {"type", IDC_TOKEN_TYPE, K::List, kTokenTypeEntries},
    {"value", IDC_TOKEN_VALUE, K::Number},
};
constexpr SettingField kAuxSensorFields[] = {
    {"gas-analyzer.address", IDC_GAS_ADDRESS, K::Edit},
    {"gas-analyzer.type", IDC_GAS_TYPE, K::List, kGasTypeEntries},
    {"gas-analyzer.period", IDC_GAS_PERIOD, K::Number},
    {"token.address", IDC_TOKEN_ADDRESS, K::Edit},
    {"token.type", IDC_TOKEN_TYPE, K::List, kTokenTypeEntries},
    {"token.value", IDC_TOKEN_VALUE, K::Number},
};
// The bit of each check box is the device's; it follows neither the IDs nor the layout.
constexpr SettingField kLogFlagFields[] = {
    {"GSM_LL", 2006, K::Check, {}, 0},        {"GSM_LL rx", 2007, K::Check, {}, 1},
    {"GSM_LL tx", 2008, K::Check, {}, 2},     {"GSM", 2009, K::Check, {}, 3},
    {"LBLE_LL", 2014, K::Check, {}, 4},       {"LBLE_LL rx", 2015, K::Check, {}, 5},
    {"LBLE_LL tx", 2016, K::Check, {}, 6},    {"LBLE", 2017, K::Check, {}, 7},
    {"GNSS_LL", 2018, K::Check, {}, 8},       {"GNSS_LL rx", 2019, K::Check, {}, 9},
    {"GNSS_LL tx", 2020, K::Check, {}, 10},   {"GNSS", 2021, K::Check, {}, 11},
    {"SENS", 2024, K::Check, {}, 12},         {"DISP", 2025, K::Check, {}, 13},
    {"WiFi_LL", 2010, K::Check, {}, 14},      {"WiFi_LL rx", 2011, K::Check, {}, 15},
    {"WiFi_LL tx", 2012, K::Check, {}, 16},   {"WiFi", 2013, K::Check, {}, 17},
    {"XNB_LL", 2029, K::Check, {}, 18},       {"XNB_LL rx", 2030, K::Check, {}, 19},
    {"XNB_LL tx", 2031, K::Check, {}, 20},    {"XNB", 2032, K::Check, {}, 21},
    {"BLE", 2022, K::Check, {}, 22},          {"LORA", 2023, K::Check, {}, 23},
    {"Save in file", 2026, K::Check, {}, 31},
};

constexpr SettingRow flag(SettingId id, const char* name, CommandCode get, int control, int read,
                          int set) {
    return {id,     name,    Shape::Flag, get, static_cast<CommandCode>(get - 1),
            kPlain, control, read,        set};
}

constexpr SettingRow readOnlyText(SettingId id, const char* name, CommandCode get, int control,
                                  int read) {
    return {id, name, Shape::Text, get, std::nullopt, kPlain, control, read, 0};
}

constexpr SettingRow text(SettingId id, const char* name, CommandCode get, int control, int read,
                          int set, std::uint8_t maxChars) {
    return {id,     name,    Shape::Text, get, static_cast<CommandCode>(get - 1),
            kPlain, control, read,        set, maxChars};
}

constexpr SettingRow indexedText(SettingId id, const char* name, CommandCode get, int index,
                                 int control, int read, int set, bool replyAtLeast) {
    SettingRow row{
        id,  name, Shape::IndexedText, get, static_cast<CommandCode>(get - 1), index, control, read,
        set, 31};
    row.setReplyAtLeast = replyAtLeast;
    return row;
}

constexpr SettingRow smallNumber(SettingId id, const char* name, CommandCode get, int index,
                                 int control, int read, int set) {
    return {id,
            name,
            Shape::SmallNumber,
            get,
            static_cast<CommandCode>(get - 1),
            index,
            control,
            read,
            set,
            7,
            0,
            0,
            5};
}

constexpr SettingRow number16(SettingId id, const char* name, CommandCode get, int control,
                              int read, int set, std::uint32_t min, std::uint32_t max,
                              bool getChecksRange) {
    return {id,
            name,
            Shape::Number16,
            get,
            static_cast<CommandCode>(get - 1),
            kPlain,
            control,
            read,
            set,
            7,
            0,
            min,
            max,
            getChecksRange};
}

constexpr SettingRow key(SettingId id, const char* name, CommandCode get, int control, int read,
                         int set, std::uint8_t length) {
    return {id,     name,    Shape::KeyText, get, static_cast<CommandCode>(get - 1),
            kPlain, control, read,           set, static_cast<std::uint8_t>(length + 3),
            length};
}

constexpr SettingRow secret(SettingRow row) {
    row.secret = true;
    return row;
}

constexpr SettingRow list(SettingId id, const char* name, CommandCode get, int control, int read,
                          int set, std::span<const char16_t* const> entries) {
    SettingRow row{
        id,   name, Shape::ListChoice, get, static_cast<CommandCode>(get - 1), kPlain, control,
        read, set};
    row.maxValue = static_cast<std::uint32_t>(entries.size() - 2);
    row.listEntries = entries;
    return row;
}

constexpr SettingRow siz(SettingId id, const char* name, int index) {
    const int offset = IDC_SIZ_ROW_STRIDE * index;
    return {id,
            name,
            Shape::SizAddress,
            kGetSizAddress,
            kSetSizAddress,
            index,
            IDC_SIZ_1 + offset,
            IDC_SIZ_1_READ + offset,
            IDC_SIZ_1_SET + offset,
            15};
}

// A setting with a layout of its own: its controls are its fields.
constexpr SettingRow special(SettingId id, const char* name, Shape shape,
                             std::optional<CommandCode> get, std::optional<CommandCode> set,
                             int read, int setButton, std::span<const SettingField> fields) {
    SettingRow row{id, name, shape, get, set, kPlain, fields[0].controlId, read, setButton};
    row.fields = fields;
    return row;
}

constexpr SettingField kSizRssiField[] = {{"", IDC_SIZ_RSSI, K::RssiList}};
constexpr SettingField kBleNamespaceField[] = {{"", IDC_BLE_NAMESPACE, K::Edit}};
constexpr SettingField kBleScanTimeField[] = {{"", IDC_BLE_SCAN_TIME, K::Number}};

using S = SettingId;

// In the order the settings are read all at once.
constexpr std::array kCatalogue = {
    flag(S::MasterFlag, "master-flag", kGetMasterFlag, IDC_MASTER_FLAG, IDC_MASTER_FLAG_READ,
         IDC_MASTER_FLAG_SET),
    indexedText(S::ButtonNumberGreen, "button-number-green", kGetButtonNumber, 0,
                IDC_BUTTON_NUMBER_1, IDC_BUTTON_NUMBER_1_READ, IDC_BUTTON_NUMBER_1_SET, true),
    indexedText(S::ButtonNumberRed, "button-number-red", kGetButtonNumber, 1, IDC_BUTTON_NUMBER_2,
                IDC_BUTTON_NUMBER_2_READ, IDC_BUTTON_NUMBER_2_SET, true),
    smallNumber(S::VoiceVolume, "voice-volume", kGetVolume, 0, IDC_VOICE_VOLUME,
                IDC_VOICE_VOLUME_READ, IDC_VOICE_VOLUME_SET),
    smallNumber(S::ToneVolume, "tone-volume", kGetVolume, 1, IDC_TONE_VOLUME, IDC_TONE_VOLUME_READ,
                IDC_TONE_VOLUME_SET),
    smallNumber(S::MicGain, "mic-gain", kGetMicGain, kPlain, IDC_MIC_GAIN, IDC_MIC_GAIN_READ,
                IDC_MIC_GAIN_SET),
    readOnlyText(S::Imei, "imei", kGetImei, IDC_IMEI, IDC_IMEI_READ),
    readOnlyText(S::Imsi, "imsi", kGetImsi, IDC_IMSI, IDC_IMSI_READ),
    readOnlyText(S::DeviceId, "device-id", kGetDeviceId, IDC_DEVICE_ID, IDC_DEVICE_ID_READ),
    flag(S::ServerAckFlag, "server-ack-flag", kGetServerAckFlag, IDC_SERVER_ACK_FLAG,
         IDC_SERVER_ACK_FLAG_READ, IDC_SERVER_ACK_FLAG_SET),
    number16(S::DataPeriod, "data-period", kGetDataPeriod, IDC_DATA_PERIOD, IDC_DATA_PERIOD_READ,
             IDC_DATA_PERIOD_SET, 7, 180, true),
    text(S::Apn, "apn", kGetApn, IDC_APN, IDC_APN_READ, IDC_APN_SET, 63),
    text(S::MqttBroker, "mqtt-broker", kGetMqttBroker, IDC_MQTT_BROKER, IDC_MQTT_BROKER_READ,
         IDC_MQTT_BROKER_SET, 63),
    text(S::MqttUserName, "mqtt-username", kGetMqttUsername, IDC_MQTT_USERNAME,
         IDC_MQTT_USERNAME_READ, IDC_MQTT_USERNAME_SET, 31),
    secret(text(S::MqttPassword, "mqtt-password", kGetMqttPassword, IDC_MQTT_PASSWORD,
                IDC_MQTT_PASSWORD_READ, IDC_MQTT_PASSWORD_SET, 31)),
    number16(S::MqttPort, "mqtt-port", kGetMqttPort, IDC_MQTT_PORT, IDC_MQTT_PORT_READ,
             IDC_MQTT_PORT_SET, 0, 65535, false),
    indexedText(S::MqttTopicSub, "mqtt-topic-sub", kGetMqttTopic, 0, IDC_MQTT_TOPIC_SUB,
                IDC_MQTT_TOPIC_SUB_READ, IDC_MQTT_TOPIC_SUB_SET, false),
    indexedText(S::MqttTopicPub, "mqtt-topic-pub", kGetMqttTopic, 1, IDC_MQTT_TOPIC_PUB,
                IDC_MQTT_TOPIC_PUB_READ, IDC_MQTT_TOPIC_PUB_SET, false),
    flag(S::LoraEnable, "lora-enable", kGetLoraEnable, IDC_LORA_ENABLE, IDC_LORA_ENABLE_READ,
         IDC_LORA_ENABLE_SET),
    key(S::LoraDevEui, "lora-dev-eui", kGetLoraDevEui, IDC_LORA_DEV_EUI, IDC_LORA_DEV_EUI_READ,
        IDC_LORA_DEV_EUI_SET, 16),
    key(S::LoraAppEui, "lora-app-eui", kGetLoraAppEui, IDC_LORA_APP_EUI, IDC_LORA_APP_EUI_READ,
        IDC_LORA_APP_EUI_SET, 16),
    secret(key(S::LoraAppKey, "lora-app-key", kGetLoraAppKey, IDC_LORA_APP_KEY,
               IDC_LORA_APP_KEY_READ, IDC_LORA_APP_KEY_SET, 32)),
    list(S::LoraBand, "lora-band", kGetLoraBand, IDC_LORA_BAND, IDC_LORA_BAND_READ,
         IDC_LORA_BAND_SET, kLoraBandEntries),
    flag(S::WifiEnable, "wifi-enable", kGetWifiEnable, IDC_WIFI_ENABLE, IDC_WIFI_ENABLE_READ,
         IDC_WIFI_ENABLE_SET),
    text(S::WifiSsid, "wifi-ssid", kGetWifiSsid, IDC_WIFI_SSID, IDC_WIFI_SSID_READ,
         IDC_WIFI_SSID_SET, 63),
    secret(text(S::WifiPassword, "wifi-password", kGetWifiPassword, IDC_WIFI_PASSWORD,
                IDC_WIFI_PASSWORD_READ, IDC_WIFI_PASSWORD_SET, 63)),
    flag(S::XnbEnable, "xnb-enable", kGetXnbEnable, IDC_XNB_ENABLE, IDC_XNB_ENABLE_READ,
         IDC_XNB_ENABLE_SET),
    readOnlyText(S::XnbId, "xnb-id", kGetXnbId, IDC_XNB_ID, IDC_XNB_ID_READ),
    siz(S::SizAddress1, "siz-1", 0),
    siz(S::SizAddress2, "siz-2", 1),
    siz(S::SizAddress3, "siz-3", 2),
    siz(S::SizAddress4, "siz-4", 3),
    siz(S::SizAddress5, "siz-5", 4),
    siz(S::SizAddress6, "siz-6", 5),
    siz(S::SizAddress7, "siz-7", 6),
    siz(S::SizAddress8, "siz-8", 7),
    special(S::SizRssi, "siz-rssi", Shape::SizRssi, kGetSizRssi, kSetSizRssi, IDC_SIZ_RSSI_READ,
            IDC_SIZ_RSSI_SET, kSizRssiField),
    special(S::Bracelet, "bracelet", Shape::Bracelet, kGetBracelet, kSetBracelet, IDC_BRACELET_READ,
            IDC_BRACELET_SET, kBraceletFields),
    [] {
        SettingRow row = special(S::BleNamespace, "ble-namespace", Shape::FixedText,
                                 kGetBleNamespace, kSetBleNamespace, IDC_BLE_NAMESPACE_READ,
                                 IDC_BLE_NAMESPACE_SET, kBleNamespaceField);
        row.maxChars = 23;
        row.keyLength = 20;
        return row;
    }(),
    [] {
        SettingRow row = special(S::BleScanTime, "ble-scan-time", Shape::ScanTime, kGetBleScanTime,
                                 kSetBleScanTime, IDC_BLE_SCAN_TIME_READ, IDC_BLE_SCAN_TIME_SET,
                                 kBleScanTimeField);
        row.maxChars = 7;
        row.maxValue = 8;
        return row;
    }(),
    special(S::Immobility, "immobility", Shape::Immobility, kGetImmobility, kSetImmobility,
            IDC_IMMOBILITY_READ, IDC_IMMOBILITY_SET, kImmobilityFields),
    special(S::AuxSensors, "aux-sensors", Shape::AuxSensors, kGetAuxSensors, std::nullopt,
            IDC_AUX_SENSORS_READ, 0, kAuxSensorFields),
    special(S::GasAnalyzer, "gas-analyzer", Shape::GasAnalyzer, std::nullopt, kSetAuxSensor, 0,
            IDC_GAS_SET, kGasAnalyzerFields),
    special(S::Token, "token", Shape::Token, std::nullopt, kSetAuxSensor, 0, IDC_TOKEN_SET,
            kTokenFields),
    flag(S::GnssAlwaysOn, "gnss-always-on", kGetGnssAlwaysOn, IDC_GNSS_ALWAYS_ON,
         IDC_GNSS_ALWAYS_ON_READ, IDC_GNSS_ALWAYS_ON_SET),
    special(S::LogFlags, "log-flags", Shape::LogFlags, kGetLogFlags, kSetLogFlags,
            IDC_LOG_FLAGS_READ, IDC_LOG_FLAGS_SET, kLogFlagFields),
};

constexpr bool rowsFollowTheirIds() {
    for (std::size_t i = 0; i < kCatalogue.size(); ++i) {
        if (static_cast<std::size_t>(kCatalogue[i].id) != i) {
            return false;
        }
    }
    return kCatalogue.size() == static_cast<std::size_t>(SettingId::Count);
}
static_assert(rowsFollowTheirIds(), "one row per SettingId, in SettingId order");

constexpr FieldKind simpleFieldKind(Shape shape) {
    switch (shape) {
    case Shape::Flag:
        return FieldKind::Check;
    case Shape::ListChoice:
        return FieldKind::List;
    case Shape::SmallNumber:
    case Shape::Number16:
        return FieldKind::Number;
    default:
        return FieldKind::Edit;
    }
}

// The one field of each simple setting, derived from its row.
constexpr auto kSimpleFields = [] {
    std::array<SettingField, kCatalogue.size()> fields{};
    for (std::size_t i = 0; i < kCatalogue.size(); ++i) {
        const SettingRow& row = kCatalogue[i];
        fields[i] = {"", row.controlId, simpleFieldKind(row.shape), row.listEntries};
    }
    return fields;
}();

} // namespace

std::span<const SettingRow> settingCatalogue() {
    return kCatalogue;
}

const SettingRow& settingRow(SettingId id) {
    return kCatalogue[static_cast<std::size_t>(id)];
}

std::span<const SettingField> settingFields(const SettingRow& row) {
    if (!row.fields.empty()) {
        return row.fields;
    }
    return {&kSimpleFields[static_cast<std::size_t>(row.id)], 1};
}

bool carriesSecret(CommandCode code) {
    return std::any_of(kCatalogue.begin(), kCatalogue.end(), [code](const SettingRow& row) {
        return row.secret && (row.getCode == code || row.setCode == code);
    });
}

const SettingRow* findSettingByName(std::string_view name) {
    for (const SettingRow& row : kCatalogue) {
        if (name == row.name) {
            return &row;
        }
    }
    return nullptr;
}
