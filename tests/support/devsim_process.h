#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// One tracker of a simulated fleet as the simulator announced it.
struct FleetPort {
    std::string path;
    std::string imei;
    std::string deviceId;
};

// The simulator program on a pseudo-terminal of its own, for tests that need a real port. Its
// first output line announces the terminal: "PORT /dev/pts/N".
class DevsimProcess {
  public:
    DevsimProcess() = default;
    ~DevsimProcess();
    DevsimProcess(const DevsimProcess&) = delete;
    DevsimProcess& operator=(const DevsimProcess&) = delete;

    // Runs `program` with `arguments` and waits up to `startTimeoutMs` for its port line; false
    // with the reason in `error` when it does not start or announces no port.
    [[nodiscard]] bool start(const std::string& program, const std::vector<std::string>& arguments,
                             std::string& error, int startTimeoutMs = 10000);
    // The same for a fleet (`arguments` holding --count): waits for its `count` port lines.
    [[nodiscard]] bool startFleet(const std::string& program,
                                  const std::vector<std::string>& arguments, int count,
                                  std::string& error, int startTimeoutMs = 10000);
    [[nodiscard]] const std::vector<FleetPort>& fleet() const { return fleet_; }
    // Waits up to `timeoutMs` for `line` (without its newline) among the output lines.
    [[nodiscard]] bool awaitLine(const std::string& line, int timeoutMs = 10000) const;
    // SIGTERM by PID, SIGKILL after `graceMs`; true when it ended by SIGTERM or with status 0.
    bool stop(int graceMs = 5000);
    [[nodiscard]] const std::string& portPath() const { return portPath_; }
    [[nodiscard]] pid_t pid() const { return pid_; }
    // Everything it has written to stdout so far, for failure messages.
    [[nodiscard]] std::string output() const;

  private:
    bool launch(const std::string& program, const std::vector<std::string>& arguments,
                std::size_t lines, std::string& error, int startTimeoutMs);

    pid_t pid_ = -1;
    std::string portPath_;
    std::vector<FleetPort> fleet_;
    std::string outputPath_;
};
