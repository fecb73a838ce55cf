#pragma once

#include "controls/controls.h"

#include <span>

// The push buttons that start device exchanges, in the order they are switched.
std::span<const int> deviceButtons();

void enableDeviceButtons(Controls& controls);
void disableDeviceButtons(Controls& controls);
