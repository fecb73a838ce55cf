#pragma once

#include <array>
#include <cstdint>
#include <string>

// What the device last reported for one external sensor model.
struct AuxSensorEntry {
    std::string macText; // 8-bit, up to 12 characters
    std::int32_t listIndex = 0;
    std::string valueText; // 8-bit decimal, up to 7 characters
};

inline constexpr std::size_t kGasSlots = 4;

// Lives as long as the window: filled by the sensor read, values changed by a gas analyzer
// write, shown when a type is chosen. Clearing the page fields leaves it alone.
struct AuxSensorCache {
    std::array<AuxSensorEntry, kGasSlots> gas;
    AuxSensorEntry token;
};

inline void emptyAuxSensorCache(AuxSensorCache& cache) {
    cache = AuxSensorCache{};
}
