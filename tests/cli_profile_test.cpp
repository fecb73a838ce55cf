// read-all, load-all, test and versions as a user runs them: the built program against the
// simulator program on pseudo-terminals.
#include "tests/support/cli_process.h"
#include "tests/support/devsim_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef TARNWICK_CLI
#error "TARNWICK_CLI must name the command-line program"
#endif
#ifndef TARNWICK_DEVSIM
#error "TARNWICK_DEVSIM must name the simulator program"
#endif

namespace {

CliRun runCli(const std::vector<std::string>& arguments) {
    return runProgram(TARNWICK_CLI, arguments);
}

// A file of its own under /tmp, removed at the end of the test.
class TempFile {
  public:
    explicit TempFile(const std::string& text = "", mode_t mode = 0600) {
        char pattern[] = "/tmp/tarnwick-profile-XXXXXX";
        const int fd = mkstemp(pattern);
        path_ = pattern;
        if (fd >= 0) {
            (void)!write(fd, text.data(), text.size());
            fchmod(fd, mode);
            close(fd);
        }
    }
    ~TempFile() { unlink(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return path_; }
    std::string text() const { return readWholeFile(path_); }
    mode_t mode() const {
        struct stat status {};
        return stat(path_.c_str(), &status) == 0 ? status.st_mode & 0777 : 0;
    }

  private:
    std::string path_;
};

std::vector<std::string> lines(const std::string& text, const std::string& end = "\n") {
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(end, start)) != std::string::npos;
         start = at + end.size()) {
        result.push_back(text.substr(start, at - start));
    }
    if (start < text.size()) {
        result.push_back(text.substr(start));
    }
    return result;
}

// A profile without the values the device only reports, which no load can change.
std::string withoutReadOnly(const std::string& profile) {
    std::string kept;
    for (const std::string& line : lines(profile)) {
        const bool readOnly = line.starts_with("imei=") || line.starts_with("imsi=") ||
                              line.starts_with("device-id=") || line.starts_with("xnb-id=");
        if (!readOnly) {
            kept += line + "\n";
        }
    }
    return kept;
}

// The log of a run that connected, did `operations` operations that all succeeded, and left.
void expectAllSucceeded(const std::string& err, std::size_t operations, const char* first) {
    const std::vector<std::string> logged = lines(err, "\r\n");
    ASSERT_EQ(logged.size(), operations + 2) << err;
    EXPECT_EQ(logged.front(), "Connecting...   success.");
    EXPECT_EQ(logged[1], first);
    EXPECT_EQ(logged.back(), "Disconnecting...   success.");
    for (const std::string& line : logged) {
        EXPECT_TRUE(line.ends_with("...   success.")) << line;
    }
}

constexpr std::size_t kReads = 44;
constexpr std::size_t kWrites = 41;

