#pragma once

#include "link/command_code.h"

#include <array>
#include <cstdint>
#include <span>

namespace command {
inline constexpr CommandCode kConnect = 0x0000;
inline constexpr CommandCode kDisconnect = 0x0001;
inline constexpr CommandCode kVersion = 0x0002;
inline constexpr CommandCode kLedTest = 0x0003;
inline constexpr CommandCode kVoiceTest = 0x0004;
inline constexpr CommandCode kVibroTest = 0x0005;
inline constexpr CommandCode kSetLogFlags = 0x0006;
inline constexpr CommandCode kGetLogFlags = 0x0007;
inline constexpr CommandCode kSetMasterFlag = 0x0008;
inline constexpr CommandCode kGetMasterFlag = 0x0009;
inline constexpr CommandCode kSetButtonNumber = 0x0100;
inline constexpr CommandCode kGetButtonNumber = 0x0101;
inline constexpr CommandCode kSetVolume = 0x0102;
inline constexpr CommandCode kGetVolume = 0x0103;
inline constexpr CommandCode kSetMicGain = 0x0104;
inline constexpr CommandCode kGetMicGain = 0x0105;
inline constexpr CommandCode kGetDeviceId = 0x0200;
inline constexpr CommandCode kSetServerAckFlag = 0x0203;
inline constexpr CommandCode kGetServerAckFlag = 0x0204;
inline constexpr CommandCode kSetDataPeriod = 0x0205;
inline constexpr CommandCode kGetDataPeriod = 0x0206;
inline constexpr CommandCode kSetMqttBroker = 0x0209;
inline constexpr CommandCode kGetMqttBroker = 0x020A;
inline constexpr CommandCode kSetMqttUsername = 0x020B;
inline constexpr CommandCode kGetMqttUsername = 0x020C;
inline constexpr CommandCode kSetMqttPassword = 0x020D;
inline constexpr CommandCode kGetMqttPassword = 0x020E;
inline constexpr CommandCode kSetMqttPort = 0x020F;
inline constexpr CommandCode kGetMqttPort = 0x0210;
inline constexpr CommandCode kSetMqttTopic = 0x0211;
inline constexpr CommandCode kGetMqttTopic = 0x0212;
inline constexpr CommandCode kGetImei = 0x0300;
inline constexpr CommandCode kGetImsi = 0x0301;
inline constexpr CommandCode kSetApn = 0x0302;
inline constexpr CommandCode kGetApn = 0x0303;
inline constexpr CommandCode kSetLoraEnable = 0x0500;
inline constexpr CommandCode kGetLoraEnable = 0x0501;
inline constexpr CommandCode kSetLoraDevEui = 0x0502;
inline constexpr CommandCode kGetLoraDevEui = 0x0503;
inline constexpr CommandCode kSetLoraAppEui = 0x0504;
inline constexpr CommandCode kGetLoraAppEui = 0x0505;
inline constexpr CommandCode kSetLoraAppKey = 0x0506;
inline constexpr CommandCode kGetLoraAppKey = 0x0507;
inline constexpr CommandCode kSetLoraBand = 0x0508;
inline constexpr CommandCode kGetLoraBand = 0x0509;
inline constexpr CommandCode kSetXnbEnable = 0x0600;
inline constexpr CommandCode kGetXnbEnable = 0x0601;
inline constexpr CommandCode kGetXnbId = 0x0603;
inline constexpr CommandCode kSetWifiEnable = 0x0700;
inline constexpr CommandCode kGetWifiEnable = 0x0701;
inline constexpr CommandCode kSetWifiSsid = 0x0702;
inline constexpr CommandCode kGetWifiSsid = 0x0703;
inline constexpr CommandCode kSetWifiPassword = 0x0704;
inline constexpr CommandCode kGetWifiPassword = 0x0705;
inline constexpr CommandCode kSetSizAddress = 0x0800;
inline constexpr CommandCode kGetSizAddress = 0x0801;
inline constexpr CommandCode kSetSizRssi = 0x0802;
inline constexpr CommandCode kGetSizRssi = 0x0803;
inline constexpr CommandCode kSetBracelet = 0x0804;
inline constexpr CommandCode kGetBracelet = 0x0805;
inline constexpr CommandCode kSetBleNamespace = 0x0806;
inline constexpr CommandCode kGetBleNamespace = 0x0807;
inline constexpr CommandCode kSetBleScanTime = 0x0808;
inline constexpr CommandCode kGetBleScanTime = 0x0809;
inline constexpr CommandCode kSetAuxSensor = 0x0A00;
inline constexpr CommandCode kGetAuxSensors = 0x0A01;
inline constexpr CommandCode kSetImmobility = 0x0A02;
inline constexpr CommandCode kGetImmobility = 0x0A03;
inline constexpr CommandCode kSetGnssAlwaysOn = 0x0C00;
inline constexpr CommandCode kGetGnssAlwaysOn = 0x0C01;
} // namespace command

// Per-byte time-outs that differ from a row's own.
inline constexpr std::uint32_t kConnectAfterOpenTimeoutMs = 10000;
inline constexpr std::uint32_t kDefaultTimeoutMs = 600;

inline constexpr std::size_t kMaxActionTexts = 8;

// One row per command code: the texts its log lines start with and its per-byte time-outs.
// A code used for several settings (an index, or two controls) has one text per use.
struct CommandEntry {
    CommandCode code;
    const char* name; // stable identifier for scripts and the simulator
    std::array<const char*, kMaxActionTexts> actionTexts;
    std::uint32_t timeoutMs;
    std::uint32_t furtherReplyTimeoutMs; // 0 when the command draws one reply
};

std::span<const CommandEntry> commandIndex();

// nullptr for a code that is not in the index; such codes are never sent.
const CommandEntry* findCommand(CommandCode code);
const CommandEntry* findCommandByName(const char* name);

// The action text of the `use`-th use of a code ("Getting SIZ_3...   " is use 2 of 0x0801).
const char* actionText(CommandCode code, std::size_t use = 0);
