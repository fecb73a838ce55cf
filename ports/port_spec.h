#pragma once

#include "ports/port_directory.h"

#include <string>
#include <vector>

// A port's USB identity as the lists show it, "1209:2A1E  serial TRK00042  Tarnwick Labs
// Tracker T4", leaving out what the system does not know; empty for a port without one.
std::string usbIdentityText(const PortInfo& port);

// What --port takes: a port's name, used as it is; "usb:VID:PID[:SERIAL]", the one port of
// that USB device (hex in either case, the serial exact); "auto", the one USB serial port
// present. False, with a message naming every candidate, when none or several match.
[[nodiscard]] bool resolvePortSpec(const std::string& spec, const std::vector<PortInfo>& ports,
                                   std::string& portName, std::string& error);

// Every port `spec` names, for a batch: a port's name is that port, present or not;
// "usb:VID:PID[:SERIAL]" and "auto" every matching USB port present (perhaps none). False
// only for a malformed usb: spec.
[[nodiscard]] bool matchPortSpec(const std::string& spec, const std::vector<PortInfo>& ports,
                                 std::vector<PortInfo>& matches, std::string& error);
