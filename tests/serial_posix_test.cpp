#include "link/device_link.h"
#include "link/serial_channel.h"
#include "link/trace_file.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
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

Clock::time_point stopAt;
bool pastStopTime() {
    return Clock::now() >= stopAt;
}

TEST_F(SerialChannelPosix, AStopEndsEvenAMinuteLongWaitAndAHangUpEndsEveryCallAtOnce) {
    DeviceLink link;
    initDeviceLink(link, &channel);
    link.stop = &pastStopTime;
    stopAt = Clock::now() + std::chrono::milliseconds(300);
    std::uint8_t length = 0;
    const std::uint8_t* payload = nullptr;
    auto start = Clock::now();
    EXPECT_FALSE(transact(link, 0x0000, length, payload, 60000));
    EXPECT_GE(msSince(start), 300);
    EXPECT_LT(msSince(start), 1000);
    EXPECT_EQ(pty.receive(7, 1000), (Bytes{0x00, 0x02, 0x04, 0x01, 0x01, 0x01, 0x01}));
    EXPECT_FALSE(channel.hungUp());

    // Linux drops the slave's unread input at the hang-up, so none is sent first.
    link.stop = nullptr;
    std::thread device([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        pty.closeMaster();
    });
    start = Clock::now();
    EXPECT_FALSE(awaitReply(link, 0x0000, length, payload, 60000));
    device.join();
    EXPECT_LT(msSince(start), 1000) << "a hang-up must not wait out the time-out";
    EXPECT_TRUE(channel.hungUp());
    start = Clock::now();
    EXPECT_FALSE(transact(link, 0x0009, length, payload, 60000));
    std::uint8_t byte = 0;
    EXPECT_FALSE(channel.readByte(60000, byte));
    EXPECT_LT(msSince(start), 100);
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

// A trace is for the owner's eyes: made 0600; an existing file that others can read is refused
// and left as it was; anything but a regular file is refused at once.
TEST(TraceFilePosix, IsTheOwnersAloneAndNothingButARegularFileIsTaken) {
    namespace fs = std::filesystem;
    TempDir dir;
    const std::string shared = dir.write("shared", "keep\n"), own = dir.write("own", "old\n");
    const std::string fifo = dir.path("fifo"), link = dir.path("link"), folder = dir.path("");
    ASSERT_EQ(::chmod(shared.c_str(), 0644) | ::chmod(own.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600) | ::symlink(own.c_str(), link.c_str()), 0);
    const std::pair<std::string, std::string> rows[] = {
        {dir.path("new"), ""},
        {own, ""},
        {shared, "trace file " + shared + " is readable by others; chmod 600 " + shared + " first"},
        {fifo, "cannot open trace file " + fifo + ": not a regular file"},
        {link, "cannot open trace file " + link + ": not a regular file"},
        {folder, "cannot open trace file " + folder + ": not a regular file"},
        {"/dev/null", "cannot open trace file /dev/null: not a regular file"},
    };
    for (const auto& [path, refusal] : rows) {
        TraceFile trace;
        std::string error;
        ::alarm(10); // an open that waits for the FIFO's reader ends the test, not hangs it
        EXPECT_EQ(openTraceFile(trace, path, error), refusal.empty()) << path;
        ::alarm(0);
        EXPECT_EQ(error, refusal);
        EXPECT_TRUE(closeTraceFile(trace));
    }
    EXPECT_EQ(fs::status(dir.path("new")).permissions(), fs::perms(0600));
    EXPECT_EQ(fs::file_size(own), 0u);
    EXPECT_EQ(fs::status(shared).permissions(), fs::perms(0644));
    EXPECT_EQ(fs::file_size(shared), 5u);
}

} // namespace
