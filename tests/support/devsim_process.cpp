#include "tests/support/devsim_process.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
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
    stop(); // a second start replaces the running simulator
    ::unlink(outputPath_.c_str());
    portPath_.clear();
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
        if (const std::size_t end = text.find('\n'); end != std::string::npos) {
            if (text.starts_with("PORT ")) {
                portPath_ = text.substr(5, end - 5);
                return true;
            }
            error = "unexpected first line: " + text;
            break;
        }
        int status = 0;
        if (waitFor(pid_, 10, status)) {
            pid_ = -1; // ended without a port line
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
