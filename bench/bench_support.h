#pragma once

#include "app/cli/log_results.h"
#include "controls/memory_controls.h"
#include "link/byte_channel.h"
#include "link/command_index.h"
#include "link/device_link.h"
#include "ports/device_connection.h"
#include "settings/setting_catalogue.h"
#include "ui/menu_commands.h"
#include "ui/page_setup.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Heap allocations made so far by the calling thread (operator new, counted in bench_main.cpp).
std::size_t threadAllocations();

// The port with a tally of what crosses it.
class CountingChannel final : public ByteChannel {
  public:
    explicit CountingChannel(ByteChannel& inner) : inner_(inner) {}

    bool writeFrame(std::span<const std::uint8_t> frame) override {
        ++requests;
        bytesOut += frame.size();
        return inner_.writeFrame(frame);
    }
    bool readByte(std::uint32_t timeoutMs, std::uint8_t& byte) override {
        const bool read = inner_.readByte(timeoutMs, byte);
        bytesIn += read ? 1 : 0;
        // Each reply frame begins with its delimiter, the only zero byte on the wire.
        replies += read && byte == 0x00 ? 1 : 0;
        return read;
    }
    bool closePort() override { return inner_.closePort(); }
    void discardInput() override { inner_.discardInput(); }

    void reset() { requests = replies = bytesOut = bytesIn = 0; }

    std::size_t requests = 0;
    std::size_t replies = 0;
    std::size_t bytesOut = 0;
    std::size_t bytesIn = 0;

  private:
    ByteChannel& inner_;
};

// A link over a channel with the controls and the connection one session needs.
struct BenchSession {
    explicit BenchSession(ByteChannel& channel) {
        initDeviceLink(link, &channel);
        setUpPageControls(controls);
    }

    // The connect as the window does it; false with the log in `error`.
    bool connect(std::string& error) {
        if (connectDevice(context, connection, kConnectAfterOpenTimeoutMs)) {
            return true;
        }
        error = "the simulator did not connect: " + controls.log();
        return false;
    }

    // The menu's read of all settings; true when every read succeeded.
    bool readAll() {
        std::size_t reads = 0;
        for (const SettingRow& row : settingCatalogue()) {
            reads += row.getCode ? 1 : 0;
        }
        controls.clearLog();
        getAllSettings(context);
        return allSucceeded(controls.log(), reads);
    }

    DeviceLink link;
    MemoryControls controls;
    AuxSensorCache auxSensors;
    SettingContext context{link, controls, auxSensors};
    DeviceConnection connection;
};
