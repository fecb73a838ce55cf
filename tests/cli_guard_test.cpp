// The command line against hostile input and faults: refused values, Ctrl-C, failed output.

#include "app/cli/named_files.h"
#include "resources/control_ids.h"
#include "settings/setting_shapes.h"
#include "station/audit_file.h"
#include "tests/support/cli_process.h"
#include "tests/support/devsim_process.h"
#include "tests/support/sim_rig.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The simulator program with its request log ("REQ 0x0009 ...") in a file.
struct LoggedDevice {
    DevsimProcess process;
    std::string log;
    LoggedDevice(const TempDir& dir, const std::string& options) : log(dir.path("requests")) {
        std::string error;
        EXPECT_TRUE(process.start(
            "/bin/sh",
            {"-c", "exec '" TARNWICK_DEVSIM "' --log-requests " + options + " 2>'" + log + "'"},
            error))
            << error;
    }
    const std::string& port() const { return process.portPath(); }
};

struct Refusal {
    Args args;
    std::string message; // a part of stderr
};

TEST(CliGuard, RefusesWhatTheWindowCouldNotProduceBeforeSendingAnything) {
    TempDir dir;
    LoggedDevice device(dir, "");
    const std::string fifo = dir.path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string longPort = dir.write("port.conf", "mqtt-port=00000001883\n");
    const std::string escapes = dir.write("escapes.conf", "\x1b]0;owned\x07=1\n");
    const std::string big = dir.write("big.conf", std::string(1024 * 1024 + 1, '#'));
    const std::string hexOnly = " takes hex digits only (0-9, A-F)\n";
    const std::string codePage = " holds a character that the device's code page (windows-1251) "
                                 "cannot hold\n";
    const std::vector<Refusal> rows = {
        {{"set", "mqtt-port=00000001883"}, "set: mqtt-port takes at most 5 characters\n"},
        {{"set", "apn=" + std::string(64, 'a')}, "set: apn takes at most 50 characters\n"},
        {{"set", "apn=" + std::string(10000, 'a')}, "set: apn takes at most 50 characters\n"},
        {{"set", "lora-dev-eui=ZZB3000000000000"}, "set: lora-dev-eui" + hexOnly},
        {{"set", "lora-app-key=" + std::string(31, '0') + "-"}, "set: lora-app-key" + hexOnly},
        {{"set", "ble-namespace=XYZ" + std::string(17, '0')}, "set: ble-namespace" + hexOnly},
        {{"set", "button-number-green=abc"},
         "set: button-number-green takes decimal digits and '+' only\n"},
        {{"set", "data-period=181"}, "set: data-period takes a number up to 180\n"},
        {{"set", "wifi-ssid=\xF0\x9F\x98\x80"}, "set: wifi-ssid" + codePage},
        {{"set", "wifi-ssid=中文"}, "set: wifi-ssid" + codePage},
        {{"set", "wifi-ssid=\xFF\xFE"}, "set: wifi-ssid is not UTF-8 text\n"},
        {{"set", "apn=inter\nnet"}, "set: apn holds a control character\n"},
        {{"set", "mqtt-port=1", "mqtt-port=2"},
         "set: mqtt-port is given twice (first as mqtt-port)"},
        {{"get", "\x1b[2Jx"}, "get: unknown setting '\\x1b[2Jx'; valid names: "},
        {{"load-all", longPort}, longPort + ": line 1: mqtt-port takes at most 5 characters\n"},
        {{"load-all", escapes}, ": line 1: unknown setting '\\x1b]0;owned\\x07'\n"},
        {{"load-all", "/dev/zero"}, "load-all: cannot read /dev/zero: not a regular file\n"},
        {{"load-all", fifo}, "load-all: cannot read " + fifo + ": not a regular file\n"},
        {{"load-all", big}, "load-all: cannot read " + big + ": larger than 1 MiB\n"},
        {{"read-all", "--output", dir.path("none/p.conf")},
         "read-all: cannot write to the folder " + dir.path("none") + ": No such file"},
        {{"read-all", "--output", "/dev/null"}, "cannot write /dev/null: it is not a regular file"},
    };
    for (const Refusal& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.args));
        const CliRun run = cli(row.args, device.port());
        EXPECT_EQ(run.exitStatus, 2) << run.err;
        EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\x1b'), std::string::npos);
    }
    const CliRun badFault = cli({"--simulate", "--sim-fault", "9:nonsense", "get", "master-flag"});
    EXPECT_EQ(badFault.exitStatus, 2);
    EXPECT_EQ(badFault.err.rfind("tarnwick-cli: bad --sim-fault '9:nonsense': ", 0), 0u);
    EXPECT_EQ(readWholeFile(device.log), "");

    // One number reader: leading zeros are taken in the rssi as everywhere.
    EXPECT_EQ(cli({"set", "siz-rssi=-0128"}, device.port()).exitStatus, 0);
    EXPECT_EQ(cli({"get", "siz-rssi"}, device.port()).out, "siz-rssi=-128\n");
}

