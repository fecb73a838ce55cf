#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// The simulator program running on a pseudo-terminal of its own, for tests that need a real
// port. It announces the terminal as its first output line, "PORT /dev/pts/N".
class DevsimProcess {
  public:
    DevsimProcess() = default;
    ~DevsimProcess();
    DevsimProcess(const DevsimProcess&) = delete;
    DevsimProcess& operator=(const DevsimProcess&) = delete;

    // Runs `program` with `arguments` and waits up to `startTimeoutMs` for its port line.
    // False with a reason in `error` when it does not start or does not announce a port.
    [[nodiscard]] bool start(const std::string& program, const std::vector<std::string>& arguments,
                             std::string& error, int startTimeoutMs = 10000);

    // SIGTERM by PID, then waits for it (SIGKILL after `graceMs`). True when it had to be
    // stopped and ended by that signal or exited with 0.
    bool stop(int graceMs = 5000);

    [[nodiscard]] const std::string& portPath() const { return portPath_; }
    [[nodiscard]] pid_t pid() const { return pid_; }
    // Everything the program has written to stdout so far, for failure messages.
    [[nodiscard]] std::string output() const;

  private:
    pid_t pid_ = -1;
    std::string portPath_;
    std::string outputPath_;
};
