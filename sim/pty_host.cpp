#include "sim/pty_host.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// The wake pipes of the hosts that stop on SIGTERM and SIGINT, each as its descriptor + 1, so
// that the zero a static starts with marks a free slot.
std::atomic<int> signalWakeFds[PtyHost::kMaxSignalHosts];

void onStopSignal(int) {
    for (std::atomic<int>& slot : signalWakeFds) {
        const int fd = slot.load() - 1;
        if (fd >= 0) {
            const char byte = 's';
            [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
        }
    }
}

std::string systemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

bool setFlags(int fd, int statusFlags) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | statusFlags) == 0 &&
           ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

// Waits for `fds` at most until `deadline` (for ever when there is none). The wait keeps
// sub-millisecond precision where the system offers it: a byte at 115200 baud takes 87 us.
int waitFor(pollfd* fds, nfds_t count, const Clock::time_point* deadline) {
    if (deadline == nullptr) {
        return ::poll(fds, count, -1);
    }
    const auto remaining = std::max(Clock::duration::zero(), *deadline - Clock::now());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(remaining).count();
#if defined(__linux__)
    timespec timeout{};
    timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
    timeout.tv_nsec = static_cast<long>(ns % 1000000000);
    return ::ppoll(fds, count, &timeout, nullptr);
#else
    return ::poll(fds, count, static_cast<int>((ns + 999999) / 1000000));
#endif
}

} // namespace

PtyHost::~PtyHost() {
    close();
}

bool PtyHost::open(const std::string& linkPath, std::string& error) {
    close();
    receivedRequests_ = 0;
    int wake[2] = {-1, -1};
    if (::pipe(wake) != 0) {
        error = systemError("pipe");
        return false;
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    if (!setFlags(wakeRead_, O_NONBLOCK) || !setFlags(wakeWrite_, O_NONBLOCK)) {
        error = systemError("fcntl");
        close();
        return false;
    }
    if (!openTerminal(linkPath, error)) {
        close();
        return false;
    }
    return true;
}

bool PtyHost::openTerminal(const std::string& linkPath, std::string& error) {
    masterFd_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (masterFd_ < 0) {
        error = systemError("posix_openpt");
        return false;
    }
    if (::grantpt(masterFd_) != 0 || ::unlockpt(masterFd_) != 0) {
        error = systemError("grantpt/unlockpt");
        return false;
    }
    const char* name = ::ptsname(masterFd_);
    if (name == nullptr) {
        error = systemError("ptsname");
        return false;
    }
    slavePath_ = name;
    slaveFd_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd_ < 0) {
        error = systemError(("open " + slavePath_).c_str());
        return false;
    }
    // Raw, so that every byte passes unchanged: no echo, no line editing, no CR/LF mapping.
    termios settings{};
    if (::tcgetattr(slaveFd_, &settings) != 0) {
        error = systemError("tcgetattr");
        return false;
    }
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B115200);
    ::cfsetospeed(&settings, B115200);
    if (::tcsetattr(slaveFd_, TCSANOW, &settings) != 0) {
        error = systemError("tcsetattr");
        return false;
    }
    if (!setFlags(masterFd_, O_NONBLOCK)) {
        error = systemError("fcntl");
        return false;
    }
    if (!linkPath.empty()) {
        struct stat existing {};
        if (::lstat(linkPath.c_str(), &existing) == 0) {
            if (!S_ISLNK(existing.st_mode)) {
                error = linkPath + " exists and is not a symbolic link";
                return false;
            }
            ::unlink(linkPath.c_str()); // a link left by an earlier run
        }
        if (::symlink(slavePath_.c_str(), linkPath.c_str()) != 0) {
            error = systemError(("symlink " + linkPath).c_str());
            return false;
        }
        linkPath_ = linkPath;
    }
    return true;
}

