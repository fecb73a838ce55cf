#pragma once

#include "link/device_link.h"
#include "settings/aux_sensor_cache.h"
#include "controls/controls.h"

// What every operation works with: the link to the device, the page controls and the
// window's sensor cache.
struct SettingContext {
    DeviceLink& link;
    Controls& controls;
    AuxSensorCache& auxSensors;
};
