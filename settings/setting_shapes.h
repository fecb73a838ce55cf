#pragma once

#include "settings/setting_catalogue.h"
#include "settings/setting_context.h"

// The generic get and set of a catalogue row. Each writes one log line; a get first resets
// its control, a set sends nothing when its input fails a check. True on "success.".
bool getSetting(SettingContext& context, const SettingRow& row);
bool setSetting(SettingContext& context, const SettingRow& row);

inline bool getSetting(SettingContext& context, SettingId id) {
    return getSetting(context, settingRow(id));
}
inline bool setSetting(SettingContext& context, SettingId id) {
    return setSetting(context, settingRow(id));
}

// Indexed pairs: index 0 or 1 picks the member; any other index does nothing at all.
inline void getPairMember(SettingContext& context, int index, SettingId member0,
                          SettingId member1) {
    if (index == 0 || index == 1) {
        getSetting(context, index == 0 ? member0 : member1);
    }
}
inline void setPairMember(SettingContext& context, int index, SettingId member0,
                          SettingId member1) {
    if (index == 0 || index == 1) {
        setSetting(context, index == 0 ? member0 : member1);
    }
}
