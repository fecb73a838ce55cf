#pragma once

#include "settings/setting_context.h"

// Page "BLE". An index outside 0..7 writes only "error." and sends nothing.
void getSizAddress(SettingContext& context, int index);
void setSizAddress(SettingContext& context, int index);
void getSizRssi(SettingContext& context);
void setSizRssi(SettingContext& context);
void getBracelet(SettingContext& context);
void setBracelet(SettingContext& context);
void getBleNamespace(SettingContext& context);
void setBleNamespace(SettingContext& context);
void getBleScanTime(SettingContext& context);
void setBleScanTime(SettingContext& context);

// The rssi list: entry i (1..256) stands for 128 - i dBm; entry 0 is the blank.
inline constexpr int kRssiEntries = 257;
std::u16string rssiEntryText(int entry);
