#pragma once

#include "ports/device_connection.h"
#include "settings/setting_context.h"
#include "ui/page_registry.h"

#include <cstddef>

// What the main window's handlers work with, from creation until the window ends.
struct UiContext {
    SettingContext settings; // the link, the page controls and the sensor cache
    DeviceConnection& connection;
    PageRegistry pages{};
    std::size_t currentPage = 0;
};
