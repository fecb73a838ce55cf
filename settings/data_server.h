#pragma once

#include "settings/setting_context.h"

// Page "Данные". An index other than 0 or 1 does nothing.
void getDeviceId(SettingContext& context);
void getServerAckFlag(SettingContext& context);
void setServerAckFlag(SettingContext& context);
void getDataPeriod(SettingContext& context);
void setDataPeriod(SettingContext& context);
void getApn(SettingContext& context);
void setApn(SettingContext& context);
void getMqttBroker(SettingContext& context);
void setMqttBroker(SettingContext& context);
void getMqttUserName(SettingContext& context);
void setMqttUserName(SettingContext& context);
void getMqttPassword(SettingContext& context);
void setMqttPassword(SettingContext& context);
void getMqttPort(SettingContext& context);
void setMqttPort(SettingContext& context);
void getMqttTopic(SettingContext& context, int index);
void setMqttTopic(SettingContext& context, int index);
