#include "profile/read_back.h"

#include "controls/memory_controls.h"
#include "profile/printable_text.h"
#include "profile/profile_diff.h"
#include "profile/setting_values.h"
#include "settings/setting_shapes.h"
#include "ui/page_setup.h"

namespace {

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

std::string counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

ReadBackResult readBack(DeviceLink& link, const Controls& expected,
                        std::span<const SettingRow* const> written,
                        const std::function<void(std::string_view)>& log, bool (*stop)()) {
    // Controls and a sensor cache of its own: what the device says must not overwrite what
    // was meant, which is what it is compared with.
    MemoryControls device(expected.codePage());
    setUpPageControls(device);
    device.setLogSink(log);
    AuxSensorCache auxSensors;
    SettingContext context{link, device, auxSensors};

    ReadBackResult result;
    for (const SettingRow* row : written) {
        if (!row->getCode) {
            result.writeOnly.emplace_back(row->name);
            continue;
        }
        if (!row->setCode) {
            result.readOnly.emplace_back(row->name);
            continue;
        }
        if ((stop != nullptr && stop()) || !getSetting(context, *row)) {
            result.readsSucceeded = false;
            result.notRead.emplace_back(row->name);
            continue;
        }
        ++result.settingsRead;
        for (const SettingField& field : settingFields(*row)) {
            std::string meant = comparableText(expected, field);
            std::string found = comparableText(device, field);
            if (meant != found) {
                result.mismatches.push_back(
                    {fieldKey(*row, field), std::move(meant), std::move(found), row->secret});
            }
        }
    }
    return result;
}

std::string mismatchText(const FieldMismatch& mismatch) {
    if (mismatch.secret) {
        return mismatch.key + ": differs (secret)";
    }
    // Device text may hold a line break or an escape sequence: it must not pass for a line.
    return mismatch.key + ": wrote " + printableText(mismatch.written) + ", the device has " +
           printableText(mismatch.device);
}

std::string notVerifiableText(const ReadBackResult& result) {
    if (result.writeOnly.empty() && result.readOnly.empty()) {
        return "";
    }
    std::string text = "not verifiable: ";
    if (!result.writeOnly.empty()) {
        text += joined(result.writeOnly) + " (write only)";
    }
    if (!result.readOnly.empty()) {
        text += (result.writeOnly.empty() ? "" : "; ") + joined(result.readOnly) + " (read only)";
    }
    return text;
}

std::string readBackSummary(const ReadBackResult& result) {
    std::string text = counted(result.settingsRead, "setting", "settings") + " read back, " +
                       (result.mismatches.empty()
                            ? std::string("all equal")
                            : counted(result.mismatches.size(), "field differs", "fields differ"));
    if (!result.readsSucceeded) {
        text += "; not every read succeeded";
    }
    return text;
}
