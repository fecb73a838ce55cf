#pragma once

#include "link/command_code.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// The exchange shapes the simple settings share; one generic get and set per shape.
enum class Shape : std::uint8_t {
    Flag,        // check box, one byte
    Text,        // edit, 8-bit text to the end of the payload
    IndexedText, // edit, text after [index][status]; at most 30 characters sent
    SmallNumber, // edit, one byte 0..5, plain or indexed
    Number16,    // edit, two bytes big-endian
    KeyText,     // edit, exactly keyLength hex characters sent as text; read as a Text
    ListChoice,  // drop-down list, wire value = entry index - 1
};

enum class SettingId : std::uint8_t {
    MasterFlag,
    ButtonNumberGreen,
    ButtonNumberRed,
    VoiceVolume,
    ToneVolume,
    MicGain,
    Imei,
    Imsi,
    DeviceId,
    ServerAckFlag,
    DataPeriod,
    Apn,
    MqttBroker,
    MqttUserName,
    MqttPassword,
    MqttPort,
    MqttTopicSub,
    MqttTopicPub,
    LoraEnable,
    LoraDevEui,
    LoraAppEui,
    LoraAppKey,
    LoraBand,
    WifiEnable,
    WifiSsid,
    WifiPassword,
    XnbEnable,
    XnbId,
    Count,
};

inline constexpr int kPlain = -1;

// One row per setting. Its progress lines are the command index's action texts of its codes
// (use = index, or 0 for a plain setting).
struct SettingRow {
    SettingId id;
    const char* name; // command-line name
    Shape shape;
    CommandCode getCode;
    std::optional<CommandCode> setCode; // none: read only
    int index;                          // kPlain, or the member of an indexed pair
    int controlId;
    int readButton;
    int setButton;              // 0: none
    std::uint8_t maxChars = 0;  // M: most characters a set reads from the field
    std::uint8_t keyLength = 0; // N of a KeyText
    std::uint32_t minValue = 0;
    std::uint32_t maxValue = 0;
    bool getChecksRange = false;  // a Number16 get refuses values outside the range
    bool setReplyAtLeast = false; // an indexed set takes replies of 2 bytes or more
    std::span<const char16_t* const> listEntries = {};
};

std::span<const SettingRow> settingCatalogue();
const SettingRow& settingRow(SettingId id);
const SettingRow* findSettingByName(std::string_view name);
