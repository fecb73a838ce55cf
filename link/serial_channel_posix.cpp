#include "link/serial_channel.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline`, rounded up so a wait never ends before it; 0 once passed.
int millisecondsUntil(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

// Waits for `events` on `fd` until `deadline`. Returns the revents, or 0 on time-out or error.
short waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const int waitMs = millisecondsUntil(deadline);
        if (waitMs == 0) {
            return 0;
        }
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, waitMs);
        if (ready > 0) {
            return entry.revents;
        }
        if (ready < 0 && errno != EINTR) {
            return 0;
        }
        // Time-out or a signal: the loop re-checks the deadline, so the wait is never cut short.
    }
}

// The errors of a port that is gone: a pty whose other side closed, a USB adapter pulled.
bool isGoneError(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

constexpr short kHangUpEvents = POLLHUP | POLLERR | POLLNVAL;

void setModemLine(int fd, unsigned long request, int line) {
    // Ptys and some USB drivers have no modem lines; the port works without them.
    (void)::ioctl(fd, request, &line);
}

} // namespace

struct SerialChannel::State {
    int fd = -1;
    termios original{}; // line settings as found, given back on close
    bool hungUp = false;
};

SerialChannel::SerialChannel() : state_(std::make_unique<State>()) {}

SerialChannel::~SerialChannel() {
    closePort();
}

bool SerialChannel::openPort(const std::string& devicePath) {
    if (state_->fd >= 0) {
        return false; // one port at a time: the caller closes the old one first
    }
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // TIOCEXCL makes later opens fail with EBUSY, but root passes it; the flock also keeps
    // out a second instance of the tool run as root. The lock comes first so that a refused
    // open leaves the holder's exclusive flag alone.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return false;
    }
    termios original{};
    if (::tcgetattr(fd, &original) != 0) {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return false;
    }
    // Raw so no byte is translated, swallowed or turned into a signal; cfmakeraw leaves the
    // speed alone. VMIN/VTIME 0 make read() return at once: poll() does the waiting.
    termios raw = original;
    ::cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &raw) != 0) {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return false;
    }
    setModemLine(fd, TIOCMBIS, TIOCM_DTR);
    state_->fd = fd;
    state_->original = original;
    state_->hungUp = false;
    discardInput(); // bytes left from a session before ours answer nothing we will ask
    return true;
}

bool SerialChannel::closePort() {
    if (state_->fd < 0) {
        return true;
    }
    const int fd = state_->fd;
    setModemLine(fd, TIOCMBIC, TIOCM_DTR);
    (void)::tcsetattr(fd, TCSANOW, &state_->original);
    // The exclusive flag belongs to the tty, not to this descriptor: another process that
    // still holds the port open would keep it set after our close.
    (void)::ioctl(fd, TIOCNXCL);
    // close() releases the descriptor even when it reports an error, so there is no port
    // left to keep: report the error, forget the descriptor.
    const int result = ::close(fd);
    state_->fd = -1;
    state_->hungUp = false;
    return result == 0;
}

bool SerialChannel::isOpen() const {
    return state_->fd >= 0;
}

bool SerialChannel::hungUp() const {
    return state_->hungUp;
}

bool SerialChannel::writeFrame(std::span<const std::uint8_t> frame) {
    const int fd = state_->fd;
    if (fd < 0 || state_->hungUp) {
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
    std::size_t written = 0;
    while (written < frame.size()) {
        const ssize_t count = ::write(fd, frame.data() + written, frame.size() - written);
        if (count > 0) {
            written += static_cast<std::size_t>(count); // go on after what the port took
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            state_->hungUp = isGoneError(errno);
            return false;
        }
        // The output buffer is full (flow control or a slow line): wait, but not for ever.
        const short revents = waitFor(fd, POLLOUT, deadline);
        if ((revents & kHangUpEvents) != 0) {
            state_->hungUp = true;
            return false;
        }
        if ((revents & POLLOUT) == 0) {
            return false;
        }
    }
    return true;
}

bool SerialChannel::readByte(std::uint32_t timeoutMs, std::uint8_t& byte) {
    const int fd = state_->fd;
    if (fd < 0 || state_->hungUp) {
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    short revents = 0;
    for (;;) {
        std::uint8_t received = 0;
        const ssize_t count = ::read(fd, &received, 1);
        if (count == 1) {
            byte = received;
            return true;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            state_->hungUp = isGoneError(errno);
            return false;
        }
        // With VMIN 0 an empty read means "nothing yet", never a byte: wait out the rest of
        // the time-out. But a hung-up tty reads empty for good: once the wait has reported a
        // hang-up, or the port readable and the read found nothing, it is gone (bytes queued
        // before the hang-up were still read).
        if ((revents & kHangUpEvents) != 0 || (count == 0 && (revents & POLLIN) != 0)) {
            state_->hungUp = true;
            return false;
        }
        revents = waitFor(fd, POLLIN, deadline);
        if (revents == 0) {
            return false; // time-out
        }
    }
}

void SerialChannel::discardInput() {
    if (state_->fd >= 0) {
        (void)::tcflush(state_->fd, TCIFLUSH);
    }
}

std::string devicePathForPort(std::string_view portName) {
    return std::string(portName);
}

std::uint32_t lastChannelError() {
    return static_cast<std::uint32_t>(errno);
}
