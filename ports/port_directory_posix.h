#pragma once

#include "ports/port_directory.h"

#include <string>
#include <vector>

// The same walks over a sysfs tree rooted elsewhere than /sys, so tests can build their own.
std::vector<PortInfo> listPorts(const std::string& sysfsRoot);
bool isPortPresent(const std::string& name, const std::string& sysfsRoot);

// Orders port names as people read them: ttyS2 before ttyS10.
bool naturalLess(const std::string& left, const std::string& right);
