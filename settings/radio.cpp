#include "settings/radio.h"

#include "settings/setting_shapes.h"

using S = SettingId;

void getLoraEnable(SettingContext& context) {
    getSetting(context, S::LoraEnable);
}
void setLoraEnable(SettingContext& context) {
    setSetting(context, S::LoraEnable);
}
void getLoraDevEui(SettingContext& context) {
    getSetting(context, S::LoraDevEui);
}
void setLoraDevEui(SettingContext& context) {
    setSetting(context, S::LoraDevEui);
}
void getLoraAppEui(SettingContext& context) {
    getSetting(context, S::LoraAppEui);
}
void setLoraAppEui(SettingContext& context) {
    setSetting(context, S::LoraAppEui);
}
void getLoraAppKey(SettingContext& context) {
    getSetting(context, S::LoraAppKey);
}
void setLoraAppKey(SettingContext& context) {
    setSetting(context, S::LoraAppKey);
}
void getLoraBand(SettingContext& context) {
    getSetting(context, S::LoraBand);
}
void setLoraBand(SettingContext& context) {
    setSetting(context, S::LoraBand);
}
void getWifiEnable(SettingContext& context) {
    getSetting(context, S::WifiEnable);
}
void setWifiEnable(SettingContext& context) {
    setSetting(context, S::WifiEnable);
}
void getWifiSsid(SettingContext& context) {
    getSetting(context, S::WifiSsid);
}
void setWifiSsid(SettingContext& context) {
    setSetting(context, S::WifiSsid);
}
void getWifiPassword(SettingContext& context) {
    getSetting(context, S::WifiPassword);
}
void setWifiPassword(SettingContext& context) {
    setSetting(context, S::WifiPassword);
}
void getXnbEnable(SettingContext& context) {
    getSetting(context, S::XnbEnable);
}
void setXnbEnable(SettingContext& context) {
    setSetting(context, S::XnbEnable);
}
void getXnbId(SettingContext& context) {
    getSetting(context, S::XnbId);
}