class ProfileOnPorts : public ::testing::Test {
  protected:
    DevsimProcess deviceA;
    DevsimProcess deviceB;

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(deviceA.start(TARNWICK_DEVSIM, {"--connect-delay", "200"}, error)) << error;
        ASSERT_TRUE(deviceB.start(TARNWICK_DEVSIM, {"--connect-delay", "200"}, error)) << error;
    }

    static std::vector<std::string> on(const DevsimProcess& device,
                                       std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--port", device.portPath()});
        return arguments;
    }
};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST_F(ProfileOnPorts, ReadAllOfOneDeviceLoadedIntoAnotherReadsBackTheSame) {
    // Two devices that differ: A is changed away from the defaults one way, B another.
    const CliRun defaults = runCli(on(deviceA, {"read-all"}));
    ASSERT_EQ(defaults.exitStatus, 0) << defaults.err;
    std::string changedA = replaced(defaults.out, "\nmaster-flag=1\n", "\nmaster-flag=0\n");
    changedA = replaced(changedA, "mqtt.tarnwick.example", "broker.a.example");
    changedA = replaced(changedA, "immobility.t2=15", "immobility.t2=45");
    changedA = replaced(changedA, "log-flags.Save in file=0", "log-flags.Save in file=1");
    changedA = replaced(changedA, "wifi-password=wifi-pass-2024", "wifi-password=пароль A");
    std::string changedB = replaced(defaults.out, "mqtt-port=1883", "mqtt-port=8883");
    changedB = replaced(changedB, "lora-band=RU864-870", "lora-band=EU863-870");
    changedB = replaced(changedB, "bracelet.period=10", "bracelet.period=30");
    changedB = replaced(changedB,
                        "aux-sensors.gas-analyzer.address=F00C1A223344\n"
                        "aux-sensors.gas-analyzer.type=Honeywell (BW Solo)\n"
                        "aux-sensors.gas-analyzer.period=15\n",
                        "aux-sensors.gas-analyzer.address=0A1B2C3D4E5F\n"
                        "aux-sensors.gas-analyzer.type=Honeywell (BW Icon)\n"
                        "aux-sensors.gas-analyzer.period=20\n");
    changedB = replaced(changedB, "siz-4=000000000000", "siz-4=0A0B0C0D0E0F");
    changedB = replaced(changedB, "siz-rssi=-70", "siz-rssi=-55");
    TempFile fileA(changedA);
    TempFile fileB(changedB);
    const CliRun loadA = runCli(on(deviceA, {"load-all", fileA.path()}));
    ASSERT_EQ(loadA.exitStatus, 0) << loadA.err;
    const CliRun loadB = runCli(on(deviceB, {"load-all", fileB.path()}));
    ASSERT_EQ(loadB.exitStatus, 0) << loadB.err;

    // An older profile readable by everyone: read-all takes it over for the owner alone.
    TempFile profileA("an older profile\n", 0644);
    const CliRun readA = runCli(on(deviceA, {"read-all", "--output", profileA.path()}));
    ASSERT_EQ(readA.exitStatus, 0) << readA.err;
    EXPECT_EQ(readA.out, "");
    expectAllSucceeded(readA.err, kReads, "Getting Master flag...   success.");
    EXPECT_EQ(profileA.mode(), 0600u);
    const std::string textA = profileA.text();
    ASSERT_TRUE(textA.starts_with("# ")) << textA;
    EXPECT_EQ(lines(textA).size(), 80u);
    for (const char* line :
         {"\nmaster-flag=0\n", "\nmqtt-broker=broker.a.example\n", "\nimmobility.t2=45\n",
          "\nlog-flags.Save in file=1\n", "\nwifi-password=пароль A\n"}) {
        EXPECT_NE(textA.find(line), std::string::npos) << line;
    }

    const CliRun before = runCli(on(deviceB, {"read-all"}));
    ASSERT_EQ(before.exitStatus, 0) << before.err;
    ASSERT_NE(withoutReadOnly(before.out), withoutReadOnly(textA));

    const CliRun load = runCli(on(deviceB, {"load-all", profileA.path()}));
    EXPECT_EQ(load.exitStatus, 0) << load.err;
    EXPECT_EQ(load.out, "");
    expectAllSucceeded(load.err, kWrites, "Setting Master flag...   success.");

    const CliRun after = runCli(on(deviceB, {"read-all"}));
    EXPECT_EQ(after.exitStatus, 0) << after.err;
    EXPECT_EQ(withoutReadOnly(after.out), withoutReadOnly(textA));
}

TEST_F(ProfileOnPorts, AFailedReadWritesNoProfile) {
    deviceA.stop();
    std::string error;
    ASSERT_TRUE(deviceA.start(
        TARNWICK_DEVSIM, {"--connect-delay", "200", "--fault", "get-mqtt-port:status=1"}, error))
        << error;
    TempFile output("kept\n");
    const CliRun toFile = runCli(on(deviceA, {"read-all", "--output", output.path()}));
    EXPECT_EQ(toFile.exitStatus, 1);
    EXPECT_NE(toFile.err.find("Getting MQTT PORT...   ack error.\r\n"), std::string::npos)
        << toFile.err;
    EXPECT_NE(toFile.err.find("read-all: not every read succeeded; no profile written\n"),
              std::string::npos)
        << toFile.err;
    EXPECT_EQ(output.text(), "kept\n");

    // The fault was for one exchange only: the next run reads everything.
    const CliRun toStdout = runCli(on(deviceA, {"read-all"}));
    EXPECT_EQ(toStdout.exitStatus, 0) << toStdout.err;
    EXPECT_NE(toStdout.out.find("\nmqtt-port=1883\n"), std::string::npos);
}

TEST_F(ProfileOnPorts, AFailedWriteFailsTheLoadButNotTheOthers) {
    const CliRun read = runCli(on(deviceA, {"read-all"}));
    ASSERT_EQ(read.exitStatus, 0) << read.err;
    TempFile profile(read.out);
    deviceB.stop();
    std::string error;
    ASSERT_TRUE(deviceB.start(TARNWICK_DEVSIM,
                              {"--connect-delay", "200", "--fault", "set-apn:status=1"}, error))
        << error;
    const CliRun load = runCli(on(deviceB, {"load-all", profile.path()}));
    EXPECT_EQ(load.exitStatus, 1);
    const std::vector<std::string> logged = lines(load.err, "\r\n");
    ASSERT_EQ(logged.size(), kWrites + 2) << load.err;
    EXPECT_EQ(logged[9], "Setting APN...   ack error.");
    EXPECT_EQ(logged[10], "Setting MQTT BROKER...   success.");
    EXPECT_TRUE(load.err.ends_with("Setting log flags...   success.\r\n"
                                   "load-all: not every write succeeded\n"
                                   "Disconnecting...   success.\r\n"))
        << load.err;
}

