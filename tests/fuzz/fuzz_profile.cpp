// Arbitrary files through the profile reader and load-all's checks. What they take must make
// the road back: the loaded controls write a profile that is taken again and loads the same,
// and load-all of it against the simulated device sends no request the codec cannot hold.
// What the checks before the first write pass, the simulated device takes: every planned
// write succeeds.
#include "controls/memory_controls.h"
#include "profile/planned_writes.h"
#include "profile/profile.h"
#include "settings/setting_shapes.h"
#include "sim/simulator_channel.h"
#include "ui/page_setup.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

// What the controls write after loading `text`; nothing when the profile is refused.
static std::optional<std::string> reload(std::string_view text, MemoryControls& controls) {
    std::vector<ProfileEntry> entries;
    std::string error, written;
    setUpPageControls(controls);
    if (!parseProfile(text, entries, error)) {
        return std::nullopt;
    }
    applyProfile(controls, entries);
    if (!writeProfile(controls, written, error)) {
        std::abort();
    }
    return written;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryControls controls, again;
    const auto written = reload({reinterpret_cast<const char*>(data), size}, controls);
    DeviceSimulator device;
    SimulatorChannel channel(device);
    DeviceLink link;
    initDeviceLink(link, &channel);
    AuxSensorCache cache;
    SettingContext context{link, controls, cache};
    bool refusedAfterChecks = false;
    std::vector<std::string> skipped;
    std::string error;
    if (written) {
        const std::vector<const SettingRow*> rows = plannedWrites(controls, skipped);
        const bool checked = checkPlannedWrites(controls, rows, error);
        for (const SettingRow* row : rows) {
            refusedAfterChecks = (!setSetting(context, *row) && checked) || refusedAfterChecks;
        }
    }
    const auto tooLong = [](const RecordedRequest& request) { return request.payload.size() > 63; };
    if ((written && reload(*written, again) != written) || refusedAfterChecks ||
        std::any_of(device.requests().begin(), device.requests().end(), tooLong)) {
        std::abort();
    }
    return 0;
}
