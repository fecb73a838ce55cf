#pragma once

#include "settings/setting_context.h"

// Pages "Датчики(внутр.)" and "Датчики(внеш.)".
void getImmobility(SettingContext& context);
void setImmobility(SettingContext& context);
void getAuxSensors(SettingContext& context);
void setGasAnalyzer(SettingContext& context);
void setToken(SettingContext& context);
