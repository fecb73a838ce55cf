#pragma once

#include "controls/device_buttons.h"
#include "tests/support/sim_rig.h"
#include "ui/dispatch.h"
#include "ui/window_start.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

namespace ui_test {

// The menu items 32782 to 32786 (1: enabled) and the state all device buttons share.
inline std::string enablingState(const Controls& controls) {
    std::string state;
    for (int item = 32782; item <= 32786; ++item) {
        state += controls.isMenuItemEnabled(item) ? '1' : '0';
    }
    const auto on = std::ranges::count_if(deviceButtons(),
                                          [&](int id) { return controls.isControlEnabled(id); });
    return state + (on == 0 ? " off" : on == std::ssize(deviceButtons()) ? " on" : " mixed");
}

inline const std::string kNoDevice = "10000 off"; // at start, and once the port is gone
inline const std::string kConnected = "00111 on";

// A scripted answer: another payload, a frame sent after it, a late first byte, or none.
inline SimFault answer(std::optional<Bytes> payload, Bytes after = {}, std::uint32_t delayMs = 0,
                       bool silent = false) {
    SimFault fault;
    fault.payload = std::move(payload);
    fault.noiseAfter = std::move(after);
    fault.delayMs = delayMs;
    fault.silent = silent;
    return fault;
}
inline const SimFault kSilent = answer({}, {}, 0, true);

// The main window as WM_INITDIALOG leaves it, on the simulated device, with every edit change
// routed back into the page dispatch as the window procedure would.
struct UiRig : SimRig {
    DeviceConnection connection;
    UiContext ui{context, connection};

    explicit UiRig(SimulatorOptions options = {}) : SimRig(options) {
        startMainWindow(ui);
        controls.setNotificationHandler(
            [this](int id, int code) { dispatchPageCommand(ui, id, code); });
    }

    // As after the port picker and a successful connect.
    void connectOnCom7() {
        connection.openPortName = "COM7";
        ASSERT_TRUE(connectDevice(ui.settings, connection, 10000)) << controls.log();
        ASSERT_EQ(enablingState(controls), kConnected);
        startLine();
    }
};

} // namespace ui_test
