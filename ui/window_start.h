#pragma once

#include "ui/ui_context.h"

// The main window as it starts, before any device: every page registered with page 0 shown,
// the edits' text limits and the lists' entries, the menu items of a window without a port,
// the device buttons disabled and the sensor cache empty. The dialog resource already holds
// most of these states; setting them again keeps the window and the in-memory controls alike.
void startMainWindow(UiContext& ui);
