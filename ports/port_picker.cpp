#include "ports/port_picker.h"

#include "settings/result_text.h"
#include "controls/wire_text.h"

#include <cstdio>

std::u16string portDisplayText(const PortInfo& port) {
    std::u16string text = utf16FromUtf8(port.name) + u" : " + utf16FromUtf8(port.description);
    if (text.size() > kPortDisplayUnits) {
        text.resize(kPortDisplayUnits);
    }
    return text;
}

PickerResult openChosenPort(Controls& controls, SerialChannel& channel,
                            DeviceConnection& connection, std::u16string_view chosenText) {
    if (channel.isOpen()) {
        if (!channel.closePort()) {
            char code[32];
            std::snprintf(code, sizeof code, "Error code = %lu\r\n",
                          static_cast<unsigned long>(lastChannelError()));
            controls.appendLog("Previous port was closed incorrect.\r\n");
            controls.appendLog(code);
            return PickerResult::StaysOpen;
        }
        connection.openPortName.clear();
    }
    connection.currentPortName.clear();

    const std::size_t space = chosenText.find(u' ');
    if (space == std::u16string_view::npos) {
        controls.appendLog(" error.\r\n");
        return PickerResult::NotOpened;
    }
    const std::string name = utf8FromUtf16(chosenText.substr(0, space));
    const std::string path = devicePathForPort(name);
    controls.appendLog("Trying to open port " + path + "...   ");
    if (!channel.openPort(path)) {
        controls.appendLog(" error.\r\n");
        return PickerResult::NotOpened;
    }
    connection.currentPortName = name;
    connection.openPortName = name;
    controls.appendLog(result::kSuccess);
    return PickerResult::Opened;
}
