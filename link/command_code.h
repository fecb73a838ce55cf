#pragma once

#include <cstdint>

using CommandCode = std::uint16_t;
