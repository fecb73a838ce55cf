#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace pty_test {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// The channel opens the slave by path, the test plays the device on the master. The slave starts
// cooked at 57600 baud, so a byte not passed raw is translated, swallowed or echoed: tests see it.
struct PtyPair {
    int master = -1;
    int slave = -1;
    std::string path;

    PtyPair() {
        char name[256] = {};
        (void)::openpty(&master, &slave, name, nullptr, nullptr); // failed: ok() is false
        path = name;
        termios cooked{};
        ::tcgetattr(slave, &cooked);
        cooked.c_iflag |= ICRNL | IXON;
        cooked.c_oflag |= OPOST | ONLCR;
        cooked.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
        ::cfsetspeed(&cooked, B57600);
        ::tcsetattr(slave, TCSANOW, &cooked);
    }
    ~PtyPair() {
        closeMaster();
        ::close(slave);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master >= 0 && slave >= 0; }
    void closeMaster() { ::close(std::exchange(master, -1)); }
    bool send(const Bytes& bytes) const {
        return ::write(master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Reads from the master until `count` bytes came or `timeoutMs` passed.
    Bytes receive(std::size_t count, int timeoutMs) const {
        return take(count, Clock::now() + std::chrono::milliseconds(timeoutMs), timeoutMs);
    }
    // Everything the master can read until it has been quiet for `quietMs`.
    Bytes drain(int quietMs) const {
        return take(SIZE_MAX, Clock::now() + std::chrono::minutes(10), quietMs);
    }

  private:
    Bytes take(std::size_t count, Clock::time_point deadline, int quietMs) const {
        Bytes got;
        std::uint8_t buffer[4096];
        pollfd entry{master, POLLIN, 0};
        for (ssize_t n = 1; n > 0 && got.size() < count && Clock::now() < deadline;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            n = ::poll(&entry, 1, std::min<int>(left.count(), quietMs)) > 0
                    ? ::read(master, buffer, std::min(sizeof buffer, count - got.size()))
                    : 0;
            got.insert(got.end(), buffer, buffer + std::max<ssize_t>(n, 0));
        }
        return got;
    }
};

} // namespace pty_test
