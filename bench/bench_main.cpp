// tarnwick-bench: how long a read of all settings takes over a real port, against the time
// its bytes need on the wire, and what it costs the host per exchange.

#include "app/cli/log_results.h"
#include "bench/bench_support.h"
#include "bench/provision_bench.h"
#include "controls/memory_controls.h"
#include "link/command_index.h"
#include "link/serial_channel.h"
#include "ports/device_connection.h"
#include "profile/setting_values.h"
#include "sim/device_simulator.h"
#include "sim/pty_host.h"
#include "ui/menu_commands.h"
#include "ui/page_setup.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace {

// Per thread: the simulated device serves its pseudo-terminal from a thread of its own.
thread_local std::size_t gAllocations = 0;

void* allocate(std::size_t size) {
    ++gAllocations;
    return std::malloc(size == 0 ? 1 : size);
}

} // namespace

std::size_t threadAllocations() {
    return gAllocations;
}

// Every heap allocation of the program passes through here, so it can be counted.
void* operator new(std::size_t size) {
    if (void* p = allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

constexpr const char* kUsage =
    "usage: tarnwick-bench [--runs R]\n"
    "       tarnwick-bench --provision N [--runs R]\n"
    "\n"
    "Puts the simulated device on a pseudo-terminal twice, once pacing its answers at 115200\n"
    "baud and once unpaced, connects through the serial channel and reads all settings R\n"
    "times (default 3). Prints the wall time, the time the bytes of both directions need on\n"
    "a 115200 baud line (10 bits per byte), their ratio, and the CPU time and heap\n"
    "allocations per request sent.\n"
    "\n"
    "With --provision, runs the provisioning pass with the profile a fresh device reads on\n"
    "one simulated tracker alone and then on N (1 to 64) at once, each paced at 115200 baud\n"
    "on a pseudo-terminal of its own with a worker thread of its own, R runs each. Prints the\n"
    "median wall time, its ratio to one tracker's, CPU time per device, heap allocations per\n"
    "request of the whole pass, and per exchange of transact alone on a connected link.\n"
    "Exits 1 when a pass does not end provisioned.\n";

constexpr std::uint32_t kLineBaud = 115200;
constexpr double kBitsPerByte = 10.0;

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Measurement {
    double wallMs = 0;
    std::size_t requests = 0;
    std::size_t replies = 0;
    std::size_t bytesOut = 0;
    std::size_t bytesIn = 0;
    double cpuMs = 0;
    std::size_t allocations = 0;
    int failedRuns = 0;
};

bool measureOn(const std::string& portPath, int runs, Measurement& m, std::string& error);

// The simulated device on a pseudo-terminal of its own, served by a second thread.
bool measure(std::uint32_t baud, int runs, Measurement& m, std::string& error) {
    SimulatorOptions options;
    options.baud = baud;
    options.connectSecondReplyDelayMs = 100;
    DeviceSimulator simulated(options);
    PtyHost device(simulated);
    if (!device.open("", error)) {
        return false;
    }
    std::thread host([&device] {
        std::string hostError;
        if (!device.run(hostError)) {
            std::fprintf(stderr, "tarnwick-bench: simulated device: %s\n", hostError.c_str());
        }
    });
    const bool measured = measureOn(device.slavePath(), runs, m, error);
    device.stop();
    host.join();
    return measured;
}
bool measureOn(const std::string& portPath, int runs, Measurement& m, std::string& error) {
    SerialChannel serial;
    if (!serial.openPort(portPath)) {
        error = "cannot open " + portPath;
        return false;
    }
    CountingChannel channel(serial);
    BenchSession session(channel);
    session.connection.openPortName = portPath;
    if (!session.connect(error)) {
        serial.closePort();
        return false;
    }

    channel.reset();
    const std::size_t allocationsBefore = gAllocations;
    const double cpuBefore = cpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    for (int run = 0; run < runs; ++run) {
        m.failedRuns += session.readAll() ? 0 : 1;
    }
    const auto wall = std::chrono::steady_clock::now() - wallBefore;
    m.cpuMs = (cpuSeconds() - cpuBefore) * 1000.0;
    m.allocations = gAllocations - allocationsBefore;
    m.wallMs = std::chrono::duration<double, std::milli>(wall).count();
    m.requests = channel.requests;
    m.replies = channel.replies;
    m.bytesOut = channel.bytesOut;
    m.bytesIn = channel.bytesIn;

    disconnectOnExit(session.context, session.connection);
    serial.closePort();
    return true;
}

// The simulator spaces the frames of a multi-frame answer (the sensor read-out) on purpose:
// that idle time is the device's, not the link's.
double simulatorGapsMs(const Measurement& m) {
    const std::size_t further = m.replies > m.requests ? m.replies - m.requests : 0;
    return static_cast<double>(further) * SimulatorOptions{}.auxFrameIntervalMs;
}

void print(const char* mode, const Measurement& m) {
    const double wireMs =
        static_cast<double>(m.bytesOut + m.bytesIn) * kBitsPerByte * 1000.0 / kLineBaud;
    const double gapsMs = simulatorGapsMs(m);
    const double requests = m.requests == 0 ? 1.0 : static_cast<double>(m.requests);
    std::printf("%-12s %8.1f %8.1f %9.2f %8.1f %10.2f %5zu %5zu %6zu %6zu %8.1f %7.1f %3d\n", mode,
                m.wallMs, wireMs, m.wallMs / wireMs, gapsMs, (m.wallMs - gapsMs) / wireMs,
                m.requests, m.replies, m.bytesOut, m.bytesIn, m.cpuMs * 1000.0 / requests,
                static_cast<double>(m.allocations) / requests, m.failedRuns);
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    int trackers = 0; // 0: the read-all timings
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if ((arg == "--runs" || arg == "--provision") && i + 1 < argc) {
            const bool provision = arg == "--provision";
            const long limit = provision ? kMaxBenchTrackers : 1000;
            const std::string value = argv[++i];
            char* end = nullptr;
            const long parsed = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || parsed < 1 || parsed > limit) {
                std::fprintf(stderr, "tarnwick-bench: %s needs a count from 1 to %ld\n",
                             arg.c_str(), limit);
                return 2;
            }
            (provision ? trackers : runs) = static_cast<int>(parsed);
            continue;
        }
        std::fprintf(stderr, "tarnwick-bench: unknown argument %s\n\n%s", arg.c_str(), kUsage);
        return 2;
    }
    if (trackers > 0) {
        return runProvisionBench(trackers, runs);
    }

    std::printf("getAllSettings x %d per mode; wire time at %u baud, 10 bits per byte;\n"
                "gaps: the simulator's spacing of multi-frame answers; CPU us and allocs per "
                "request; bad: runs with a failed read\n",
                runs, kLineBaud);
    std::printf("%-12s %8s %8s %9s %8s %10s %5s %5s %6s %6s %8s %7s %3s\n", "mode", "wall ms",
                "wire ms", "wall/wire", "gaps ms", "(w-g)/wire", "reqs", "reps", "out B", "in B",
                "CPU us", "allocs", "bad");
    const struct {
        const char* name;
        std::uint32_t baud;
    } modes[] = {{"115200 baud", kLineBaud}, {"unpaced", 0}};
    bool allGood = true;
    for (const auto& mode : modes) {
        Measurement m;
        std::string error;
        if (!measure(mode.baud, runs, m, error)) {
            std::fprintf(stderr, "tarnwick-bench: %s: %s\n", mode.name, error.c_str());
            return 1;
        }
        print(mode.name, m);
        allGood = allGood && m.failedRuns == 0;
    }
    return allGood ? 0 : 1;
}
