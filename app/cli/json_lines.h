#pragma once

#include "controls/controls.h"
#include "settings/setting_catalogue.h"

#include <nlohmann/json.hpp>

// --json: results as JSON Lines on stdout, one object per line, its keys in the order given;
// the log stays on stderr. Every value is a string as the profile writes it, so that
// "lora-band" reads "EU863-870" and a number keeps its form.

// Writes `object` and a line break to stdout. Bytes that are not UTF-8 become U+FFFD rather
// than ending the run.
void printJsonLine(const nlohmann::ordered_json& object);

// {"name":"mqtt-port","value":"1883"}; a setting of several controls as
// {"name":"bracelet","fields":{"address":"...","type":"...","period":"30"}}.
nlohmann::ordered_json settingJson(const Controls& controls, const SettingRow& row);
