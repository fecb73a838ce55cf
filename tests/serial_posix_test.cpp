#include "link/serial_channel.h"
#include "tests/support/pty_pair.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <numeric>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace pty_test;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

struct SerialChannelPosix : ::testing::Test {
    PtyPair pty;
    SerialChannel channel;
    void SetUp() override { ASSERT_TRUE(channel.openPort(pty.path)); }
};

TEST_F(SerialChannelPosix, PassesEveryByteRawBothWaysTimesOutAndGivesTheSettingsBack) {
    Bytes all(256);
    std::iota(all.begin(), all.end(), 0);
    ASSERT_TRUE(channel.writeFrame(all));
    EXPECT_EQ(pty.receive(all.size(), 5000), all);
    EXPECT_TRUE(pty.drain(100).empty()) << "bytes added on the way out";

    // Sent only now: the channel drops what came before it opened or wrote.
    ASSERT_TRUE(pty.send(all));
    Bytes got;
    std::uint8_t byte = 0;
    while (got.size() < all.size() && channel.readByte(2000, byte)) {
        got.push_back(byte);
    }
    EXPECT_EQ(got, all);
    EXPECT_TRUE(pty.drain(100).empty()) << "the port echoed what it received";
    const auto start = Clock::now();
    EXPECT_FALSE(channel.readByte(250, byte)) << "extra byte " << int(byte);
    EXPECT_GE(msSince(start), 250);
    EXPECT_LT(msSince(start), 5000);
    EXPECT_EQ(byte, 0xFF) << "a failed read must not touch the byte";
    ASSERT_TRUE(pty.send({0x5A}));
    EXPECT_TRUE(channel.readByte(2000, byte)) << "the time-out broke the port";
    EXPECT_EQ(byte, 0x5A);

    termios settings{};
    ASSERT_EQ(::tcgetattr(pty.slave, &settings), 0);
    EXPECT_EQ(::cfgetospeed(&settings), static_cast<speed_t>(B57600)) << "the speed is the port's";
    ASSERT_TRUE(channel.closePort());
    ASSERT_EQ(::tcgetattr(pty.slave, &settings), 0);
    EXPECT_NE(settings.c_lflag & ICANON, 0u) << "close must give the settings back";
}

TEST_F(SerialChannelPosix, ReadFailsSoonOnceTheDeviceHangsUp) {
    pty.closeMaster(); // Linux drops the slave's unread input here, so none is sent first

    std::uint8_t byte = 0;
    const auto start = Clock::now();
    EXPECT_FALSE(channel.readByte(20000, byte));
    EXPECT_LT(msSince(start), 10000) << "a hang-up must not wait out the time-out";
}

TEST_F(SerialChannelPosix, WritesGoOnAfterWhatThePortTookAndGiveUpAfterTwoSecondsOfNothing) {
    // 251 is prime: no buffer-sized piece resent or lost matches the bytes it stands for.
    Bytes frame(4 * 1024 * 1024);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<std::uint8_t>(i % 251);
    }
    const std::span<const std::uint8_t> big(frame.data(), 600 * 1024); // far beyond a pty's buffer
    Bytes got;
    std::thread device([&] { got = pty.receive(big.size(), 30000); });
    EXPECT_TRUE(channel.writeFrame(big));
    device.join();
    EXPECT_TRUE(std::equal(big.begin(), big.end(), got.begin(), got.end()))
        << got.size() << " bytes came; pieces resent, lost or out of order";

    // Nobody reads now: the pty fills and takes nothing, as a port held back by flow control.
    const auto start = Clock::now();
    EXPECT_FALSE(channel.writeFrame(frame));
    EXPECT_GE(msSince(start), 2000);
    EXPECT_LT(msSince(start), 2000 + 10000);
    got = pty.drain(300);
    ASSERT_FALSE(got.empty());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), frame.begin())) << "not the frame's start";
}

// The errno of a plain open(2) of `path` in a child (0: it opened), as nobody when root, since
// root passes TIOCEXCL; 255 when the child cannot become nobody.
int openInAnotherProcess(const std::string& path) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(255);
        }
        ::_exit(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK) >= 0 ? 0 : errno);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SerialChannelPosix, NobodyElseOpensThePortUntilItIsClosed) {
    ASSERT_EQ(::fchmod(pty.slave, 0666), 0);
    SerialChannel second; // the same user, even root, is kept out too
    EXPECT_FALSE(second.openPort(pty.path));
    const int busy = openInAnotherProcess(pty.path);
    if (busy == 255) {
        GTEST_SKIP() << "root without the right to become nobody";
    }
    EXPECT_EQ(busy, EBUSY) << "the port is not exclusive, or the refused open freed it";

    ASSERT_TRUE(channel.closePort());
    EXPECT_EQ(openInAnotherProcess(pty.path), 0) << "closing must free the port";
    EXPECT_TRUE(second.openPort(pty.path));
}

} // namespace
