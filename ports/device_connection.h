#pragma once

#include "settings/setting_context.h"

#include <cstdint>
#include <string>

// WM_DEVICECHANGE's "something was added or removed" event.
inline constexpr std::uintptr_t kDeviceNodesChanged = 7;

struct DeviceConnection {
    // The port in use by a connected device; empty when none. The removal check and the
    // farewell at exit run only while it is set.
    std::string currentPortName;
    // The port the channel has open, connected or not; set by whoever opened it.
    std::string openPortName;
};

// The connect exchange: two replies, status 1 at once and status 0 within the second
// reply's time-out. On success the connection items and the device buttons are enabled.
bool connectDevice(SettingContext& context, DeviceConnection& connection, std::uint32_t timeoutMs);
bool disconnectDevice(SettingContext& context, DeviceConnection& connection);
// The removal check: closes the port when the one in use is gone.
void onDeviceChange(SettingContext& context, DeviceConnection& connection, std::uintptr_t event,
                    bool (*isPortPresent)(const std::string& name));
// The farewell at exit: one disconnect command while a device is connected.
void disconnectOnExit(SettingContext& context, DeviceConnection& connection);
