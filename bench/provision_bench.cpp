// The provisioning pass of a batch on one tracker and on many at once: does a pass slow down
// when others run beside it, and what does it cost the host?

#include "bench/provision_bench.h"

#include "app/cli/log_results.h"
#include "bench/bench_support.h"
#include "controls/memory_controls.h"
#include "link/command_index.h"
#include "link/serial_channel.h"
#include "ports/device_connection.h"
#include "profile/profile.h"
#include "provision/device_pass.h"
#include "sim/device_simulator.h"
#include "sim/fleet_identity.h"
#include "sim/pty_host.h"
#include "sim/simulator_channel.h"
#include "ui/menu_commands.h"
#include "ui/page_setup.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

constexpr std::uint32_t kLineBaud = 115200;
constexpr int kLinkExchanges = 200;

// The profile every tracker gets: what a fresh device reads back, taken in-process.
bool makePlan(ProvisionPlan& plan, std::string& error) {
    DeviceSimulator device;
    SimulatorChannel channel(device);
    BenchSession session(channel);
    if (!session.connect(error)) {
        return false;
    }
    if (!session.readAll()) {
        error = "read-all of the in-process simulator failed";
        return false;
    }
    std::string text;
    if (!writeProfile(session.controls, text, error) || !parseProfile(text, plan.profile, error)) {
        return false;
    }
    plan.connectTimeoutMs = kConnectAfterOpenTimeoutMs;
    return true;
}

// Simulated trackers, each with its fleet identity, on pseudo-terminals served by a thread each.
class Fleet {
  public:
    ~Fleet() { close(); }

    bool open(int count, std::string& error) {
        SimulatorOptions options;
        options.baud = kLineBaud;
        for (int k = 1; k <= count; ++k) {
            auto tracker = std::make_unique<Tracker>(options);
            applyFleetIdentity(tracker->device, fleetIdentity(k));
            if (!tracker->host.open("", error)) {
                return false;
            }
            PtyHost& host = tracker->host;
            tracker->server = std::thread([&host] {
                std::string hostError;
                if (!host.run(hostError)) {
                    std::fprintf(stderr, "tarnwick-bench: simulated device: %s\n",
                                 hostError.c_str());
                }
            });
            trackers_.push_back(std::move(tracker));
        }
        return true;
    }
    void close() {
        for (const auto& tracker : trackers_) {
            tracker->host.stop();
            tracker->server.join();
        }
        trackers_.clear();
    }
    const std::string& path(int k) const { return trackers_[k]->host.slavePath(); }

  private:
    struct Tracker {
        explicit Tracker(const SimulatorOptions& options) : device(options), host(device) {}
        DeviceSimulator device;
        PtyHost host;
        std::thread server;
    };
    std::vector<std::unique_ptr<Tracker>> trackers_;
};

struct WorkerResult {
    PassResult pass;
    std::size_t requests = 0;
    std::size_t allocations = 0; // by the worker thread during its pass
    double afterConnectMs = 0;   // from the connect's end to the pass's end
};

void work(const std::string& portPath, const ProvisionPlan& plan, WorkerResult& result) {
    SerialChannel serial;
    if (!serial.openPort(portPath)) {
        result.pass.error = "cannot open " + portPath;
        return;
    }
    CountingChannel channel(serial);
    DeviceLink link;
    initDeviceLink(link, &channel);
    // The connect waits out the device's fixed delay; the rest is the exchanges' own time.
    auto connected = std::chrono::steady_clock::now();
    const PassObserver observer = [&connected](const PassProgress& progress) {
        if (progress.step == PassStep::Identify && progress.done == 0) {
            connected = std::chrono::steady_clock::now();
        }
    };
    const std::size_t before = threadAllocations();
    result.pass = provisionDevice(link, plan, observer, nullptr);
    result.allocations = threadAllocations() - before;
    result.afterConnectMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - connected)
            .count();
    result.requests = channel.requests;
    serial.closePort();
}

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Run {
    double wallMs = 0;
    double cpuMs = 0;          // the whole process
    double afterConnectMs = 0; // the slowest pass's
    std::size_t requests = 0;
    std::size_t allocations = 0;
};

