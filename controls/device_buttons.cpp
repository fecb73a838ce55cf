#include "controls/device_buttons.h"

#include <array>

namespace {

// clang-format off
constexpr std::array kDeviceButtons = {
    601, 602,
    1006, 1007, 1008, 1009, 1014, 1015, 1016, 1017, 1020, 1021, 1024, 1027, 1029, 1030,
    1102, 1104, 1105, 1108, 1109, 1113, 1114, 1118, 1119, 1122, 1123, 1126, 1127, 1130, 1131,
    1134, 1135, 1138, 1139,
    1201, 1202, 1205, 1206, 1210, 1211, 1214, 1215, 1225, 1226,
    1301, 1302, 1305, 1306, 1309, 1310,
    1401, 1402, 1405,
    1502, 1503, 1506, 1507, 1510, 1511, 1514, 1515, 1518, 1519, 1522, 1523, 1526, 1527, 1530,
    1531, 1534, 1535, 1539, 1540, 1545, 1546, 1549, 1550,
    1608, 1609,
    1700, 1708, 1716,
    1901, 1902,
    2001, 2002, 2003, 2004, 2027, 2028,
};
// clang-format on
static_assert(kDeviceButtons.size() == 91);

void setDeviceButtons(Controls& controls, bool enabled) {
    for (int id : kDeviceButtons) {
        controls.setControlEnabled(id, enabled);
    }
}

} // namespace

std::span<const int> deviceButtons() {
    return kDeviceButtons;
}

void enableDeviceButtons(Controls& controls) {
    setDeviceButtons(controls, true);
}
void disableDeviceButtons(Controls& controls) {
    setDeviceButtons(controls, false);
}
