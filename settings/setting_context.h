#pragma once

#include "link/device_link.h"
#include "ui/controls.h"

// What every operation works with: the link to the device and the page controls.
struct SettingContext {
    DeviceLink& link;
    Controls& controls;
};
