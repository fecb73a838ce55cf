// The provisioning station of Tarnwick.exe under Wine, driven from outside by control and menu
// ID, against simulated trackers that run-gui-e2e.sh --station maps as COM11..COM16 (each
// registered here as a USB adapter with a serial of its own). Arguments: TARNWICK_EXE WORK
// (the runner's folder: profile.txt, sim-K.log, the audit and the trace go there).
//   COM11..13: trackers 1..3, at once; 2 answers one write slowly, 3 refuses one write.
//   COM14..16: trackers 4..6, plugged in for the stopped run, slow to connect.
#include "app/win32/wide_text.h"
#include "resources/resource.h"
#include "tests/win32/gui/window_driver.h"
#include "tests/win32/port_registration.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// The dialog's IDs, as a user's tool would find them.
constexpr int kMenuStation = 32791;
constexpr int kProfile = 21001, kAudit = 21005, kStart = 21010, kStop = 21011, kRetryFailed = 21012,
              kRows = 21020, kSummary = 21021;

std::wstring app;
std::string workFolder; // with its trailing backslash
PROCESS_INFORMATION process{};
HWND mainWindow = nullptr;
HWND station = nullptr;

std::wstring instance(int k) {
    return L"USB\\VID_1209&PID_2A1E\\TRK0000" + std::to_wstring(k);
}

bool plugIn(int k) {
    using namespace std::string_literals;
    return registerPort(
        instance(k).c_str(), L"COM" + std::to_wstring(10 + k), L"Tarnwick T4", SPDRP_DEVICEDESC,
        true, L"USB\\VID_1209&PID_2A1E&REV_0100\0USB\\VID_1209&PID_2A1E\0"s, L"Tarnwick Labs");
}

std::string summary() {
    return windowText(GetDlgItem(station, kSummary));
}

std::string counts(int provisioned, int failed, int working) {
    return "Настроено: " + std::to_string(provisioned) +
           "   Расхождения: 0   Ошибки: " + std::to_string(failed) +
           "   Отказано: 0   Отключено: 0   В работе: " + std::to_string(working);
}

// The summary once it reads `expected`, or what it reads after `timeoutMs`.
std::string summaryReaching(const std::string& expected, DWORD timeoutMs = 10000) {
    std::string now;
    waitUntil([&] { return (now = summary()) == expected; }, timeoutMs);
    return now;
}

bool click(int id) {
    return send(station, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                reinterpret_cast<LPARAM>(GetDlgItem(station, id))) != -2;
}

bool type(int id, const std::string& value) {
    const std::wstring wide = wideFromUtf8(value);
    return send(GetDlgItem(station, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str())) ==
           TRUE;
}

Lines fileLines(const std::string& path) {
    Lines lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// A string field of a JSON record, "null" when it is null.
std::string field(const std::string& record, const std::string& key) {
    const std::string quoted = "\"" + key + "\":";
    const std::size_t at = record.find(quoted);
    if (at == std::string::npos) {
        return "?";
    }
    const std::size_t from = at + quoted.size();
    if (record.compare(from, 1, "\"") != 0) {
        return record.substr(from, 4);
    }
    return record.substr(from + 1, record.find('"', from + 1) - from - 1);
}

// The audit's records from the `from`-th on, once there are `count`, each as "PORT SERIAL
// RESULT", sorted: the workers finish in any order.
Lines auditFrom(std::size_t from, std::size_t count) {
    Lines records;
    waitUntil([&] { return fileLines(workFolder + "audit.jsonl").size() >= from + count; }, 3000);
    const Lines lines = fileLines(workFolder + "audit.jsonl");
    for (std::size_t i = from; i < lines.size(); ++i) {
        records.push_back(field(lines[i], "port") + " " + field(lines[i], "usbSerial") + " " +
                          field(lines[i], "result"));
        if (field(lines[i], "result") == "provisioned") {
            EXPECT_NE(lines[i].find("\"differ\":0,"), std::string::npos) << records.back();
            EXPECT_NE(lines[i].find("\"mqtt-port\""), std::string::npos) << records.back();
        }
    }
    std::sort(records.begin(), records.end());
    return records;
}

bool enabled(int id) {
    return IsWindowEnabled(GetDlgItem(station, id)) != FALSE;
}

// Start, Stop, "Повторить неудачные" as the user finds them.
std::string buttons() {
    return std::string(enabled(kStart) ? "1" : "0") + (enabled(kStop) ? "1" : "0") +
           (enabled(kRetryFailed) ? "1" : "0");
}

// The buttons once the run has ended (Start back), or as they are after 5 s.
std::string buttonsOnceIdle() {
    waitUntil([] { return enabled(kStart); }, 5000);
    return buttons();
}

std::size_t rowCount() {
    return static_cast<std::size_t>(send(GetDlgItem(station, kRows), LVM_GETITEMCOUNT));
}

using StationEndToEnd = StepsOn<station>;

TEST_F(StationEndToEnd, OpensFromTheMenuWithThePathsTyped) {
    for (int k = 1; k <= 3; ++k) {
        ASSERT_TRUE(plugIn(k)) << k << ", error " << GetLastError();
    }
    mainWindow = startTarnwick(app, wideFromUtf8(workFolder + "trace.txt"), process);
    ASSERT_TRUE(IsWindow(mainWindow));
    ASSERT_TRUE(PostMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(kMenuStation, 0), 0));
    station = waitForDialog(L"Станция");
    ASSERT_TRUE(IsWindow(station));
    EXPECT_TRUE(type(kProfile, workFolder + "profile.txt"));
    EXPECT_TRUE(type(kAudit, workFolder + "audit.jsonl"));
    EXPECT_EQ(buttons(), "100");
}

