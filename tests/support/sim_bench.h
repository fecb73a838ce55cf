#pragma once

#include "link/forwarding_channel.h"
#include "sim/device_simulator.h"
#include "sim/fleet_identity.h"
#include "sim/simulator_channel.h"
#include "station/station.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

// A bench of simulated trackers in-process, one per port, for the station's rules. Each
// exchange takes a millisecond of real time, so that passes on different ports overlap.
class SimBench final : public PortSource {
  public:
    struct Port {
        PortInfo info;
        std::string key;
        int tracker; // its fleet identity
        std::unique_ptr<DeviceSimulator> device;
        bool present = true;
    };

    // Tracker k on port "pk"; `serial` its USB serial ("" for none), `key` its device key.
    DeviceSimulator& add(int tracker, const std::string& serial = "", std::string key = "") {
        const std::lock_guard lock(mutex_);
        const std::string name = "p" + std::to_string(ports_.size() + 1);
        ports_.push_back(
            {{name, "simulated"}, key.empty() ? name : key, tracker, freshDevice(tracker)});
        ports_.back().info.serial = serial;
        return *ports_.back().device;
    }

    std::vector<PortInfo> present() override {
        const std::lock_guard lock(mutex_);
        std::vector<PortInfo> present;
        for (const Port& port : ports_) {
            if (port.present) {
                present.push_back(port.info);
            }
        }
        return present;
    }
    bool isPresent(const std::string& name) override {
        const std::lock_guard lock(mutex_);
        return std::any_of(ports_.begin(), ports_.end(),
                           [&](const Port& p) { return p.info.name == name && p.present; });
    }
    std::string deviceKey(const std::string& name) override {
        const std::lock_guard lock(mutex_);
        const auto port = std::find_if(ports_.begin(), ports_.end(),
                                       [&](const Port& p) { return p.info.name == name; });
        return port == ports_.end() ? name : port->key;
    }
    // A tracker that hung up is plugged in again, state lost, when its port is next opened;
    // its port's name now leads to another device, as a link to a new pseudo-terminal does.
    std::unique_ptr<ByteChannel> open(const std::string& name, std::string& error) override {
        const std::lock_guard lock(mutex_);
        for (Port& port : ports_) {
            if (port.info.name == name && port.present) {
                if (port.device->hungUp()) {
                    port.device = freshDevice(port.tracker);
                    port.key += "'";
                }
                return std::make_unique<Channel>(*port.device, *this);
            }
        }
        error = "cannot open port " + name;
        return nullptr;
    }

    DeviceSimulator& device(std::size_t index) { return *ports_.at(index).device; }
    int mostOpenAtOnce() const { return mostOpen_; }

  private:
    // Owns the line to the device; a base, so that it is made before the forwarding that
    // borrows it.
    struct SimulatedLine {
        explicit SimulatedLine(DeviceSimulator& device) : line(device) {}
        SimulatorChannel line;
    };

    class Channel final : private SimulatedLine, public ForwardingChannel {
      public:
        Channel(DeviceSimulator& device, SimBench& bench)
            : SimulatedLine(device), ForwardingChannel(line), bench_(bench) {
            const int open = ++bench_.open_;
            int most = bench_.mostOpen_;
            while (open > most && !bench_.mostOpen_.compare_exchange_weak(most, open)) {
            }
        }
        ~Channel() override { --bench_.open_; }
        bool writeFrame(std::span<const std::uint8_t> frame) override {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return ForwardingChannel::writeFrame(frame);
        }

      private:
        SimBench& bench_;
    };

    static std::unique_ptr<DeviceSimulator> freshDevice(int tracker) {
        auto device = std::make_unique<DeviceSimulator>();
        applyFleetIdentity(*device, fleetIdentity(tracker));
        return device;
    }

    std::mutex mutex_;
    std::vector<Port> ports_;
    std::atomic<int> open_{0};
    std::atomic<int> mostOpen_{0};
};
