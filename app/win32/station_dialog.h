#pragma once

#include "app/win32/app_state.h"

// Menu "Станция...": a batch of trackers provisioned with one profile, one list row per port,
// on the station's threads while the window's thread only draws.

// Disconnects a connected device the way "Отключить устройство" does, then shows the station
// modal over `owner` until it is closed; a run still going is stopped and waited for first.
void openStationDialog(AppState& app, HWND owner);

// The stop runStation polls: set by "Стоп" and by closing the dialog mid-run.
bool stationStopRequested();
