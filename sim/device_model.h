#pragma once

#include "link/command_code.h"
#include "sim/device_simulator.h"

#include <cstdint>
#include <map>
#include <span>
#include <utility>
#include <vector>

// How a command is answered. Each shape has one generic handler in device_model.cpp.
enum class ModelShape : std::uint8_t {
    Connect,       // status 1 at once, status 0 later
    Action,        // [status]
    IndexedAction, // request [index]; reply [status]
    PlainGet,      // [status][value...]
    PlainSet,      // request [value...]; reply [status]
    IndexedGet,    // request [index]; reply [index][status][value...]
    IndexedSet,    // request [index][value...]; reply [index][status]
    AuxSensorGet,  // one frame per stored record, status 1 while more follow
    AuxSensorSet,  // request [type][mac][value]; reply [status]
    ImmobilitySet, // request [0] or the 14-byte record; reply [status]
};

// What the device accepts as the value of a set. A value it refuses draws status 1 and
// leaves the stored value alone.
enum class ValueCheck : std::uint8_t {
    Any,         // length within minLength..maxLength
    ByteRange,   // one byte, minValue..maxValue
    Word16Range, // two bytes big-endian, minValue..maxValue
    Bracelet,    // [type 5][6 address bytes][period 0..60]
};

struct ModelRow {
    CommandCode code;
    ModelShape shape;
    std::uint8_t indexMask; // bit i set: index i exists (indexed shapes only)
    ValueCheck check;
    std::uint8_t minLength; // of the value, index excluded
    std::uint8_t maxLength;
    std::uint32_t minValue;
    std::uint32_t maxValue;
};

// The device's value store: keyed by get code and index (-1 for a setting without index).
using ValueStore = std::map<std::pair<CommandCode, int>, std::vector<std::uint8_t>>;

// One frame of the device's answer, before faults are applied.
struct ModelReply {
    CommandCode code = 0;
    std::vector<std::uint8_t> payload;
    std::uint32_t delayMs = 0; // before this frame, on top of any pacing
    int statusOffset = 0;      // where the status byte sits; -1 when the payload has none
};

std::span<const ModelRow> modelTable();
const ModelRow* findModelRow(CommandCode code);

// The state of a freshly powered device.
void loadDefaults(ValueStore& values);

// The frames the device answers `request` with, updating `values` for a set.
std::vector<ModelReply> answerRequest(ValueStore& values, const RecordedRequest& request,
                                      const SimulatorOptions& options);

// The length of one aux sensor record: [type][6 MAC bytes][value].
inline constexpr std::size_t kAuxSensorRecordSize = 8;

// What a tracker may be without. A later write of the setting gives it one, as on the device.
enum class Fitting : std::uint8_t {
    Bracelet,    // none paired: its get answers the status byte alone
    GasAnalyzer, // no gas analyzer record in the sensor read-out
    Token,       // no token record in the sensor read-out
    LoraKeys,    // DEV_EUI, APP_EUI and APP_KEY empty
};

// Takes `fitting` out of the device's state.
void removeFitting(DeviceSimulator& device, Fitting fitting);
