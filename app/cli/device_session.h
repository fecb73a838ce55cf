#pragma once

#include "link/device_link.h"
#include "link/serial_channel.h"
#include "sim/device_simulator.h"
#include "sim/simulator_channel.h"

#include <memory>
#include <string>
#include <vector>

// Where the command line talks to: a serial port, or the built-in simulated device.
struct SessionTarget {
    std::string port; // a name, usb:VID:PID[:SERIAL] or auto; empty with `simulate`
    bool simulate = false;
    std::vector<std::string> simFaults; // fault specs for the simulated device
    std::string tracePath;              // --trace: every frame and time-out to this file
    bool traceSecrets = false;          // --trace-secrets: passwords and keys in the clear
};

struct DeviceSession {
    std::string portName; // the port opened, usb: and auto resolved
    std::unique_ptr<SerialChannel> serial;
    std::unique_ptr<DeviceSimulator> simulator;
    std::unique_ptr<SimulatorChannel> simulated;
    DeviceLink link;
};

// Opens the port (or starts the simulator) and readies the link; false with a message, which
// lists the candidates when a usb: or auto port does not name exactly one.
[[nodiscard]] bool openSession(const SessionTarget& target, DeviceSession& session,
                               std::string& error);
void closeSession(DeviceSession& session);
