#pragma once

#include "controls/memory_controls.h"
#include "link/device_link.h"
#include "settings/setting_context.h"
#include "sim/device_simulator.h"
#include "sim/simulator_channel.h"
#include "ui/page_setup.h"

#include <cstdint>
#include <utility>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// The simulated device in-process behind a link, with page controls set up as the window
// sets them up. One per case: a failed exchange may leave answer bytes in the device.
struct SimRig {
    DeviceSimulator device;
    SimulatorChannel channel{device};
    DeviceLink link;
    MemoryControls controls;
    AuxSensorCache auxSensors;
    SettingContext context{link, controls, auxSensors};

    explicit SimRig(SimulatorOptions options = {}) : device(options) {
        initDeviceLink(link, &channel);
        setUpPageControls(controls);
    }
    SimRig(const SimRig&) = delete;
    SimRig& operator=(const SimRig&) = delete;

    // The next request for `code` gets this payload instead of the model's answer.
    void reply(CommandCode code, Bytes payload) {
        SimFault fault;
        fault.payload = std::move(payload);
        device.scriptFault(code, fault);
    }
    void silence(CommandCode code) {
        SimFault fault;
        fault.silent = true;
        device.scriptFault(code, fault);
    }
    // The payload of the last request the device decoded; {0xEE} when there was none.
    Bytes lastRequest() const {
        return device.requests().empty() ? Bytes{0xEE} : device.requests().back().payload;
    }
    void startLine() {
        controls.clearLog();
        device.clearRequests();
    }
};
