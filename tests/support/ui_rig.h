#pragma once

#include "tests/support/sim_rig.h"
#include "resources/control_ids.h"
#include "settings/ble_tags.h"
#include "settings/setting_catalogue.h"
#include "controls/controls.h"
#include "controls/device_buttons.h"
#include "ui/dispatch.h"
#include "controls/memory_controls.h"
#include "ui/page_registry.h"
#include "ui/page_setup.h"
#include "ui/ui_context.h"
#include "ui/window_start.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace ui_test {

inline constexpr std::array<int, 5> kConnectionMenuItems = {
    IDM_CHOOSE_PORT, IDM_CONNECT, IDM_DISCONNECT, IDM_READ_ALL, IDM_LOAD_ALL};

// The menu items 32782 to 32786 and the state shared by all 91 device buttons; "mixed" when
// the buttons disagree.
struct EnablingState {
    std::array<bool, 5> menu{};
    std::string buttons;

    bool operator==(const EnablingState&) const = default;
};

inline EnablingState enablingState(const Controls& controls) {
    EnablingState state;
    for (std::size_t i = 0; i < kConnectionMenuItems.size(); ++i) {
        state.menu[i] = controls.isMenuItemEnabled(kConnectionMenuItems[i]);
    }
    std::size_t enabled = 0;
    for (int id : deviceButtons()) {
        enabled += controls.isControlEnabled(id) ? 1 : 0;
    }
    state.buttons = enabled == 0                        ? "disabled"
                    : enabled == deviceButtons().size() ? "enabled"
                                                        : "mixed";
    return state;
}

inline std::ostream& operator<<(std::ostream& out, const EnablingState& state) {
    out << "menu";
    for (bool item : state.menu) {
        out << (item ? " on" : " off");
    }
    return out << ", buttons " << state.buttons;
}

inline const EnablingState kWindowCreated{{true, false, false, false, false}, "disabled"};
inline const EnablingState kConnected{{false, false, true, true, true}, "enabled"};
inline const EnablingState kPortGone{{true, false, false, false, false}, "disabled"};

// The main window as WM_INITDIALOG leaves it, on the simulated device, with every edit change
// routed back into the page dispatch as the window procedure would. One per case: a device
// may still hold bytes of an answer that a failed exchange did not read.
struct UiRig : SimRig {
    DeviceConnection connection;
    UiContext ui{context, connection};

    UiRig() {
        startMainWindow(ui);
        controls.setNotificationHandler(
            [this](int id, int code) { dispatchPageCommand(ui, id, code); });
    }

    // A connected device on COM7, as after the port picker and a successful connect.
    void connectOnCom7() {
        connection.openPortName = "COM7";
        ASSERT_TRUE(connectDevice(ui.settings, connection, 10000)) << controls.log();
        ASSERT_EQ(enablingState(controls), kConnected);
        controls.clearLog();
        device.clearRequests();
    }
};

} // namespace ui_test
