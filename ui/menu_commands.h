#pragma once

#include "settings/setting_context.h"
#include "ui/page_registry.h"

// Asked between two operations of a run over the catalogue: true ends the run there, with
// the exchange in flight completed and its log line ended.
using StopCheck = bool (*)();

// Menu "Считать настройки": every read of the catalogue in its order, with the device
// buttons disabled meanwhile. One failure does not stop the others; `stopRequested` does.
void getAllSettings(SettingContext& context, StopCheck stopRequested = nullptr);

// Menu "Загрузить настройки": every write of the catalogue in its order, likewise.
void setAllSettings(SettingContext& context, StopCheck stopRequested = nullptr);

// Menu "Очистить": empties every value control, page by page in slot order. Sends nothing,
// logs nothing, and leaves the sensor cache, the enabling state and the connection alone.
void clearAllFields(Controls& controls, const PageRegistry& registry);
