// One read of the catalogue (the input's last byte picks it) against arbitrary replies from
// the simulated device: its answer and every further frame are chunks of the input. Aborts on
// a read without a result line, a field longer than a reply fills, a number field with no
// number, or a sensor cache entry no record makes.
#include "controls/memory_controls.h"
#include "settings/setting_shapes.h"
#include "sim/simulator_channel.h"
#include "ui/page_setup.h"

#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

static bool digitsUpTo(const std::string& text, std::size_t maxChars, long maxValue) {
    return text.size() <= maxChars && text.find_first_not_of("0123456789") == std::string::npos &&
           (text.empty() || std::stol(text) <= maxValue);
}

// Empty, or what a kept record makes: 12 hex digits, the group's entry, a value in range.
static bool fits(const AuxSensorEntry& entry, int listIndex, long maxValue) {
    return (entry.macText.empty() && entry.listIndex == 0 && entry.valueText.empty()) ||
           (entry.macText.size() == 12 && entry.listIndex == listIndex &&
            entry.macText.find_first_not_of("0123456789ABCDEF") == std::string::npos &&
            digitsUpTo(entry.valueText, 7, maxValue));
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto rows = settingCatalogue();
    const SettingRow& row = rows[input.ConsumeIntegralInRange<std::size_t>(0, rows.size() - 1)];
    const auto chunk = [&] {
        return input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 124));
    };
    MemoryControls controls(input.ConsumeBool() ? utf8CodePage() : cp1251CodePage());
    SimFault fault;
    fault.payload = chunk();
    while (input.remaining_bytes() > 0) {
        const auto frame = encodeReplyFrame(row.getCode.value_or(0), chunk());
        fault.noiseAfter.insert(fault.noiseAfter.end(), frame.begin(), frame.end());
    }
    DeviceSimulator device;
    device.scriptFault(row.getCode.value_or(0), fault);
    SimulatorChannel channel(device);
    DeviceLink link;
    initDeviceLink(link, &channel);
    setUpPageControls(controls);
    AuxSensorCache cache;
    SettingContext context{link, controls, cache};
    bool holds = !getSetting(context, row) || controls.log().ends_with("success.\r\n");
    holds = holds && (!row.getCode || controls.log().ends_with("\r\n"));
    for (const SettingRow& each : rows) {
        for (const SettingField& field : settingFields(each)) {
            const std::u16string& text = controls.fullText(field.controlId);
            holds =
                holds && text.size() <= 123 &&
                (field.kind != FieldKind::Number || digitsUpTo(utf8FromUtf16(text), 10, 1L << 32));
        }
    }
    for (std::size_t slot = 0; slot < kGasSlots; ++slot) {
        holds = holds && fits(cache.gas[slot], static_cast<int>(slot) + 1, 60);
    }
    if (!holds || !fits(cache.token, 1, 1)) {
        std::abort();
    }
    return 0;
}
