#include "ui/window_start.h"

#include "controls/device_buttons.h"
#include "resources/control_ids.h"
#include "resources/resource.h"
#include "ui/page_setup.h"

#include <array>

namespace {

struct MenuItemState {
    int id;
    bool enabled;
};

constexpr std::array kInitialMenu = {
    MenuItemState{IDM_OPEN, true},        MenuItemState{IDM_SAVE_AS, true},
    MenuItemState{IDM_CHOOSE_PORT, true}, MenuItemState{IDM_CONNECT, false},
    MenuItemState{IDM_DISCONNECT, false}, MenuItemState{IDM_READ_ALL, false},
    MenuItemState{IDM_LOAD_ALL, false},   MenuItemState{IDM_VERIFY, false},
};

} // namespace

void startMainWindow(UiContext& ui) {
    Controls& controls = ui.settings.controls;
    fillPageRegistry(ui.pages);
    ui.currentPage = 0;
    for (std::size_t page = 1; page < kPageCount; ++page) {
        for (std::size_t slot = 0; slot < pageControlCount(ui.pages, page); ++slot) {
            controls.setControlVisible(ui.pages.slots[page][slot], false);
        }
    }
    setUpPageControls(controls);
    for (const MenuItemState& item : kInitialMenu) {
        controls.setMenuItemEnabled(item.id, item.enabled);
    }
    disableDeviceButtons(controls);
    emptyAuxSensorCache(ui.settings.auxSensors);
}