struct RefusedRow {
    const char* name;
    std::string profile; // empty: no file
    std::vector<std::string> arguments;
    std::string err; // exact, with the file's path for @
};

TEST(LoadAll, RefusesBadProfilesBeforeOpeningThePort) {
    // The port does not exist: a run that got as far as opening it would fail with status 1.
    const std::string missing = "/nonexistent/tarnwick-port";
    const CliRun read = runCli({"--simulate", "read-all"});
    ASSERT_EQ(read.exitStatus, 0) << read.err;
    const std::string good = read.out;
    auto replacedInGood = [&good](const std::string& from, const std::string& to) {
        return replaced(good, from, to);
    };

    const std::vector<RefusedRow> rows = {
        {"unknown name",
         good + "volume=3\n",
         {},
         "load-all: @: line 81: unknown setting 'volume'\n"},
        {"no '='",
         replacedInGood("mic-gain=4", "mic-gain 4"),
         {},
         "load-all: @: line 7: 'mic-gain 4' is not NAME=VALUE\n"},
        {"bad flag value",
         replacedInGood("wifi-enable=1", "wifi-enable=on"),
         {},
         "load-all: @: line 25: wifi-enable takes 0 or 1\n"},
        {"bad list entry",
         replacedInGood("bracelet.type=Halvorn Tessel", "bracelet.type=Tessel"),
         {},
         "load-all: @: line 40: bracelet.type takes one of: ---, ---, ---, ---, Halvorn Tessel\n"},
        {"duplicate",
         good + "voice-volume=5\n",
         {},
         "load-all: @: line 81: voice-volume gives again the field of line 5 (voice-volume)\n"},
        {"missing line",
         replacedInGood("gnss-always-on=0\n", ""),
         {},
         "load-all: @: no line for gnss-always-on (load-all writes every setting)\n"},
        {"no such file",
         "",
         {"load-all", "/nonexistent/p.conf"},
         "load-all: cannot open /nonexistent/p.conf: No such file or directory\n"},
        {"no file given", "", {"load-all"}, "load-all: give one profile FILE\n"},
        {"two files", "", {"load-all", "a", "b"}, "load-all: give one profile FILE\n"},
    };
    for (const RefusedRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempFile file(row.profile);
        std::vector<std::string> arguments = {"--port", missing};
        if (row.arguments.empty()) {
            arguments.insert(arguments.end(), {"load-all", file.path()});
        } else {
            arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
        }
        std::string err = row.err;
        if (const std::size_t at = err.find('@'); at != std::string::npos) {
            err.replace(at, 1, file.path());
        }
        const CliRun run = runCli(arguments);
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, err);
    }

    // A good profile that others can read is loaded all the same, after a warning.
    TempFile open(good, 0644);
    const CliRun warned = runCli({"--port", missing, "load-all", open.path()});
    EXPECT_EQ(warned.exitStatus, 1);
    EXPECT_EQ(warned.err, "load-all: warning: others can read " + open.path() +
                              ", which holds passwords (chmod 600 " + open.path() +
                              ")\nload-all: cannot open port " + missing +
                              " (missing, in use by another program, or no permission)\n");
}

TEST(ReadAll, RefusesBadArguments) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        {{"--simulate", "read-all", "extra"}, "read-all: unexpected argument 'extra'\n"},
        {{"--simulate", "read-all", "--output"}, "read-all: --output needs one FILE\n"},
        {{"--simulate", "read-all", "--output", "a", "--output", "b"},
         "read-all: --output needs one FILE\n"},
        {{"read-all"}, "read-all: give --port PATH or --simulate\n"},
    };
    for (const auto& [arguments, err] : rows) {
        SCOPED_TRACE(err);
        const CliRun run = runCli(arguments);
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, err);
    }
}

struct DeviceRow {
    const char* name;
    std::vector<std::string> devsimArguments;
    std::vector<std::string> arguments;
    int exitStatus;
    std::string out;
    std::string err; // exact
};

