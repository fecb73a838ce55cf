#include "settings/setting_catalogue.h"

#include "link/command_index.h"
#include "resources/control_ids.h"

#include <array>

namespace {

using namespace command;

constexpr const char16_t* kLoraBandEntries[] = {u" ", u"EU863-870", u"RU864-870"};

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

constexpr SettingRow list(SettingId id, const char* name, CommandCode get, int control, int read,
                          int set, std::span<const char16_t* const> entries) {
    SettingRow row{
        id,   name, Shape::ListChoice, get, static_cast<CommandCode>(get - 1), kPlain, control,
        read, set};
    row.maxValue = static_cast<std::uint32_t>(entries.size() - 2);
    row.listEntries = entries;
    return row;
}

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
    text(S::MqttPassword, "mqtt-password", kGetMqttPassword, IDC_MQTT_PASSWORD,
         IDC_MQTT_PASSWORD_READ, IDC_MQTT_PASSWORD_SET, 31),
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
    key(S::LoraAppKey, "lora-app-key", kGetLoraAppKey, IDC_LORA_APP_KEY, IDC_LORA_APP_KEY_READ,
        IDC_LORA_APP_KEY_SET, 32),
    list(S::LoraBand, "lora-band", kGetLoraBand, IDC_LORA_BAND, IDC_LORA_BAND_READ,
         IDC_LORA_BAND_SET, kLoraBandEntries),
    flag(S::WifiEnable, "wifi-enable", kGetWifiEnable, IDC_WIFI_ENABLE, IDC_WIFI_ENABLE_READ,
         IDC_WIFI_ENABLE_SET),
    text(S::WifiSsid, "wifi-ssid", kGetWifiSsid, IDC_WIFI_SSID, IDC_WIFI_SSID_READ,
         IDC_WIFI_SSID_SET, 63),
    text(S::WifiPassword, "wifi-password", kGetWifiPassword, IDC_WIFI_PASSWORD,
         IDC_WIFI_PASSWORD_READ, IDC_WIFI_PASSWORD_SET, 63),
    flag(S::XnbEnable, "xnb-enable", kGetXnbEnable, IDC_XNB_ENABLE, IDC_XNB_ENABLE_READ,
         IDC_XNB_ENABLE_SET),
    readOnlyText(S::XnbId, "xnb-id", kGetXnbId, IDC_XNB_ID, IDC_XNB_ID_READ),
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

} // namespace

std::span<const SettingRow> settingCatalogue() {
    return kCatalogue;
}

const SettingRow& settingRow(SettingId id) {
    return kCatalogue[static_cast<std::size_t>(id)];
}

const SettingRow* findSettingByName(std::string_view name) {
    for (const SettingRow& row : kCatalogue) {
        if (name == row.name) {
            return &row;
        }
    }
    return nullptr;
}
