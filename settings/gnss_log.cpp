#include "settings/gnss_log.h"

#include "link/command_index.h"
#include "settings/exchange.h"
#include "settings/result_text.h"
#include "settings/setting_shapes.h"
#include "settings/special_shapes.h"

namespace {

constexpr std::uint8_t kLogFlagReplyLength = 5; // [status][word, most significant byte first]

} // namespace

// A failed read leaves the check boxes as they were: they are only touched on success.
bool getLogFlagWord(SettingContext& context, const SettingRow& row) {
    context.controls.appendLog(actionText(*row.getCode));
    Reply reply;
    if (!exchange(context, *row.getCode, {}, reply)) {
        return finish(context, result::kCmdSendingError);
    }
    if (const char* problem = fixedGetProblem(reply, kLogFlagReplyLength)) {
        return finish(context, problem);
    }
    const std::uint8_t* word = reply.payload + 1;
    const std::uint32_t flags = std::uint32_t{word[0]} << 24 | std::uint32_t{word[1]} << 16 |
                                std::uint32_t{word[2]} << 8 | word[3];
    for (const SettingField& field : row.fields) {
        context.controls.setChecked(field.controlId, (flags >> field.bit & 1u) != 0);
    }
    return finish(context, result::kSuccess);
}

bool setLogFlagWord(SettingContext& context, const SettingRow& row) {
    context.controls.appendLog(actionText(*row.setCode));
    std::uint32_t flags = 0;
    for (const SettingField& field : row.fields) {
        if (context.controls.isChecked(field.controlId)) {
            flags |= 1u << field.bit;
        }
    }
    return sendPlainSet(context, *row.setCode,
                        {static_cast<std::uint8_t>(flags >> 24),
                         static_cast<std::uint8_t>(flags >> 16),
                         static_cast<std::uint8_t>(flags >> 8), static_cast<std::uint8_t>(flags)});
}

void getGnssAlwaysOn(SettingContext& context) {
    getSetting(context, SettingId::GnssAlwaysOn);
}
void setGnssAlwaysOn(SettingContext& context) {
    setSetting(context, SettingId::GnssAlwaysOn);
}
void getLogFlags(SettingContext& context) {
    getSetting(context, SettingId::LogFlags);
}
void setLogFlags(SettingContext& context) {
    setSetting(context, SettingId::LogFlags);
}
