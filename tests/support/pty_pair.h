#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace pty_test {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// A pseudo-terminal pair: the channel opens the slave by path, the test plays the device on
// the master. The slave starts in the usual cooked mode, so any byte the channel fails to
// pass raw is translated, swallowed or echoed, and the tests see it.
struct PtyPair {
    int master = -1;
    int slave = -1;
    std::string path;

    PtyPair() {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            return;
        }
        path = name;
        termios cooked{};
        ::tcgetattr(slave, &cooked);
        cooked.c_iflag |= ICRNL | IXON;
        cooked.c_oflag |= OPOST | ONLCR;
        cooked.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
        ::cfsetispeed(&cooked, B57600);
        ::cfsetospeed(&cooked, B57600);
        ::tcsetattr(slave, TCSANOW, &cooked);
    }
    ~PtyPair() {
        closeMaster();
        if (slave >= 0) {
            ::close(slave);
        }
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master >= 0 && slave >= 0; }
    void closeMaster() {
        if (master >= 0) {
            ::close(master);
            master = -1;
        }
    }

    bool send(const Bytes& bytes) const {
        return ::write(master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Reads from the master until `count` bytes came or `timeoutMs` passed.
    Bytes receive(std::size_t count, int timeoutMs) const {
        Bytes got;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd entry{master, POLLIN, 0};
            if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            std::uint8_t buffer[4096];
            const std::size_t want = std::min(sizeof buffer, count - got.size());
            const ssize_t n = ::read(master, buffer, want);
            if (n <= 0) {
                break;
            }
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

    // Everything the master can read until it has been quiet for `quietMs`.
    Bytes drain(int quietMs) const {
        Bytes got;
        for (;;) {
            pollfd entry{master, POLLIN, 0};
            if (::poll(&entry, 1, quietMs) <= 0) {
                return got;
            }
            std::uint8_t buffer[4096];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) {
                return got;
            }
            got.insert(got.end(), buffer, buffer + n);
        }
    }
};

} // namespace pty_test
