#include "link/serial_channel.h"
#include "tests/support/pty_pair.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace pty_test;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

Bytes allByteValues() {
    Bytes bytes(256);
    for (int i = 0; i < 256; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i);
    }
    return bytes;
}

// Bytes that never repeat in step with a buffer size, so a resent start or a lost piece
// shows as a mismatch.
Bytes pseudoRandomBytes(std::size_t count) {
    Bytes bytes(count);
    std::uint32_t state = 0x12345678u;
    for (auto& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}

struct ByteRow {
    const char* name;
    Bytes bytes;
};

std::vector<ByteRow> byteRows() {
    return {
        {"get master flag request", {0x00, 0x02, 0x04, 0x02, 0x09, 0x01, 0x01}},
        {"line discipline specials",
         {0x0A, 0x0D, 0x03, 0x11, 0x13, 0x1A, 0x1C, 0x7F, 0xFF, 0x04, 0x15, 0x17, 0x12, 0x16, 0x0F,
          0x08, 0x09, 0x1B}},
        {"line ends", {0x0D, 0x0A, 0x0A, 0x0D, 0x0D, 0x0D}},
        {"every byte value", allByteValues()},
    };
}

TEST(SerialChannelPosix, WriteFramePutsEveryByteOnTheLineUnchanged) {
    for (const ByteRow& row : byteRows()) {
        SCOPED_TRACE(row.name);
        PtyPair pty;
        ASSERT_TRUE(pty.ok());
        SerialChannel channel;
        ASSERT_TRUE(channel.openPort(pty.path));

        ASSERT_TRUE(channel.writeFrame(row.bytes));

        EXPECT_EQ(pty.receive(row.bytes.size(), 5000), row.bytes);
        EXPECT_TRUE(pty.drain(100).empty()) << "bytes added on the way";
    }
}

TEST(SerialChannelPosix, ReadByteTakesEveryByteUnchangedAndEchoesNothing) {
    for (const ByteRow& row : byteRows()) {
        SCOPED_TRACE(row.name);
        PtyPair pty;
        ASSERT_TRUE(pty.ok());
        SerialChannel channel;
        ASSERT_TRUE(channel.openPort(pty.path));

        ASSERT_TRUE(pty.send(row.bytes));

        Bytes got;
        std::uint8_t byte = 0;
        while (got.size() < row.bytes.size() && channel.readByte(2000, byte)) {
            got.push_back(byte);
        }
        EXPECT_EQ(got, row.bytes);
        EXPECT_FALSE(channel.readByte(100, byte)) << "extra byte " << int(byte);
        EXPECT_TRUE(pty.drain(100).empty()) << "the port echoed what it received";
    }
}

TEST(SerialChannelPosix, OpenKeepsTheSpeedAndCloseGivesTheSettingsBack) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SerialChannel channel;
    ASSERT_TRUE(channel.openPort(pty.path));

    termios open{};
    ASSERT_EQ(::tcgetattr(pty.slave, &open), 0);
    EXPECT_EQ(::cfgetispeed(&open), static_cast<speed_t>(B57600));
    EXPECT_EQ(::cfgetospeed(&open), static_cast<speed_t>(B57600));
    EXPECT_EQ(open.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(open.c_iflag & (ICRNL | IXON | ISTRIP), 0u);
    EXPECT_EQ(open.c_oflag & OPOST, 0u);

    EXPECT_TRUE(channel.closePort());
    termios closed{};
    ASSERT_EQ(::tcgetattr(pty.slave, &closed), 0);
    EXPECT_NE(closed.c_lflag & ICANON, 0u);
    EXPECT_NE(closed.c_oflag & ONLCR, 0u);
    EXPECT_EQ(::cfgetospeed(&closed), static_cast<speed_t>(B57600));
}

TEST(SerialChannelPosix, ReadByteTimesOutAndTheNextReadStillWorks) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SerialChannel channel;
    ASSERT_TRUE(channel.openPort(pty.path));

    std::uint8_t byte = 0xEE;
    const auto start = Clock::now();
    EXPECT_FALSE(channel.readByte(250, byte));
    const auto elapsed = msSince(start);
    EXPECT_GE(elapsed, 250);
    EXPECT_LT(elapsed, 250 + 5000);
    EXPECT_EQ(byte, 0xEE) << "a failed read must not touch the byte";

    ASSERT_TRUE(pty.send({0x5A}));
    EXPECT_TRUE(channel.readByte(2000, byte));
    EXPECT_EQ(byte, 0x5A);
}

