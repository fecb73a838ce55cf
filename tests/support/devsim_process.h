#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

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
    // SIGTERM by PID, SIGKILL after `graceMs`; true when it ended by SIGTERM or with status 0.
    bool stop(int graceMs = 5000);
    [[nodiscard]] const std::string& portPath() const { return portPath_; }
    [[nodiscard]] pid_t pid() const { return pid_; }
    // Everything it has written to stdout so far, for failure messages.
    [[nodiscard]] std::string output() const;

  private:
    pid_t pid_ = -1;
    std::string portPath_;
    std::string outputPath_;
};
