#include "sim/fleet_identity.h"

#include "link/command_index.h"

#include <cstdio>
#include <vector>

namespace {

constexpr const char* kTac = "35693803";
constexpr int kFirstSerial = 564380;
constexpr unsigned kFirstDeviceId = 0x0A1B2C3D;

std::vector<std::uint8_t> textBytes(const std::string& text) {
    return {text.begin(), text.end()};
}

} // namespace

char luhnCheckDigit(const std::string& digits) {
    int sum = 0;
    // Doubling starts at the digit next to the check digit.
    for (std::size_t i = 0; i < digits.size(); ++i) {
        int digit = digits[digits.size() - 1 - i] - '0';
        if (i % 2 == 0) {
            digit *= 2;
            digit = digit > 9 ? digit - 9 : digit;
        }
        sum += digit;
    }
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

FleetIdentity fleetIdentity(int k) {
    FleetIdentity identity;
    char text[32];
    std::snprintf(text, sizeof text, "%s%06d", kTac, kFirstSerial + k - 1);
    identity.imei = text;
    identity.imei += luhnCheckDigit(identity.imei);
    std::snprintf(text, sizeof text, "TRK-%08X", kFirstDeviceId + static_cast<unsigned>(k - 1));
    identity.deviceId = text;
    std::snprintf(text, sizeof text, "TRK%05d", k);
    identity.usbSerial = text;
    return identity;
}

void applyFleetIdentity(DeviceSimulator& device, const FleetIdentity& identity) {
    device.storeValue(command::kGetImei, textBytes(identity.imei));
    device.storeValue(command::kGetDeviceId, textBytes(identity.deviceId));
    device.storeValue(command::kGetMqttTopic, textBytes("tarnwick/cmd/" + identity.deviceId), 0);
    device.storeValue(command::kGetMqttTopic, textBytes("tarnwick/data/" + identity.deviceId), 1);
}
