#include "profile/page_profile.h"

#include "controls/device_buttons.h"
#include "profile/printable_text.h"
#include "profile/profile.h"
#include "profile/read_back.h"

#include <vector>

namespace {

bool logResult(Controls& controls, bool ok, const std::string& error) {
    // Errors quote file text and paths: escaped, so that they stay on their line.
    controls.appendLog(ok ? std::string("success.\r\n")
                          : "error (" + printableText(error) + ").\r\n");
    return ok;
}

} // namespace

bool savePageProfile(Controls& controls, const ProfileSink& write) {
    controls.appendLog("Saving profile...   ");
    std::string text;
    std::string error;
    const bool ok = writeProfile(controls, text, error) && write(text, error);
    return logResult(controls, ok, error);
}

bool openPageProfile(Controls& controls, const ProfileSource& read) {
    controls.appendLog("Opening profile...   ");
    std::string text;
    std::string error;
    std::vector<ProfileEntry> entries;
    bool ok = read(text, error);
    if (ok && text.size() > kMaxPageProfileBytes) {
        ok = false;
        error = "larger than 1 MiB";
    }
    ok = ok && parseProfile(text, entries, error);
    if (ok) {
        applyProfile(controls, entries);
    }
    return logResult(controls, ok, error);
}

void verifyPageSettings(SettingContext& context) {
    Controls& controls = context.controls;
    std::vector<const SettingRow*> written;
    for (const SettingRow& row : settingCatalogue()) {
        if (row.setCode) {
            written.push_back(&row);
        }
    }
    disableDeviceButtons(controls);
    const ReadBackResult result = readBack(
        context.link, controls, written, [&](std::string_view text) { controls.appendLog(text); });
    for (const FieldMismatch& mismatch : result.mismatches) {
        controls.appendLog(printableText(mismatchText(mismatch)) + "\r\n");
    }
    if (const std::string unverifiable = notVerifiableText(result); !unverifiable.empty()) {
        controls.appendLog(unverifiable + "\r\n");
    }
    controls.appendLog(readBackSummary(result) + "\r\n");
    enableDeviceButtons(controls);
}
