#pragma once

#include "settings/setting_context.h"

// Pages "Общее" and "Голос". An index other than 0 or 1 does nothing.
void getMasterFlag(SettingContext& context);
void setMasterFlag(SettingContext& context);
void getButtonNumber(SettingContext& context, int index);
void setButtonNumber(SettingContext& context, int index);
void getVolume(SettingContext& context, int index);
void setVolume(SettingContext& context, int index);
void getMicGain(SettingContext& context);
void setMicGain(SettingContext& context);
void getImei(SettingContext& context);
void getImsi(SettingContext& context);
