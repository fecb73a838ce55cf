#include "settings/general_voice.h"

#include "settings/setting_shapes.h"

using S = SettingId;

void getMasterFlag(SettingContext& context) {
    getSetting(context, S::MasterFlag);
}
void setMasterFlag(SettingContext& context) {
    setSetting(context, S::MasterFlag);
}

void getButtonNumber(SettingContext& context, int index) {
    getPairMember(context, index, S::ButtonNumberGreen, S::ButtonNumberRed);
}
void setButtonNumber(SettingContext& context, int index) {
    setPairMember(context, index, S::ButtonNumberGreen, S::ButtonNumberRed);
}

void getVolume(SettingContext& context, int index) {
    getPairMember(context, index, S::VoiceVolume, S::ToneVolume);
}
void setVolume(SettingContext& context, int index) {
    setPairMember(context, index, S::VoiceVolume, S::ToneVolume);
}

void getMicGain(SettingContext& context) {
    getSetting(context, S::MicGain);
}
void setMicGain(SettingContext& context) {
    setSetting(context, S::MicGain);
}
void getImei(SettingContext& context) {
    getSetting(context, S::Imei);
}
void getImsi(SettingContext& context) {
    getSetting(context, S::Imsi);
}
