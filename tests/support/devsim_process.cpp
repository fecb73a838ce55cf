#include "tests/support/devsim_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string describeStatus(int status) {
    if (WIFEXITED(status)) {
        return "exited with " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return "killed by signal " + std::to_string(WTERMSIG(status));
    }
    return "ended with status " + std::to_string(status);
}

} // namespace

DevsimProcess::~DevsimProcess() {
    stop();
    if (!outputPath_.empty()) {
        ::unlink(outputPath_.c_str());
    }
}

std::string DevsimProcess::output() const {
    return outputPath_.empty() ? std::string() : readWholeFile(outputPath_);
}

bool DevsimProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                          std::string& error, int startTimeoutMs) {
    if (pid_ > 0) {
        error = "already running";
        return false;
    }
    // stdout goes to a file rather than a pipe: nobody has to keep draining it, so a
    // chatty simulator can never block on a full pipe in the middle of a test.
    char pattern[] = "/tmp/tarnwick-devsim-XXXXXX";
    const int outputFd = ::mkstemp(pattern);
    if (outputFd < 0) {
        error = "cannot create the output file";
        return false;
    }
    outputPath_ = pattern;

    // Everything the child needs is built before fork: after it only exec-safe calls.
    std::vector<std::string> argvText;
    argvText.push_back(program);
    argvText.insert(argvText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : argvText) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child < 0) {
        ::close(outputFd);
        error = "fork failed";
        return false;
    }
    if (child == 0) {
        ::dup2(outputFd, STDOUT_FILENO);
        ::close(outputFd);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(outputFd);
    pid_ = child;

    const auto deadline = Clock::now() + std::chrono::milliseconds(startTimeoutMs);
    for (;;) {
        const std::string text = output();
        const auto lineEnd = text.find('\n');
        if (lineEnd != std::string::npos) {
            std::string line = text.substr(0, lineEnd);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            const std::string prefix = "PORT ";
            if (line.rfind(prefix, 0) != 0 || line.size() == prefix.size()) {
                error = "unexpected first line \"" + line + "\"";
                stop();
                return false;
            }
            portPath_ = line.substr(prefix.size());
            return true;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error = program + " " + describeStatus(status) +
                    " before announcing a port; output: \"" + text + "\"";
            return false;
        }
        if (Clock::now() >= deadline) {
            error = "no port line within " + std::to_string(startTimeoutMs) + " ms; output: \"" +
                    text + "\"";
            stop();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool DevsimProcess::stop(int graceMs) {
    if (pid_ <= 0) {
        return false;
    }
    const pid_t child = pid_;
    pid_ = -1;
    ::kill(child, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::milliseconds(graceMs);
    int status = 0;
    for (;;) {
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child) {
            break;
        }
        if (ended < 0 && errno != EINTR) {
            return false;
        }
        if (Clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return (WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) ||
           (WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
