#pragma once

#include "settings/setting_catalogue.h"
#include "ui/mmi_tests.h"
#include "ui/ui_context.h"

#include <cstdint>
#include <span>

enum class ButtonOp : std::uint8_t {
    Get,     // the row's read
    Set,     // the row's write
    MmiTest, // a device test
    Nothing, // accepted, no exchange and no log line
};

// What one push button of the pages runs.
struct ButtonAction {
    int buttonId;
    ButtonOp op;
    const SettingRow* row = nullptr; // Get, Set
    const MmiTest* test = nullptr;   // MmiTest
};

// Every push button of the pages: the catalogue's read and set buttons, the device tests and
// the two buttons of the no-signal vibration, which have no operation.
std::span<const ButtonAction> buttonActions();
const ButtonAction* findButtonAction(int buttonId);

// WM_COMMAND from a page control; true when the command was handled. Buttons act on any
// notification, filtered edits only on a change, the sensor type lists only on a user's
// choice; every other control is left to default processing.
bool dispatchPageCommand(UiContext& ui, int controlId, int notification);