TEST(DeviceCommands, TestsAndVersionsOnAPort) {
    const std::string versions = "fw=2.7.1 (2024-05-14)\ngsm=01.200.01.200\nlble=1.6.2\n"
                                 "gnss=3.01.2\nwifi=3.2.0\nxnb=1.0.3\n";
    const std::vector<DeviceRow> rows = {
        {"green LED",
         {},
         {"test", "led-green"},
         0,
         "",
         "Connecting...   success.\r\nToggle green led...   success.\r\n"
         "Disconnecting...   success.\r\n"},
        {"red LED",
         {},
         {"test", "led-red"},
         0,
         "",
         "Connecting...   success.\r\nToggle red led...   success.\r\n"
         "Disconnecting...   success.\r\n"},
        {"red LED refused",
         {"--fault", "3:status=2"},
         {"test", "led-red"},
         1,
         "",
         "Connecting...   success.\r\nToggle red led...   ack error.\r\n"
         "Disconnecting...   success.\r\n"},
        {"voice",
         {},
         {"test", "voice"},
         0,
         "",
         "Connecting...   success.\r\nSwitching on voice...   success.\r\n"
         "Disconnecting...   success.\r\n"},
        {"vibro",
         {},
         {"test", "vibro"},
         0,
         "",
         "Connecting...   success.\r\nSwitching on vibro...   success.\r\n"
         "Disconnecting...   success.\r\n"},
        {"versions",
         {},
         {"versions"},
         0,
         versions,
         "Connecting...   success.\r\nGet SW version...   success.\r\n"
         "Get GSM version...   success.\r\nGet LBLE version...   success.\r\n"
         "Get GNSS version...   success.\r\nGet WiFi version...   success.\r\n"
         "Get XNB version...   success.\r\nDisconnecting...   success.\r\n"},
        {"a version refused",
         {"--fault", "2:status=1,times=3"},
         {"versions"},
         1,
         "fw=unknown.\ngsm=unknown.\nlble=unknown.\ngnss=3.01.2\nwifi=3.2.0\nxnb=1.0.3\n",
         "Connecting...   success.\r\nGet SW version...   ack error.\r\n"
         "Get GSM version...   ack error.\r\nGet LBLE version...   ack error.\r\n"
         "Get GNSS version...   success.\r\nGet WiFi version...   success.\r\n"
         "Get XNB version...   success.\r\nDisconnecting...   success.\r\n"},
    };
    for (const DeviceRow& row : rows) {
        SCOPED_TRACE(row.name);
        DevsimProcess device;
        std::vector<std::string> devsimArguments = {"--connect-delay", "200"};
        devsimArguments.insert(devsimArguments.end(), row.devsimArguments.begin(),
                               row.devsimArguments.end());
        std::string error;
        ASSERT_TRUE(device.start(TARNWICK_DEVSIM, devsimArguments, error)) << error;
        std::vector<std::string> arguments = {"--port", device.portPath()};
        arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
        const CliRun run = runCli(arguments);
        EXPECT_EQ(run.exitStatus, row.exitStatus) << run.err;
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, row.err);
    }
}

TEST(DeviceCommands, RefusedArgumentsAndHelp) {
    const std::string missing = "/nonexistent/tarnwick-port";
    const std::vector<DeviceRow> rows = {
        {"unknown test",
         {},
         {"--port", missing, "test", "led-blue"},
         2,
         "",
         "test: name one test: led-green, led-red, voice or vibro\n"},
        {"no test",
         {},
         {"--port", missing, "test"},
         2,
         "",
         "test: name one test: led-green, led-red, voice or vibro\n"},
        {"versions with an argument",
         {},
         {"--port", missing, "versions", "fw"},
         2,
         "",
         "versions: takes no arguments\n"},
        {"the port itself",
         {},
         {"--port", missing, "versions"},
         1,
         "",
         "versions: cannot open port " + missing +
             " (missing, in use by another program, or no permission)\n"},
    };
    for (const DeviceRow& row : rows) {
        SCOPED_TRACE(row.name);
        const CliRun run = runCli(row.arguments);
        EXPECT_EQ(run.exitStatus, row.exitStatus);
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, row.err);
    }
    for (const char* command : {"read-all", "load-all", "test", "versions"}) {
        SCOPED_TRACE(command);
        const CliRun help = runCli({command, "--help"});
        EXPECT_EQ(help.exitStatus, 0);
        EXPECT_TRUE(help.out.starts_with(std::string("usage: tarnwick-cli (--port PATH | "
                                                     "--simulate) ") +
                                         command))
            << help.out;
        EXPECT_EQ(help.err, "");
    }
    const CliRun overview = runCli({"--help"});
    for (const char* command : {"\n  read-all ", "\n  load-all ", "\n  test ", "\n  versions "}) {
        EXPECT_NE(overview.out.find(command), std::string::npos) << command;
    }
}

} // namespace