// One run of `count` passes at once on a fresh fleet; false when one did not provision.
bool runOnce(int count, const ProvisionPlan& plan, Run& run) {
    Fleet fleet;
    std::string error;
    if (!fleet.open(count, error)) {
        std::fprintf(stderr, "tarnwick-bench: %s\n", error.c_str());
        return false;
    }
    std::vector<WorkerResult> results(static_cast<std::size_t>(count));
    std::vector<std::thread> workers;
    const double cpuBefore = processCpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    for (int k = 0; k < count; ++k) {
        workers.emplace_back(work, std::cref(fleet.path(k)), std::cref(plan),
                             std::ref(results[static_cast<std::size_t>(k)]));
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    run.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallBefore)
            .count();
    run.cpuMs = (processCpuSeconds() - cpuBefore) * 1000.0;
    bool allProvisioned = true;
    for (std::size_t k = 0; k < results.size(); ++k) {
        const WorkerResult& result = results[k];
        run.requests += result.requests;
        run.allocations += result.allocations;
        run.afterConnectMs = std::max(run.afterConnectMs, result.afterConnectMs);
        if (result.pass.outcome != PassOutcome::Provisioned) {
            std::fprintf(stderr, "tarnwick-bench: tracker %zu of %d: %s: %s\n", k + 1, count,
                         outcomeText(result.pass.outcome), result.pass.error.c_str());
            allProvisioned = false;
        }
    }
    return allProvisioned;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Summary {
    double wallMs = 0;
    double afterConnectMs = 0;
    double cpuMsPerDevice = 0;
    double requestsPerDevice = 0;
    double allocationsPerRequest = 0;
};

bool measure(int count, int runs, const ProvisionPlan& plan, Summary& summary) {
    std::vector<double> walls;
    std::vector<double> cpus;
    std::vector<double> afterConnect;
    std::size_t requests = 0;
    std::size_t allocations = 0;
    for (int i = 0; i < runs; ++i) {
        Run run;
        if (!runOnce(count, plan, run)) {
            return false;
        }
        walls.push_back(run.wallMs);
        cpus.push_back(run.cpuMs / count);
        afterConnect.push_back(run.afterConnectMs);
        requests += run.requests;
        allocations += run.allocations;
    }
    summary.wallMs = median(walls);
    summary.afterConnectMs = median(afterConnect);
    summary.cpuMsPerDevice = median(cpus);
    summary.requestsPerDevice = static_cast<double>(requests) / (runs * count);
    summary.allocationsPerRequest =
        requests == 0 ? 0 : static_cast<double>(allocations) / static_cast<double>(requests);
    return true;
}

// Allocations per exchange of transact alone, on a connected link: no controls, no catalogue.
bool measureLinkPath(std::size_t& allocations, std::string& error) {
    Fleet fleet;
    if (!fleet.open(1, error)) {
        return false;
    }
    SerialChannel serial;
    if (!serial.openPort(fleet.path(0))) {
        error = "cannot open " + fleet.path(0);
        return false;
    }
    BenchSession session(serial);
    if (!session.connect(error)) {
        return false;
    }
    const CommandCode code = *settingRow(SettingId::MasterFlag).getCode;
    const std::uint32_t timeoutMs = findCommand(code)->timeoutMs;
    bool answered = true;
    std::size_t before = 0;
    for (int i = 0; i <= kLinkExchanges && answered; ++i) {
        if (i == 1) {
            before = threadAllocations(); // after the warm-up
        }
        std::uint8_t length = 0;
        const std::uint8_t* payload = nullptr;
        answered = transact(session.link, code, length, payload, timeoutMs);
    }
    allocations = threadAllocations() - before;
    disconnectOnExit(session.context, session.connection);
    serial.closePort();
    if (!answered) {
        error = "a transact on the link went unanswered";
    }
    return answered;
}

} // namespace

int runProvisionBench(int trackers, int runs) {
    ProvisionPlan plan;
    std::string error;
    if (!makePlan(plan, error)) {
        std::fprintf(stderr, "tarnwick-bench: the profile: %s\n", error.c_str());
        return 1;
    }
    const std::string many =
        trackers == 1 ? "" : ", then on " + std::to_string(trackers) + " at once";
    std::printf("provisionDevice on 1 tracker alone%s, %d runs each, median;\n"
                "simulators paced at %u baud, connect delay %u ms (the simulator's default);\n"
                "after connect: the slowest pass from its connect's end, and its ratio to one "
                "tracker's;\nCPU ms per device: user+sys of the whole process, the simulators' "
                "threads included;\nallocs per request: the worker threads', whole pass\n",
                many.c_str(), runs, kLineBaud, SimulatorOptions{}.connectSecondReplyDelayMs);
    std::printf("%-9s %9s %12s %10s %7s %9s %11s %16s\n", "trackers", "wall ms", "wall/wall(1)",
                "after conn", "ratio", "reqs/dev", "CPU ms/dev", "pass allocs/req");
    const int counts[] = {1, trackers};
    Summary alone;
    for (int i = 0; i < (trackers == 1 ? 1 : 2); ++i) {
        Summary summary;
        if (!measure(counts[i], runs, plan, summary)) {
            std::fprintf(stderr, "tarnwick-bench: %d at once: not every pass provisioned\n",
                         counts[i]);
            return 1;
        }
        alone = i == 0 ? summary : alone;
        std::printf("%-9d %9.1f %12.3f %10.1f %7.3f %9.1f %11.1f %16.2f\n", counts[i],
                    summary.wallMs, summary.wallMs / alone.wallMs, summary.afterConnectMs,
                    summary.afterConnectMs / alone.afterConnectMs, summary.requestsPerDevice,
                    summary.cpuMsPerDevice, summary.allocationsPerRequest);
    }
    std::size_t allocations = 0;
    if (!measureLinkPath(allocations, error)) {
        std::fprintf(stderr, "tarnwick-bench: link path: %s\n", error.c_str());
        return 1;
    }
    std::printf("link path: %d transacts of one setting on a connected link after a warm-up: "
                "%zu allocations, %.2f per exchange\n",
                kLinkExchanges, allocations, static_cast<double>(allocations) / kLinkExchanges);
    return 0;
}
