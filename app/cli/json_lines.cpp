#include "app/cli/json_lines.h"

#include "profile/setting_values.h"

#include <cstdio>

void printJsonLine(const nlohmann::ordered_json& object) {
    const std::string line =
        object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
}

nlohmann::ordered_json settingJson(const Controls& controls, const SettingRow& row) {
    nlohmann::ordered_json object = {{"name", row.name}};
    const auto fields = settingFields(row);
    if (row.fields.empty() || fields[0].name[0] == '\0') {
        object["value"] = fieldValueText(controls, fields[0]);
        return object;
    }
    nlohmann::ordered_json values = nlohmann::ordered_json::object();
    for (const SettingField& field : fields) {
        values[field.name] = fieldValueText(controls, field);
    }
    object["fields"] = std::move(values);
    return object;
}