TEST(CliGuard, DeviceValuesPrintEscapedAndAFailedGoodbyeFailsTheRun) {
    const CliRun get = cli({"--simulate", "--sim-fault", "get-wifi-ssid:payload=00410a1b42", "get",
                            "wifi-ssid", "master-flag"});
    EXPECT_EQ(get.exitStatus, 0) << get.err;
    EXPECT_EQ(get.out, "wifi-ssid=A\\x0a\\x1bB\nmaster-flag=1\n");

    const CliRun farewell =
        cli({"--simulate", "--sim-fault", "0x0001:status=1", "get", "master-flag"});
    EXPECT_EQ(farewell.exitStatus, 1);
    EXPECT_EQ(farewell.out, "master-flag=1\n");
    EXPECT_EQ(farewell.err, "Connecting...   success.\r\n"
                            "Getting Master flag...   success.\r\n"
                            "Disconnecting...   ack error.\r\n");
}

TEST(CliGuard, OutputThatCannotBeWrittenFailsTheRunAndKeepsTheOldFile) {
    for (const char* args : {"names", "--help", "--simulate read-all", "--simulate get master-flag",
                             "--simulate versions"}) {
        SCOPED_TRACE(args);
        const CliRun run = shell("exec '" TARNWICK_CLI "' " + std::string(args) + " >/dev/full");
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_NE(run.err.find("cannot write the output: No space left on device\n"),
                  std::string::npos)
            << run.err;
    }

    // The profile is larger than the file size limit: its write fails half-way.
    TempDir dir;
    const std::string old = dir.write("p.conf", "old profile\n");
    const CliRun cut = shell("ulimit -f 1; exec '" TARNWICK_CLI "' --simulate read-all --output '" +
                             old + "' 2>/dev/null");
    EXPECT_EQ(cut.exitStatus, 1);
    EXPECT_EQ(readWholeFile(old), "old profile\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.root()), {}), 1);
}

TEST(CliGuard, CtrlCEndsTheExchangeInFlightAndSaysGoodbye) {
    TempDir dir;
    // At 1200 baud a read takes a tenth of a second or more: the run is still reading.
    LoggedDevice device(dir, "--baud 1200 --connect-delay 0");
    const std::filesystem::path out = dir.root() / "out";
    std::filesystem::create_directory(out);
    const std::string errPath = dir.path("err");
    const std::string line = "'" TARNWICK_CLI "' --port '" + device.port() +
                             "' read-all --output '" + (out / "p.conf").string() + "'";
    // The shell's background job ignores SIGINT until the program installs its own handler,
    // which it has done once it has connected.
    const CliRun run =
        shell(line + " 2>'" + errPath + "' & pid=$!; for i in $(seq 500); do " +
              "grep -q 'Connecting...   success' '" + errPath +
              "' && break; sleep 0.02; done; sleep 0.3; kill -INT $pid; wait $pid; echo $?");
    EXPECT_EQ(run.out, "130\n");

    const std::string err = readWholeFile(errPath);
    const std::string tail = "success.\r\nDisconnecting...   success.\r\nread-all: interrupted\n";
    ASSERT_GT(err.size(), tail.size());
    EXPECT_EQ(err.substr(err.size() - tail.size()), tail) << err;
    EXPECT_EQ(err.find("Getting log flags"), std::string::npos) << "not interrupted: " << err;
    const std::string requests = readWholeFile(device.log);
    EXPECT_EQ(requests.substr(requests.rfind("REQ ")), "REQ 0x0001 00 01 00 00\n") << requests;
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

TEST(CliGuard, WindowLogsATextTheCodePageCannotHoldInsteadOfSendingIt) {
    struct Row {
        const char* setting;
        int edit;
        std::u16string text;
        const char* action;
    };
    const Row rows[] = {
        {"wifi-ssid", IDC_WIFI_SSID, u"Caf\u00e9?", "Setting WiFi ssid...   "},
        {"mqtt-topic-sub", IDC_MQTT_TOPIC_SUB, u"t/\u4e2d", "Setting MQTT TOPIC_SUB...   "},
        {"lora-dev-eui", IDC_LORA_DEV_EUI, u"0011223344556\u00e97", "Setting LoRa DEV_EUI...   "},
        {"ble-namespace", IDC_BLE_NAMESPACE, u"00112233445566778\u00e99",
         "Setting BLE namespace...   "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.setting);
        SimRig rig;
        rig.controls.setEditText(row.edit, row.text);
        rig.startLine();
        EXPECT_FALSE(setSetting(rig.context, *findSettingByName(row.setting)));
        EXPECT_EQ(rig.controls.log(),
                  std::string(row.action) + "error (character not in code page).\r\n");
        EXPECT_TRUE(rig.device.requests().empty());
    }
    // A '?' of its own is a character like any other.
    SimRig rig;
    rig.controls.setEditText(IDC_WIFI_SSID, u"\u0421\u043a\u043b\u0430\u0434?");
    rig.startLine();
    EXPECT_TRUE(setSetting(rig.context, *findSettingByName("wifi-ssid")));
    EXPECT_EQ(rig.lastRequest(), (Bytes{0xD1, 0xEA, 0xEB, 0xE0, 0xE4, 0x3F}));
}

TEST(CliGuard, NamedFilesAreNeverClobberedNorWaitedOn) {
    TempDir dir;
    const std::string profile = dir.write("p.conf", cli({"--simulate", "read-all"}).out);
    const std::string fifo = dir.path("fifo");
    const std::string folder = dir.path("folder");
    const std::string link = dir.path("link");
    const std::string hard = dir.path("hard");
    ASSERT_EQ(chmod(profile.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    ASSERT_EQ(symlink(profile.c_str(), link.c_str()), 0);
    ASSERT_EQ(::link(profile.c_str(), hard.c_str()), 0);
    const std::string instead = "; give a regular file or a new path\n";
    const std::string absent = ": cannot open trace file /no/t: No such file or directory\n";
    const std::vector<Refusal> rows = {
        {{"--trace", "/no/t", "get", "master-flag"}, "get" + absent},
        {{"raw", "9", "--trace", "/no/t"}, "raw" + absent},
        {{"--trace", fifo, "get", "master-flag"}, "get: --trace " + fifo + " is a pipe" + instead},
        {{"get", "master-flag", "--trace", folder},
         "get: --trace " + folder + " is a folder" + instead},
        {{"--trace", link, "raw", "9"}, "raw: --trace " + link + " is a symbolic link" + instead},
        {{"--trace", link, "versions"},
         "versions: --trace " + link + " is a symbolic link" + instead},
        {{"read-all", "--output", fifo},
         "read-all: cannot write " + fifo + ": it is not a regular file\n"},
        {{"read-all", "--output", link},
         "read-all: --output " + link + " is a symbolic link" + instead},
        {{"read-all", "--output", profile, "--trace", hard},
         "read-all: --trace names the same file as --output (" + profile + ")\n"},
        {{"--trace", profile, "load-all", profile},
         "load-all: --trace names the same file as the profile (" + profile + ")\n"},
        {{"load-all", link, "--trace", profile},
         "load-all: --trace names the same file as the profile (" + link + ")\n"},
        {{"--trace", hard, "diff", profile},
         "diff: --trace names the same file as the profile (" + profile + ")\n"},
    };
    const std::string before = readWholeFile(profile);
    for (const Refusal& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.args));
        // A program that opened the FIFO would wait for a reader: `timeout` ends it with 124.
        Args args = {"10", TARNWICK_CLI, "--simulate"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const CliRun run = runProgram("/usr/bin/timeout", args);
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, row.message);
        EXPECT_EQ(readWholeFile(profile), before);
    }
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST(CliGuard, NamedFilesThatAreOneFile) {
    TempDir dir;
    const std::string file = dir.write("p.conf", "x\n");
    const std::string link = dir.path("link");
    ASSERT_EQ(symlink("p.conf", link.c_str()), 0);
    const std::string folder = dir.root().string();
    const struct {
        std::string a;
        std::string b;
        bool same;
    } rows[] = {
        {file, link, true},
        {file, folder + "/./p.conf", true},
        {folder + "/new", folder + "//new", true},
        {folder + "/new", folder + "/New", false},
        {file, folder + "/new", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.a + " " + row.b);
        std::string error;
        EXPECT_EQ(checkNamedFiles({{"--trace", row.a, true}, {"the profile", row.b, false}}, error),
                  !row.same);
        EXPECT_EQ(error,
                  row.same ? "--trace names the same file as the profile (" + row.b + ")" : "");
    }
}

TEST(CliGuard, TheAuditIsARegularFileForItsOwnerAndAPartialRecordIsMended) {
    TempDir dir;
    const std::string shared = dir.write("shared", "{}\n");
    ASSERT_EQ(chmod(shared.c_str(), 0644), 0);
    const std::string fifo = dir.path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string link = dir.path("link");
    ASSERT_EQ(symlink("shared", link.c_str()), 0);
    const std::pair<std::string, std::string> refused[] = {
        {shared, "--audit " + shared + ": " + shared + " is readable by others; chmod 600 " +
                     shared + " first"},
        {fifo, "--audit " + fifo + ": not a regular file"},
        {link, "--audit " + link + ": not a regular file"},
        {"/dev/null", "--audit /dev/null: not a regular file"},
        {dir.path("none/a"),
         "cannot open audit file " + dir.path("none/a") + ": No such file or directory"},
    };
    for (const auto& [path, message] : refused) {
        SCOPED_TRACE(path);
        AuditFile audit;
        std::string error;
        EXPECT_FALSE(openAuditFile(path, audit, error));
        EXPECT_EQ(error, message);
    }
    EXPECT_EQ(readWholeFile(shared), "{}\n");

    // A new file for its owner; a whole last record; a record cut short.
    const std::string partial = " ended in a partial record; it is left as it was and new records "
                                "start on a new line";
    const std::string cut = dir.write("cut", "{}\n{\"port\":");
    const std::string whole = dir.write("whole", "{}\n");
    const std::tuple<std::string, std::string, std::string> rows[] = {
        {dir.path("new"), "", "r1\nr2\n"},
        {whole, "", "{}\nr1\nr2\n"},
        {cut, cut + partial, "{}\n{\"port\":\nr1\nr2\n"},
    };
    for (const auto& [path, warning, content] : rows) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(path == dir.path("new") || chmod(path.c_str(), 0600) == 0);
        AuditFile audit;
        std::string error;
        ASSERT_TRUE(openAuditFile(path, audit, error)) << error;
        EXPECT_EQ(audit.warning, warning);
        EXPECT_TRUE(appendAuditRecord(audit, "r1\n"));
        EXPECT_TRUE(appendAuditRecord(audit, "r2\n"));
        closeAuditFile(audit);
        EXPECT_EQ(readWholeFile(path), content);
        EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0600));
    }
}

} // namespace
