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
    // Settings with a layout of their own; each has its own get and set.
    SizAddress,  // indexed BLE tag address
    SizRssi,     // rssi list, signed byte
    Bracelet,    // address, type list, period
    FixedText,   // exactly keyLength characters both ways (BLE namespace)
    ScanTime,    // one byte with a range, refused both ways
    Immobility,  // enable, three times, horizontal
    AuxSensors,  // several reply frames into the sensor cache
    GasAnalyzer, // one aux sensor record
    Token,       // one aux sensor record
    LogFlags,    // 25 check boxes in one 32-bit word
};

// Number is an edit that holds a decimal number; RssiList the list of signed dBm values.
enum class FieldKind : std::uint8_t { Check, Edit, Number, List, RssiList };

inline bool isEditField(FieldKind kind) {
    return kind == FieldKind::Edit || kind == FieldKind::Number;
}

// One control of a setting, as the command line and the profiles name it.
struct SettingField {
    const char* name; // empty for the one field of a simple setting
    int controlId;
    FieldKind kind;
    std::span<const char16_t* const> listEntries = {};
    int bit = -1; // log flags: the bit of the word behind the check box
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
    SizAddress1,
    SizAddress2,
    SizAddress3,
    SizAddress4,
    SizAddress5,
    SizAddress6,
    SizAddress7,
    SizAddress8,
    SizRssi,
    Bracelet,
    BleNamespace,
    BleScanTime,
    Immobility,
    AuxSensors,
    GasAnalyzer,
    Token,
    GnssAlwaysOn,
    LogFlags,
    Count,
};

inline constexpr int kPlain = -1;

// One row per setting, in the order the settings are read and written all at once. Its
// progress lines are the command index's action texts of its codes (use = index, or 0 for a
// plain setting).
struct SettingRow {
    SettingId id;
    const char* name; // command-line name
    Shape shape;
    std::optional<CommandCode> getCode; // none: write only
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
    std::span<const SettingField> fields = {}; // settings of several controls
    // A password or key: its value stays in the device and the profile, never in a log,
    // progress line, audit or trace.
    bool secret = false;
};

std::span<const SettingRow> settingCatalogue();
// The controls of a setting: its `fields`, or the one control of a simple setting.
std::span<const SettingField> settingFields(const SettingRow& row);
const SettingRow& settingRow(SettingId id);
const SettingRow* findSettingByName(std::string_view name);
// Whether a frame of `code` (either direction) carries a secret setting's value.
bool carriesSecret(CommandCode code);
