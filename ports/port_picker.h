#pragma once

#include "link/serial_channel.h"
#include "ports/device_connection.h"
#include "ports/port_directory.h"
#include "controls/controls.h"

#include <string>
#include <string_view>

// A port as the picker lists it, "NAME : DESCRIPTION", cut to the list's 255 units. A name
// too long to leave its " : " in the text is refused when it is chosen.
inline constexpr std::size_t kPortDisplayUnits = 255;
std::u16string portDisplayText(const PortInfo& port);

enum class PickerResult : std::uint8_t {
    Opened,    // the dialog ends with 1 and the connect exchange follows
    NotOpened, // the dialog ends with 0
    StaysOpen, // the port left open could not be closed
};

// The picker's "ОК": closes a port left open, then opens the port named by the chosen list
// text (everything before its first space; empty when nothing is chosen). Names and paths
// are held whole, however long.
PickerResult openChosenPort(Controls& controls, SerialChannel& channel,
                            DeviceConnection& connection, std::u16string_view chosenText);
