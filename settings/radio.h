#pragma once

#include "settings/setting_context.h"

// Pages "LoRa", "WiFi" and "XNB".
void getLoraEnable(SettingContext& context);
void setLoraEnable(SettingContext& context);
void getLoraDevEui(SettingContext& context);
void setLoraDevEui(SettingContext& context);
void getLoraAppEui(SettingContext& context);
void setLoraAppEui(SettingContext& context);
void getLoraAppKey(SettingContext& context);
void setLoraAppKey(SettingContext& context);
void getLoraBand(SettingContext& context);
void setLoraBand(SettingContext& context);
void getWifiEnable(SettingContext& context);
void setWifiEnable(SettingContext& context);
void getWifiSsid(SettingContext& context);
void setWifiSsid(SettingContext& context);
void getWifiPassword(SettingContext& context);
void setWifiPassword(SettingContext& context);
void getXnbEnable(SettingContext& context);
void setXnbEnable(SettingContext& context);
void getXnbId(SettingContext& context);
