#pragma once

#include "settings/setting_catalogue.h"
#include "settings/setting_context.h"

// The settings with a layout of their own (BLE tags, sensors, log flags). getSetting and
// setSetting hand their rows here.
bool isSpecialShape(Shape shape);
bool getSpecialSetting(SettingContext& context, const SettingRow& row);
bool setSpecialSetting(SettingContext& context, const SettingRow& row);

// Per unit; each handles the shapes of its page.
bool getBleTagSetting(SettingContext& context, const SettingRow& row);
bool setBleTagSetting(SettingContext& context, const SettingRow& row);
bool getSensorSetting(SettingContext& context, const SettingRow& row);
bool setSensorSetting(SettingContext& context, const SettingRow& row);
bool getLogFlagWord(SettingContext& context, const SettingRow& row);
bool setLogFlagWord(SettingContext& context, const SettingRow& row);
