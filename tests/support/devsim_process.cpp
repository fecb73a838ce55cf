#include "tests/support/devsim_process.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

// Polls until `child` has ended (true, with its status) or `ms` have passed.
bool waitFor(pid_t child, int ms, int& status) {
    for (int waited = 0; ::waitpid(child, &status, WNOHANG) != child; waited += 10) {
        if (waited >= ms) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace

DevsimProcess::~DevsimProcess() {
    stop();
    ::unlink(outputPath_.c_str());
}

std::string DevsimProcess::output() const {
    std::ifstream in(outputPath_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool DevsimProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                          std::string& error, int startTimeoutMs) {
    if (!launch(program, arguments, 1, error, startTimeoutMs)) {
        return false;
    }
    const std::string text = output();
    portPath_ = text.substr(5, text.find('\n') - 5);
    return true;
}

bool DevsimProcess::startFleet(const std::string& program,
                               const std::vector<std::string>& arguments, int count,
                               std::string& error, int startTimeoutMs) {
    if (!launch(program, arguments, static_cast<std::size_t>(count), error, startTimeoutMs)) {
        return false;
    }
    std::istringstream lines(output());
    for (std::string line; std::getline(lines, line) && fleet_.size() < std::size_t(count);) {
        std::istringstream words(line.substr(5));
        FleetPort port;
        if (!(words >> port.path >> port.imei >> port.deviceId)) {
            error = "not a fleet port line: " + line;
            stop();
            return false;
        }
        fleet_.push_back(port);
    }
    portPath_ = fleet_.front().path;
    return true;
}

bool DevsimProcess::awaitLine(const std::string& line, int timeoutMs) const {
    for (int waitedMs = 0; waitedMs < timeoutMs; waitedMs += 10) {
        if (("\n" + output()).find("\n" + line + "\n") != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Starts `program` and waits until its output begins with `lines` whole "PORT " lines.
bool DevsimProcess::launch(const std::string& program, const std::vector<std::string>& arguments,
                           std::size_t lines, std::string& error, int startTimeoutMs) {
    stop(); // a second start replaces the running simulator
    ::unlink(outputPath_.c_str());
    portPath_.clear();
    fleet_.clear();
    error = "cannot start " + program;
    // stdout goes to a file, not a pipe: a chatty simulator never blocks on a full pipe.
    char pattern[] = "/tmp/tarnwick-devsim-XXXXXX";
    const int outputFd = ::mkstemp(pattern);
    outputPath_ = pattern;
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_ = outputFd < 0 ? -1 : ::fork();
    if (pid_ == 0) {
        ::dup2(outputFd, STDOUT_FILENO);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(outputFd);
    for (int waitedMs = 0; pid_ > 0 && waitedMs < startTimeoutMs; waitedMs += 10) {
        const std::string text = output();
        std::size_t complete = 0;
        for (std::size_t at = 0; complete < lines && at < text.size(); ++complete) {
            const std::size_t end = text.find('\n', at);
            if (end == std::string::npos) {
                break;
            }
            if (text.compare(at, 5, "PORT ") != 0) {
                error = "unexpected line: " + text.substr(at, end - at);
                stop();
                return false;
            }
            at = end + 1;
        }
        if (complete == lines) {
            return true;
        }
        int status = 0;
        if (waitFor(pid_, 10, status)) {
            pid_ = -1; // ended without its port lines
        }
        error = "no port line from " + program + ": " + text;
    }
    stop();
    return false;
}

bool DevsimProcess::stop(int graceMs) {
    if (pid_ <= 0) {
        return false;
    }
    const pid_t child = std::exchange(pid_, -1);
    ::kill(child, SIGTERM);
    int status = 0;
    if (!waitFor(child, graceMs, status)) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        return false;
    }
    return (WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) ||
           (WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
