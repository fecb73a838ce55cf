#pragma once

#include <string_view>

// What a tracker is known by in a batch: its IMEI, or its device ID when the overrides are
// keyed by it. A key that is not of its form names no tracker, and filling a profile with it
// would give every such tracker the same values.

// 15 decimal digits whose last is the Luhn check digit of the first 14.
bool isValidImei(std::string_view imei);

// 1 to 64 printable ASCII characters without blanks, quotes, commas or braces ("TRK-0A1B2C3D").
bool isValidDeviceId(std::string_view deviceId);
