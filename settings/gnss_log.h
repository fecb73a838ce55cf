#pragma once

#include "settings/setting_context.h"

// Page "GNSS" and the log flags of page "Сервис".
void getGnssAlwaysOn(SettingContext& context);
void setGnssAlwaysOn(SettingContext& context);
void getLogFlags(SettingContext& context);
void setLogFlags(SettingContext& context);