TEST_F(StationEndToEnd, StartTakesEveryUsbPortAndReportsTheRefusedWrite) {
    ASSERT_TRUE(click(kStart));
    // Tracker 1 done, 3 failed at its refused write, 2 still in its slow write.
    EXPECT_EQ(summaryReaching(counts(1, 1, 1)), counts(1, 1, 1));
    EXPECT_EQ(rowCount(), 3U);
    EXPECT_EQ(buttons(), "010");
    screenshot("station.png", station);
    EXPECT_EQ(summaryReaching(counts(2, 1, 0)), counts(2, 1, 0));
    EXPECT_EQ(buttonsOnceIdle(), "101");
    EXPECT_EQ(auditFrom(0, 3), (Lines{"COM11 TRK00001 provisioned", "COM12 TRK00002 provisioned",
                                      "COM13 TRK00003 failed"}));
    const Lines audit = fileLines(workFolder + "audit.jsonl");
    EXPECT_EQ(audit.size(), 3U);
    for (const std::string& record : audit) {
        if (field(record, "port") == "COM13") {
            EXPECT_EQ(field(record, "error"), "Setting MQTT PORT...   ack error.");
        }
    }
}

TEST_F(StationEndToEnd, RetryFailedProvisionsTheTrackerOnceItsFaultHasPassed) {
    ASSERT_TRUE(click(kRetryFailed));
    EXPECT_EQ(summaryReaching(counts(3, 0, 0)), counts(3, 0, 0));
    EXPECT_EQ(auditFrom(3, 1), Lines{"COM13 TRK00003 provisioned"});
    EXPECT_EQ(rowCount(), 3U);
    EXPECT_EQ(buttonsOnceIdle(), "100");
}

TEST_F(StationEndToEnd, StopInterruptsTheRunAndDisconnectsEveryTracker) {
    for (int k = 4; k <= 6; ++k) {
        ASSERT_TRUE(plugIn(k)) << k << ", error " << GetLastError();
    }
    ASSERT_TRUE(click(kStart));
    // Trackers 1..3 done again; 4..6 still waiting for their connect reply.
    EXPECT_EQ(summaryReaching(counts(3, 0, 3), 2500), counts(3, 0, 3));
    EXPECT_EQ(rowCount(), 6U);
    ASSERT_TRUE(click(kStop));
    // The summary has no count of its own for an interrupted tracker.
    EXPECT_TRUE(waitUntil([] { return summary().ends_with("   В работе: 0"); }, 5000)) << summary();
    EXPECT_EQ(buttonsOnceIdle(), "101"); // the interrupted ones may be tried again
    EXPECT_EQ(auditFrom(4, 6), (Lines{"COM11 TRK00001 provisioned", "COM12 TRK00002 provisioned",
                                      "COM13 TRK00003 provisioned", "COM14 TRK00004 interrupted",
                                      "COM15 TRK00005 interrupted", "COM16 TRK00006 interrupted"}));
    for (int k = 4; k <= 6; ++k) {
        Lines requests;
        for (const std::string& line :
             fileLines(workFolder + "sim-" + std::to_string(k) + ".log")) {
            if (line.starts_with("REQ ")) {
                requests.push_back(line);
            }
        }
        ASSERT_FALSE(requests.empty()) << k;
        EXPECT_EQ(requests.back(), "REQ 0x0001 00 01 00 00") << k;
    }
}

TEST_F(StationEndToEnd, ClosingTheStationAndExitEndTheProgramWithCodeZero) {
    ASSERT_TRUE(PostMessageW(station, WM_CLOSE, 0, 0));
    EXPECT_TRUE(waitUntil([] { return !IsWindow(station); }, 5000));
    ASSERT_TRUE(PostMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0));
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 1234;
    EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &code));
    EXPECT_EQ(code, 0U);
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    app = wideFromUtf8(argc > 1 ? argv[1] : "");
    workFolder = std::string(argc > 2 ? argv[2] : ".") + "\\";
    const int status = RUN_ALL_TESTS();
    // Whatever step failed, leave no window and no registered port behind.
    if (process.hProcess != nullptr) {
        TerminateProcess(process.hProcess, 99);
    }
    for (int k = 1; k <= 6; ++k) {
        unregisterPort(instance(k).c_str());
    }
    return status;
}
