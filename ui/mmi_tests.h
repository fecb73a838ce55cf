#pragma once

#include "link/command_code.h"
#include "settings/setting_context.h"

#include <cstdint>
#include <optional>
#include <span>

// One device test: a command that switches an LED, the sound or the vibration on.
struct MmiTest {
    int buttonId;
    CommandCode code;
    std::optional<std::uint8_t> payload; // none: the request carries length 0
    std::size_t actionUse;               // which of the command's action texts
};

std::span<const MmiTest> mmiTests();

// One exchange and one log line; true on "success.".
bool runMmiTest(SettingContext& context, const MmiTest& test);

// Index 0 the green LED, 1 the red one; any other index does nothing at all.
bool mmiToggleLed(SettingContext& context, int index);
bool mmiVoice(SettingContext& context);
bool mmiVibro(SettingContext& context);