TEST(SerialChannelPosix, ReadByteFailsSoonWhenTheOtherEndHangsUp) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SerialChannel channel;
    ASSERT_TRUE(channel.openPort(pty.path));

    pty.closeMaster();
    std::uint8_t byte = 0;
    const auto start = Clock::now();
    EXPECT_FALSE(channel.readByte(20000, byte));
    EXPECT_LT(msSince(start), 10000) << "a hang-up must not wait out the time-out";
}

TEST(SerialChannelPosix, ClosedChannelFailsAtOnce) {
    struct Row {
        const char* name;
        bool openFirst;
    };
    const std::vector<Row> rows = {{"never opened", false}, {"opened and closed", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PtyPair pty;
        ASSERT_TRUE(pty.ok());
        SerialChannel channel;
        if (row.openFirst) {
            ASSERT_TRUE(channel.openPort(pty.path));
            ASSERT_TRUE(channel.closePort());
        }
        EXPECT_FALSE(channel.isOpen());

        const Bytes frame = {0x00, 0x02, 0x04, 0x02, 0x09, 0x01, 0x01};
        auto start = Clock::now();
        EXPECT_FALSE(channel.writeFrame(frame));
        EXPECT_LT(msSince(start), kWriteTimeoutMs) << "a closed channel must not wait";

        std::uint8_t byte = 0;
        start = Clock::now();
        EXPECT_FALSE(channel.readByte(10000, byte));
        EXPECT_LT(msSince(start), 5000);

        EXPECT_TRUE(channel.closePort());
        EXPECT_TRUE(channel.closePort());
        EXPECT_TRUE(pty.drain(100).empty());
    }
}

TEST(SerialChannelPosix, OpenFailsForWhatIsNoPort) {
    struct Row {
        const char* name;
        std::string path;
    };
    const std::vector<Row> rows = {
        {"missing path", "/dev/tarnwick-no-such-port"},
        {"empty path", ""},
        {"directory", "/tmp"},
        {"not a terminal", "/dev/null"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SerialChannel channel;
        EXPECT_FALSE(channel.openPort(row.path));
        EXPECT_FALSE(channel.isOpen());
        EXPECT_FALSE(channel.writeFrame(Bytes{0x00, 0x01}));
        EXPECT_TRUE(channel.closePort());
    }
}

TEST(SerialChannelPosix, OpenWhileOpenKeepsTheFirstPort) {
    PtyPair first;
    PtyPair second;
    ASSERT_TRUE(first.ok());
    ASSERT_TRUE(second.ok());
    SerialChannel channel;
    ASSERT_TRUE(channel.openPort(first.path));

    EXPECT_FALSE(channel.openPort(second.path));
    EXPECT_TRUE(channel.isOpen());

    const Bytes frame = {0x00, 0x02, 0x04, 0x02, 0x09, 0x01, 0x01};
    ASSERT_TRUE(channel.writeFrame(frame));
    EXPECT_EQ(first.receive(frame.size(), 5000), frame);
    EXPECT_TRUE(second.drain(100).empty());

    // The refused path was not left locked either.
    SerialChannel other;
    EXPECT_TRUE(other.openPort(second.path));
}

TEST(SerialChannelPosix, SecondOpenOfAnOpenPortFails) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SerialChannel first;
    ASSERT_TRUE(first.openPort(pty.path));

    SerialChannel second;
    EXPECT_FALSE(second.openPort(pty.path));
    EXPECT_FALSE(second.isOpen());

#ifdef TIOCGEXCL
    int exclusive = 0;
    ASSERT_EQ(::ioctl(pty.slave, TIOCGEXCL, &exclusive), 0);
    EXPECT_NE(exclusive, 0);
#endif

    // The first channel still owns a working port.
    const Bytes frame = {0x00, 0x02, 0x04, 0x02, 0x09, 0x01, 0x01};
    ASSERT_TRUE(first.writeFrame(frame));
    EXPECT_EQ(pty.receive(frame.size(), 5000), frame);
}

// Opens `path` as a plain open(2) would from an unprivileged process: the errno it fails
// with, 0 when it opens, -1 when the test cannot act as another user.
int openErrnoAsOtherUser(const std::string& path) {
    if (::geteuid() != 0) {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            return 0;
        }
        return errno;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        // Root passes TIOCEXCL; nobody does not.
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(255);
        }
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ::_exit(fd >= 0 ? 0 : (errno > 0 && errno < 255 ? errno : 254));
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 255) {
        return -1;
    }
    return WEXITSTATUS(status);
}

