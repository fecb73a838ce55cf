#include "ports/device_connection.h"

#include "controls/device_buttons.h"
#include "link/command_index.h"
#include "resources/control_ids.h"
#include "resources/resource.h"
#include "settings/result_text.h"

namespace {

bool isSingleByte(std::uint8_t length, const std::uint8_t* payload, std::uint8_t value) {
    return length == 1 && payload[0] == value;
}

struct MenuState {
    bool choosePort, connect, connectedItems;
};

// Menu items first, in ID order, then the buttons; the caller then ends the log line.
void applyConnectionState(Controls& controls, MenuState menu, bool buttons) {
    controls.setMenuItemEnabled(IDM_CHOOSE_PORT, menu.choosePort);
    controls.setMenuItemEnabled(IDM_CONNECT, menu.connect);
    for (int item : {IDM_DISCONNECT, IDM_READ_ALL, IDM_LOAD_ALL, IDM_VERIFY}) {
        controls.setMenuItemEnabled(item, menu.connectedItems);
    }
    if (buttons) {
        enableDeviceButtons(controls);
    } else {
        disableDeviceButtons(controls);
    }
}

// The port is gone or given up: nothing is in use any more.
void releasePort(SettingContext& context, DeviceConnection& connection) {
    connection.currentPortName.clear();
    connection.openPortName.clear();
    if (context.link.channel != nullptr) {
        context.link.channel->closePort(); // a failed close changes nothing for the user
    }
    // With the port closed a connect could only fail, so its item is grayed too.
    applyConnectionState(context.controls, {true, false, false}, false);
}

// The disconnect command; the result text of its line.
const char* sendDisconnect(SettingContext& context) {
    context.controls.appendLog(actionText(command::kDisconnect));
    std::uint8_t length = 0;
    const std::uint8_t* payload = nullptr;
    if (!transact(context.link, command::kDisconnect, length, payload,
                  findCommand(command::kDisconnect)->timeoutMs)) {
        return result::kCmdSendingError;
    }
    return isSingleByte(length, payload, 0) ? result::kSuccess : result::kAckError;
}

} // namespace

bool connectDevice(SettingContext& context, DeviceConnection& connection, std::uint32_t timeoutMs) {
    Controls& controls = context.controls;
    controls.appendLog(actionText(command::kConnect));
    std::uint8_t length = 0;
    const std::uint8_t* payload = nullptr;
    if (!transact(context.link, command::kConnect, length, payload, timeoutMs)) {
        connection.currentPortName.clear();
        controls.appendLog(result::kCmdSendingError);
        return false;
    }
    const bool first = isSingleByte(length, payload, 1);
    const bool second = first &&
                        awaitReply(context.link, command::kConnect, length, payload,
                                   findCommand(command::kConnect)->furtherReplyTimeoutMs) &&
                        isSingleByte(length, payload, 0);
    if (!second) {
        connection.currentPortName.clear();
        controls.appendLog(result::kAckError);
        return false;
    }
    // Also after a connect from the menu, so removal and farewell work for this port.
    connection.currentPortName = connection.openPortName;
    applyConnectionState(controls, {false, false, true}, true);
    controls.appendLog(result::kSuccess);
    return true;
}

bool disconnectDevice(SettingContext& context, DeviceConnection& connection) {
    const char* resultText = sendDisconnect(context);
    if (result::isSuccess(resultText)) {
        releasePort(context, connection);
    }
    context.controls.appendLog(resultText);
    return result::isSuccess(resultText);
}

void onDeviceChange(SettingContext& context, DeviceConnection& connection, std::uintptr_t event,
                    bool (*isPortPresent)(const std::string& name)) {
    if (connection.currentPortName.empty() || event != kDeviceNodesChanged ||
        isPortPresent(connection.currentPortName)) {
        return;
    }
    releasePort(context, connection);
    context.controls.appendLog("Com Port was closed\r\n");
}

void disconnectOnExit(SettingContext& context, DeviceConnection& connection) {
    if (!connection.currentPortName.empty()) {
        context.controls.appendLog(sendDisconnect(context));
    }
}
