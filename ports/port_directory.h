#pragma once

#include <string>
#include <vector>

struct PortInfo {
    std::string name;        // what the user picks and openPort is given ("COM3", "/dev/ttyUSB0")
    std::string description; // readable text for the list
    // The USB device the port belongs to, where the system knows it; all empty otherwise.
    std::string vid{}; // four upper-case hex digits ("1209")
    std::string pid{};
    std::string serial{};
    std::string manufacturer{};
    std::string product{};
};

// The serial ports present now, in the order the platform lists them. Each build links the
// implementation of its platform.
std::vector<PortInfo> listPorts();

bool isPortPresent(const std::string& name);