void PtyHost::closeTerminal() {
    if (!linkPath_.empty()) {
        char target[256] = {};
        const ssize_t length = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (length > 0 && slavePath_ == std::string(target, static_cast<std::size_t>(length))) {
            ::unlink(linkPath_.c_str());
        }
        linkPath_.clear();
    }
    for (int* fd : {&masterFd_, &slaveFd_}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

void PtyHost::close() {
    closeTerminal();
    if (wakeWrite_ >= 0) {
        for (std::atomic<int>& slot : signalWakeFds) {
            int mine = wakeWrite_ + 1;
            slot.compare_exchange_strong(mine, 0);
        }
    }
    for (int* fd : {&wakeRead_, &wakeWrite_}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

void PtyHost::stop() {
    if (wakeWrite_ >= 0) {
        const char byte = 's';
        [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &byte, 1);
    }
}

bool PtyHost::stopOnSignals(std::string& error) {
    if (wakeWrite_ < 0) {
        error = "the pseudo-terminal is not open";
        return false;
    }
    bool registered = false;
    for (std::atomic<int>& slot : signalWakeFds) {
        int free = 0;
        if (slot.load() == wakeWrite_ + 1 || slot.compare_exchange_strong(free, wakeWrite_ + 1)) {
            registered = true;
            break;
        }
    }
    if (!registered) {
        error = "more than " + std::to_string(kMaxSignalHosts) + " hosts stop on signals";
        return false;
    }
    struct sigaction action {};
    action.sa_handler = &onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a waiting poll returns at once
    if (::sigaction(SIGTERM, &action, nullptr) != 0 || ::sigaction(SIGINT, &action, nullptr) != 0) {
        error = systemError("sigaction");
        return false;
    }
    return true;
}

void PtyHost::logNewRequests() {
    const std::vector<RecordedRequest>& requests = device_.requests();
    if (requestLog_ != nullptr) {
        for (std::size_t i = loggedRequests_; i < requests.size(); ++i) {
            std::fprintf(requestLog_, "REQ 0x%04X", requests[i].code);
            for (std::uint8_t byte : requests[i].message) {
                std::fprintf(requestLog_, " %02X", byte);
            }
            std::fputc('\n', requestLog_);
        }
        std::fflush(requestLog_);
    }
    receivedRequests_ += requests.size();
    // A long session would otherwise keep every request.
    device_.clearRequests();
    loggedRequests_ = 0;
}

void PtyHost::replugAfter(std::size_t requests, std::uint32_t downMs, std::FILE* events) {
    replugAfterRequests_ = requests;
    replugDownMs_ = downMs;
    replugEvents_ = events;
}

bool PtyHost::replug(bool& stopped, std::string& error) {
    const std::string link = linkPath_;
    replugAfterRequests_ = 0;
    // What the device was about to say dies with the cable.
    for (ScheduledByte dropped; device_.nextOutput(dropped);) {
    }
    std::fprintf(replugEvents_, "UNPLUG %s\n", link.c_str());
    std::fflush(replugEvents_);
    closeTerminal();
    pollfd wake = {wakeRead_, POLLIN, 0};
    const Clock::time_point back = Clock::now() + std::chrono::milliseconds(replugDownMs_);
    int ready = 0;
    while ((ready = waitFor(&wake, 1, &back)) < 0 && errno == EINTR) {
    }
    if (ready > 0) {
        stopped = true;
        return true;
    }
    if (!openTerminal(link, error)) {
        return false;
    }
    std::fprintf(replugEvents_, "REPLUG %s\n", link.c_str());
    std::fflush(replugEvents_);
    return true;
}

bool PtyHost::waitForStop(std::string& error) {
    pollfd wake = {wakeRead_, POLLIN, 0};
    while (::poll(&wake, 1, -1) < 0) {
        if (errno != EINTR) {
            error = systemError("poll");
            return false;
        }
    }
    return true;
}

bool PtyHost::run(std::string& error) {
    if (masterFd_ < 0) {
        error = "the pseudo-terminal is not open";
        return false;
    }
    bool headPending = false;
    ScheduledByte head;
    Clock::time_point headDue{};
    Clock::time_point lastSent{};
    bool streaming = false; // the head follows a byte just sent, not a quiet line

    while (true) {
        if (!headPending && device_.nextOutput(head)) {
            const Clock::time_point base = streaming ? lastSent : Clock::now();
            headDue = base + std::chrono::microseconds(head.delayUs);
            headPending = true;
        }
        pollfd fds[2] = {{masterFd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        const int ready = waitFor(fds, 2, headPending ? &headDue : nullptr);
        if (ready < 0 && errno != EINTR) {
            error = systemError("poll");
            return false;
        }
        if (ready > 0 && (fds[1].revents & POLLIN) != 0) {
            char drained[16];
            while (::read(wakeRead_, drained, sizeof drained) > 0) {
            }
            return true;
        }
        if (ready > 0 && (fds[0].revents & (POLLERR | POLLNVAL)) != 0) {
            error = "the pseudo-terminal failed";
            return false;
        }
        if (ready > 0 && (fds[0].revents & POLLIN) != 0) {
            std::uint8_t buffer[256];
            const ssize_t count = ::read(masterFd_, buffer, sizeof buffer);
            if (count > 0) {
                device_.receive(buffer, static_cast<std::size_t>(count));
                logNewRequests();
                if (device_.hungUp()) {
                    // A hangup fault: the client sees its port hang up; no second pty comes.
                    closeTerminal();
                    return waitForStop(error);
                }
                if (replugAfterRequests_ > 0 && receivedRequests_ >= replugAfterRequests_ &&
                    !linkPath_.empty()) {
                    bool stopped = false;
                    if (!replug(stopped, error)) {
                        return false;
                    }
                    if (stopped) {
                        return true;
                    }
                    headPending = false;
                    streaming = false;
                    continue;
                }
            } else if (count < 0 && errno != EAGAIN && errno != EINTR) {
                error = systemError("read");
                return false;
            }
        }
        while (headPending && Clock::now() >= headDue) {
            // A byte the pseudo-terminal cannot take (nobody has read for a long while) is
            // lost, as on a serial line without a listener.
            if (::write(masterFd_, &head.value, 1) < 0 && errno != EAGAIN && errno != EINTR) {
                error = systemError("write");
                return false;
            }
            lastSent = headDue;
            headPending = device_.nextOutput(head);
            streaming = headPending;
            if (headPending) {
                headDue = lastSent + std::chrono::microseconds(head.delayUs);
            }
        }
    }
}
