#include "link/command_index.h"

#include <cstring>

namespace {

using namespace command;

constexpr std::uint32_t k600 = kDefaultTimeoutMs;

// clang-format off
constexpr CommandEntry kIndex[] = {
    {kConnect, "connect", {"Connecting...   "}, k600, 60000},
    {kDisconnect, "disconnect", {"Disconnecting...   "}, k600, 0},
    {kVersion, "get-version", {"Get SW version...   ", "Get GSM version...   ", "Get LBLE version...   ",
                               "Get GNSS version...   ", "Get WiFi version...   ", "Get XNB version...   "}, 1000, 0},
    {kLedTest, "led-test", {"Toggle green led...   ", "Toggle red led...   "}, k600, 0},
    {kVoiceTest, "voice-test", {"Switching on voice...   "}, k600, 0},
    {kVibroTest, "vibro-test", {"Switching on vibro...   "}, k600, 0},
    {kSetLogFlags, "set-log-flags", {"Setting log flags...   "}, k600, 0},
    {kGetLogFlags, "get-log-flags", {"Getting log flags...   "}, k600, 0},
    {kSetMasterFlag, "set-master-flag", {"Setting Master flag...   "}, k600, 0},
    {kGetMasterFlag, "get-master-flag", {"Getting Master flag...   "}, k600, 0},
    {kSetButtonNumber, "set-button-number", {"Setting green button number...   ", "Setting red button number...   "}, k600, 0},
    {kGetButtonNumber, "get-button-number", {"Getting green button number...   ", "Getting red button number...   "}, k600, 0},
    {kSetVolume, "set-volume", {"Setting voice volume...   ", "Setting tone volume...   "}, k600, 0},
    {kGetVolume, "get-volume", {"Getting voice volume...   ", "Getting tone volume...   "}, k600, 0},
    {kSetMicGain, "set-mic-gain", {"Setting mic gain...   "}, k600, 0},
    {kGetMicGain, "get-mic-gain", {"Getting mic gain...   "}, k600, 0},
    {kGetDeviceId, "get-device-id", {"Getting device ID...   "}, k600, 0},
    {kSetServerAckFlag, "set-server-ack-flag", {"Setting server ack flag...   "}, k600, 0},
    {kGetServerAckFlag, "get-server-ack-flag", {"Getting server ack flag...   "}, k600, 0},
    {kSetDataPeriod, "set-data-period", {"Setting data period...   "}, k600, 0},
    {kGetDataPeriod, "get-data-period", {"Getting data period...   "}, k600, 0},
    {kSetMqttBroker, "set-mqtt-broker", {"Setting MQTT BROKER...   "}, k600, 0},
    {kGetMqttBroker, "get-mqtt-broker", {"Getting MQTT BROKER...   "}, k600, 0},
    {kSetMqttUsername, "set-mqtt-username", {"Setting MQTT USERNAME...   "}, k600, 0},
    {kGetMqttUsername, "get-mqtt-username", {"Getting MQTT USERNAME...   "}, k600, 0},
    {kSetMqttPassword, "set-mqtt-password", {"Setting MQTT PASSWORD...   "}, k600, 0},
    {kGetMqttPassword, "get-mqtt-password", {"Getting MQTT PASSWORD...   "}, k600, 0},
    {kSetMqttPort, "set-mqtt-port", {"Setting MQTT PORT...   "}, k600, 0},
    {kGetMqttPort, "get-mqtt-port", {"Getting MQTT PORT...   "}, k600, 0},
    {kSetMqttTopic, "set-mqtt-topic", {"Setting MQTT TOPIC_SUB...   ", "Setting MQTT TOPIC_PUB...   "}, k600, 0},
    {kGetMqttTopic, "get-mqtt-topic", {"Getting MQTT TOPIC_SUB...   ", "Getting MQTT TOPIC_PUB...   "}, k600, 0},
    {kGetImei, "get-imei", {"Getting IMEI...   "}, k600, 0},
    {kGetImsi, "get-imsi", {"Getting IMSI...   "}, k600, 0},
    {kSetApn, "set-apn", {"Setting APN...   "}, k600, 0},
    {kGetApn, "get-apn", {"Getting APN...   "}, k600, 0},
    {kSetLoraEnable, "set-lora-enable", {"Setting LoRa enable flag...   "}, k600, 0},
    {kGetLoraEnable, "get-lora-enable", {"Getting LoRa enable flag...   "}, k600, 0},
    {kSetLoraDevEui, "set-lora-dev-eui", {"Setting LoRa DEV_EUI...   "}, k600, 0},
    {kGetLoraDevEui, "get-lora-dev-eui", {"Getting LoRa DEV_EUI...   "}, k600, 0},
    {kSetLoraAppEui, "set-lora-app-eui", {"Setting LoRa APP_EUI...   "}, k600, 0},
    {kGetLoraAppEui, "get-lora-app-eui", {"Getting LoRa APP_EUI...   "}, k600, 0},
    {kSetLoraAppKey, "set-lora-app-key", {"Setting LoRa APP_KEY...   "}, k600, 0},
    {kGetLoraAppKey, "get-lora-app-key", {"Getting LoRa APP_KEY...   "}, k600, 0},
    {kSetLoraBand, "set-lora-band", {"Setting LoRa band...   "}, k600, 0},
    {kGetLoraBand, "get-lora-band", {"Getting LoRa band...   "}, k600, 0},
    {kSetXnbEnable, "set-xnb-enable", {"Setting XNB enable flag...   "}, k600, 0},
    {kGetXnbEnable, "get-xnb-enable", {"Getting XNB enable flag...   "}, k600, 0},
    {kGetXnbId, "get-xnb-id", {"Getting XNB ID...   "}, k600, 0},
    {kSetWifiEnable, "set-wifi-enable", {"Setting WiFi enable flag...   "}, k600, 0},
    {kGetWifiEnable, "get-wifi-enable", {"Getting WiFi enable flag...   "}, k600, 0},
    {kSetWifiSsid, "set-wifi-ssid", {"Setting WiFi ssid...   "}, k600, 0},
    {kGetWifiSsid, "get-wifi-ssid", {"Getting WiFi ssid...   "}, k600, 0},
    {kSetWifiPassword, "set-wifi-password", {"Setting WiFi pwd...   "}, k600, 0},
    {kGetWifiPassword, "get-wifi-password", {"Getting WiFi pwd...   "}, k600, 0},
    {kSetSizAddress, "set-siz-address", {"Setting SIZ_1...   ", "Setting SIZ_2...   ", "Setting SIZ_3...   ", "Setting SIZ_4...   ",
                                         "Setting SIZ_5...   ", "Setting SIZ_6...   ", "Setting SIZ_7...   ", "Setting SIZ_8...   "}, k600, 0},
    {kGetSizAddress, "get-siz-address", {"Getting SIZ_1...   ", "Getting SIZ_2...   ", "Getting SIZ_3...   ", "Getting SIZ_4...   ",
                                         "Getting SIZ_5...   ", "Getting SIZ_6...   ", "Getting SIZ_7...   ", "Getting SIZ_8...   "}, k600, 0},
    {kSetSizRssi, "set-siz-rssi", {"Setting SIZ rssi...   "}, k600, 0},
    {kGetSizRssi, "get-siz-rssi", {"Getting SIZ rssi...   "}, k600, 0},
    {kSetBracelet, "set-bracelet", {"Setting bracelet...   "}, 1000, 0},
    {kGetBracelet, "get-bracelet", {"Getting bracelet...   "}, 1000, 0},
    {kSetBleNamespace, "set-ble-namespace", {"Setting BLE namespace...   "}, k600, 0},
    {kGetBleNamespace, "get-ble-namespace", {"Getting BLE namespace...   "}, k600, 0},
    {kSetBleScanTime, "set-ble-scan-time", {"Setting BLE scan time...   "}, k600, 0},
    {kGetBleScanTime, "get-ble-scan-time", {"Getting BLE period...   "}, k600, 0},
    {kSetAuxSensor, "set-aux-sensor", {"Setting gas analyzer data...   ", "Setting token data...   "}, 2000, 0},
    {kGetAuxSensors, "get-aux-sensors", {"Getting ble aux data...   "}, 1000, 10000},
    {kSetImmobility, "set-immobility", {"Setting immobility settings...   "}, k600, 0},
    {kGetImmobility, "get-immobility", {"Getting immobility settings...   "}, k600, 0},
    {kSetGnssAlwaysOn, "set-gnss-always-on", {"Setting GNSS always flag...   "}, k600, 0},
    {kGetGnssAlwaysOn, "get-gnss-always-on", {"Getting GNSS always flag...   "}, k600, 0},
};
// clang-format on

} // namespace

std::span<const CommandEntry> commandIndex() {
    return kIndex;
}

const CommandEntry* findCommand(CommandCode code) {
    for (const CommandEntry& entry : kIndex) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;
}

const CommandEntry* findCommandByName(const char* name) {
    for (const CommandEntry& entry : kIndex) {
        if (std::strcmp(entry.name, name) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

const char* actionText(CommandCode code, std::size_t use) {
    const CommandEntry* entry = findCommand(code);
    if (entry == nullptr || use >= kMaxActionTexts) {
        return nullptr;
    }
    return entry->actionTexts[use];
}
