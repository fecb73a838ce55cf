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

    // SIGTERM and SIGINT stop run() of this host. One host per process may do so.
    bool stopOnSignals(std::string& error);

    // Each decoded request is written as one line to `log` (nullptr: none).
    void logRequestsTo(std::FILE* log) { requestLog_ = log; }

    // Removes the link and closes the pseudo-terminal; also done on destruction.
    void close();

  private:
    bool writeDue(std::string& error);
    void logNewRequests();

    DeviceSimulator& device_;
    int masterFd_ = -1;
    int slaveFd_ = -1; // held open so the master sees no hang-up between clients
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::string slavePath_;
    std::string linkPath_;
    std::FILE* requestLog_ = nullptr;
    std::size_t loggedRequests_ = 0;
};