TEST(SerialChannelPosix, AnotherProcessCannotOpenThePortWhileItIsOpen) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_EQ(::fchmod(pty.slave, 0666), 0);

    const int before = openErrnoAsOtherUser(pty.path);
    if (before == -1) {
        GTEST_SKIP() << "running as root without the right to become another user: root "
                        "passes TIOCEXCL, so exclusive use cannot be observed";
    }
    ASSERT_EQ(before, 0) << "the unlocked port must open, or the check below proves nothing";

    SerialChannel channel;
    ASSERT_TRUE(channel.openPort(pty.path));
    EXPECT_EQ(openErrnoAsOtherUser(pty.path), EBUSY);

    ASSERT_TRUE(channel.closePort());
    EXPECT_EQ(openErrnoAsOtherUser(pty.path), 0) << "closing must give the port free";
}

TEST(SerialChannelPosix, ClosePortReleasesThePort) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SerialChannel channel;
    ASSERT_TRUE(channel.openPort(pty.path));

    EXPECT_TRUE(channel.closePort());
    EXPECT_FALSE(channel.isOpen());
#ifdef TIOCGEXCL
    int exclusive = 1;
    ASSERT_EQ(::ioctl(pty.slave, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "the tty stays exclusive for every other holder";
#endif

    SerialChannel next;
    ASSERT_TRUE(next.openPort(pty.path));
    const Bytes frame = {0x00, 0x02, 0x04, 0x02, 0x09, 0x01, 0x01};
    ASSERT_TRUE(next.writeFrame(frame));
    EXPECT_EQ(pty.receive(frame.size(), 5000), frame);
}

TEST(SerialChannelPosix, FrameLargerThanThePortBufferArrivesWholeAndInOrder) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SerialChannel channel;
    ASSERT_TRUE(channel.openPort(pty.path));

    // Far more than a pty buffers, so the write is taken in pieces while the device reads.
    const Bytes frame = pseudoRandomBytes(600 * 1024);
    Bytes got;
    std::thread device([&] { got = pty.receive(frame.size(), 30000); });
    const bool written = channel.writeFrame(frame);
    device.join();

    EXPECT_TRUE(written);
    ASSERT_EQ(got.size(), frame.size());
    EXPECT_TRUE(got == frame) << "pieces resent, lost or out of order";
}

TEST(SerialChannelPosix, WriteToAPortThatTakesNothingFailsWithinTheBound) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SerialChannel channel;
    ASSERT_TRUE(channel.openPort(pty.path));

    // Nobody reads the master: the pty fills up and then takes nothing, as a port held back
    // by flow control.
    const Bytes frame = pseudoRandomBytes(4 * 1024 * 1024);
    const auto start = Clock::now();
    EXPECT_FALSE(channel.writeFrame(frame));
    const auto elapsed = msSince(start);
    EXPECT_GE(elapsed, kWriteTimeoutMs);
    EXPECT_LT(elapsed, kWriteTimeoutMs + 10000);

    const Bytes got = pty.drain(300);
    ASSERT_FALSE(got.empty());
    ASSERT_LT(got.size(), frame.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), frame.begin()))
        << "what arrived is not the start of the frame: a piece was resent or skipped";
}

} // namespace
