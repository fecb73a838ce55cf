#pragma once

#include "sim/device_simulator.h"

#include <cstdio>
#include <string>

// Puts a DeviceSimulator behind a pseudo-terminal, so that a program opens the slave as its
// serial port. The device's answer leaves in real time, paced as the simulator schedules it.
class PtyHost {
  public:
    explicit PtyHost(DeviceSimulator& device) : device_(device) {}
    ~PtyHost();
    PtyHost(const PtyHost&) = delete;
    PtyHost& operator=(const PtyHost&) = delete;

    // Opens the pseudo-terminal; with a non-empty `linkPath` also a symbolic link there to the
    // slave (an existing link is replaced, any other file is left alone and refused).
    bool open(const std::string& linkPath, std::string& error);
    const std::string& slavePath() const { return slavePath_; }

    // Serves the device until stop() is called or, after stopOnSignals(), SIGTERM or SIGINT.
    bool run(std::string& error);

    // Safe to call from a signal handler or another thread.
    void stop();

    // SIGTERM and SIGINT stop run() of this host, and of every other host that asked so (up
    // to kMaxSignalHosts per process).
    bool stopOnSignals(std::string& error);
    static constexpr int kMaxSignalHosts = 64;

    // Once the device has received `requests` requests in total, run() unplugs it: writes
    // "UNPLUG <link>" to `events`, closes the pseudo-terminal (a client holding the slave sees
    // a hang-up) and removes the link; `downMs` later it opens a new one behind the same link,
    // the device's state kept, and writes "REPLUG <link>". Once only; needs a link.
    void replugAfter(std::size_t requests, std::uint32_t downMs, std::FILE* events);

    // Each decoded request is written as one line to `log` (nullptr: none).
    void logRequestsTo(std::FILE* log) { requestLog_ = log; }

    // Removes the link and closes the pseudo-terminal; also done on destruction.
    void close();

  private:
    bool openTerminal(const std::string& linkPath, std::string& error);
    void closeTerminal();
    void logNewRequests();
    // Once the device has vanished: nothing to serve but the stop.
    bool waitForStop(std::string& error);
    // Unplugs, waits and plugs in again; false with `stopped` when stop() came meanwhile.
    bool replug(bool& stopped, std::string& error);

    DeviceSimulator& device_;
    int masterFd_ = -1;
    int slaveFd_ = -1; // held open so the master sees no hang-up between clients
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::string slavePath_;
    std::string linkPath_;
    std::FILE* requestLog_ = nullptr;
    std::size_t loggedRequests_ = 0;
    std::size_t receivedRequests_ = 0;    // since open()
    std::size_t replugAfterRequests_ = 0; // 0: no replug scripted
    std::uint32_t replugDownMs_ = 0;
    std::FILE* replugEvents_ = nullptr;
};
