#pragma once

#include "sim/device_simulator.h"

#include <string>

// Who tracker k of a simulated fleet is. Each has an IMEI of its own (same TAC, the serial
// counted up, a valid check digit) and a device ID counted up from the default one.
struct FleetIdentity {
    std::string imei;
    std::string deviceId;
    std::string usbSerial; // only printed: a pseudo-terminal has no USB identity
};

// Tracker `k` (1-based); tracker 1 is the identity a fresh simulator already has.
FleetIdentity fleetIdentity(int k);

// Stores the IMEI, the device ID and the MQTT topics named after it.
void applyFleetIdentity(DeviceSimulator& device, const FleetIdentity& identity);

// The Luhn check digit of `digits`, as the last digit of an IMEI.
char luhnCheckDigit(const std::string& digits);
