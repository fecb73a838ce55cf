// Tarnwick.exe end to end under Wine: the real window, driven by control and menu IDs from this
// process, against the simulated tracker on a pseudo-terminal that Wine sees as a COM port.
// run-gui-e2e.sh prepares the port and the display and answers this program's requests
// (screenshots, pulling the port) through files in a shared folder.
//
// Environment:
//   TARNWICK_E2E_APP   Tarnwick.exe
//   TARNWICK_E2E_COM   the registered COM port, e.g. COM8
//   TARNWICK_E2E_DIR   the shared folder; the simulator's request log is requests.log in it
//
// The steps build on each other and run in the order written.
#include "tests/win32/gui/gui_driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using gui::kAboutTitle;
using gui::kMainTitle;
using gui::kPickerTitle;

constexpr DWORD kWindowWaitMs = 30000;
constexpr DWORD kExchangeWaitMs = 60000;
constexpr DWORD kRunnerWaitMs = 30000;
// The simulator answers the connect a second time after --connect-delay; generous for a slow
// machine, since the window waits up to 60 s for it.
constexpr DWORD kConnectWaitMs = 30000;

// The menu items whose state follows the connection.
constexpr int kChoosePort = 32782;
constexpr int kConnect = 32783;
constexpr int kDisconnect = 32784;
constexpr int kReadAll = 32785;
constexpr int kLoadAll = 32786;
constexpr int kClear = 32787;
constexpr int kAbout = 32789;
constexpr int kExit = 32781;

// The buttons that start device exchanges, page by page.
// clang-format off
const std::vector<int> kDeviceButtons = {
    601, 602,
    1006, 1007, 1008, 1009, 1014, 1015, 1016, 1017, 1020, 1021, 1024, 1027, 1029, 1030,
    1102, 1104, 1105, 1108, 1109, 1113, 1114, 1118, 1119, 1122, 1123, 1126, 1127, 1130, 1131,
    1134, 1135, 1138, 1139,
    1201, 1202, 1205, 1206, 1210, 1211, 1214, 1215, 1225, 1226,
    1301, 1302, 1305, 1306, 1309, 1310,
    1401, 1402, 1405,
    1502, 1503, 1506, 1507, 1510, 1511, 1514, 1515, 1518, 1519, 1522, 1523, 1526, 1527, 1530,
    1531, 1534, 1535, 1539, 1540, 1545, 1546, 1549, 1550,
    1608, 1609,
    1700, 1708, 1716,
    1901, 1902,
    2001, 2002, 2003, 2004, 2027, 2028,
};
// clang-format on

std::wstring environment(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

// What the whole run shares: the program under test and its window.
struct Session {
    std::wstring app;
    std::wstring com;
    std::wstring dir;
    gui::Process process;
    HWND main = nullptr;
    bool connected = false;
};

Session& session() {
    static Session s;
    return s;
}

std::vector<std::wstring> splitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find(L"\r\n"); end != std::wstring::npos;
         end = text.find(L"\r\n", start)) {
        lines.push_back(text.substr(start, end + 2 - start));
        start = end + 2;
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

// Asks run-gui-e2e.sh for something only Linux can do and waits for its answer, "ok" or a
// reason. The request file appears whole (written aside, then renamed).
std::string askRunner(const std::string& request) {
    const std::wstring& dir = session().dir;
    const std::wstring pending = dir + L"\\request.tmp";
    const std::wstring posted = dir + L"\\request.txt";
    const std::wstring answer = dir + L"\\answer.txt";
    DeleteFileW(answer.c_str());
    {
        std::ofstream out(gui::utf8(pending), std::ios::binary | std::ios::trunc);
        out << request << "\n";
        if (!out) {
            return "cannot write the request";
        }
    }
    if (!MoveFileExW(pending.c_str(), posted.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return "cannot post the request";
    }
    const ULONGLONG deadline = GetTickCount64() + kRunnerWaitMs;
    while (GetTickCount64() < deadline) {
        if (GetFileAttributesW(answer.c_str()) != INVALID_FILE_ATTRIBUTES) {
            std::ifstream in(gui::utf8(answer), std::ios::binary);
            std::string line;
            std::getline(in, line);
            in.close();
            DeleteFileW(answer.c_str());
            return line;
        }
        Sleep(50);
    }
    return "no answer from the runner";
}

// The main window with its menu bar; a dialog by its client area.
std::string screenshot(const std::string& name, HWND window, bool clientOnly) {
    // Let the window paint what the last command changed.
    Sleep(300);
    const std::wstring where = clientOnly ? gui::clientGeometry(window) : gui::geometry(window);
    return askRunner("shot " + name + " " + gui::utf8(where));
}

// The simulator's request log, one "REQ 0xCODE bytes..." line per request.
std::vector<std::string> requestLog() {
    std::ifstream in(gui::utf8(session().dir + L"\\requests.log"), std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("REQ ", 0) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

struct MenuState {
    int id;
    int enabled; // 1 enabled, 0 grayed
};

void expectMenu(HWND main, const std::vector<MenuState>& states) {
    for (const MenuState& state : states) {
        SCOPED_TRACE("menu item " + std::to_string(state.id));
        EXPECT_EQ(gui::menuItemEnabled(main, state.id), state.enabled);
    }
}

void expectDeviceButtons(HWND main, bool enabled) {
    int wrong = 0;
    for (int id : kDeviceButtons) {
        if (gui::isEnabled(main, id) != enabled) {
            ADD_FAILURE() << "button " << id << (enabled ? " disabled" : " enabled");
            ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);
}

struct LogRow {
    std::string name;
    std::wstring line;
};

// Waits until the log pane has the rows' lines after its first `from` characters and
// compares them one by one.
void expectLogLines(HWND main, const std::vector<LogRow>& rows, std::size_t from, DWORD timeoutMs) {
    std::wstring appended;
    EXPECT_TRUE(gui::waitForLogLines(main, from, rows.size(), timeoutMs, appended))
        << "log after the command: " << gui::utf8(appended);
    const std::vector<std::wstring> lines = splitLines(appended);
    EXPECT_EQ(lines.size(), rows.size()) << gui::utf8(appended);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        ASSERT_LT(i, lines.size());
        EXPECT_EQ(gui::utf8(lines[i]), gui::utf8(rows[i].line));
    }
}

std::size_t logLength(HWND main) {
    return gui::logText(main).size();
}

enum class Kind { Edit, Check, List };

struct ControlValue {
    std::string name;
    int id;
    Kind kind;
    std::wstring value; // edit text, "1"/"0" for a check box, the chosen entry's text
};

std::wstring valueOf(HWND main, const ControlValue& row) {
    switch (row.kind) {
    case Kind::Edit:
        return gui::controlText(main, row.id);
    case Kind::Check:
        return gui::isChecked(main, row.id) ? L"1" : L"0";
    case Kind::List: {
        const int selection = gui::listSelection(main, row.id);
        return selection < 0 ? L"<none>" : gui::listEntry(main, row.id, selection);
    }
    }
    return {};
}

void expectValues(HWND main, const std::vector<ControlValue>& rows) {
    for (const ControlValue& row : rows) {
        SCOPED_TRACE(row.name + " (" + std::to_string(row.id) + ")");
        EXPECT_EQ(gui::utf8(valueOf(main, row)), gui::utf8(row.value));
    }
}

std::wstring withResult(const std::wstring& action, const std::wstring& result = L"success.\r\n") {
    return action + result;
}

#define REQUIRE_WINDOW()                                                                           \
    ASSERT_NE(session().main, nullptr) << "no main window (an earlier step failed)";               \
    ASSERT_TRUE(IsWindow(session().main)) << "the main window is gone"

TEST(GuiEndToEnd, StartsWithEverythingDisconnected) {
    Session& s = session();
    s.app = environment(L"TARNWICK_E2E_APP");
    s.com = environment(L"TARNWICK_E2E_COM");
    s.dir = environment(L"TARNWICK_E2E_DIR");
    ASSERT_FALSE(s.app.empty() || s.com.empty() || s.dir.empty())
        << "TARNWICK_E2E_APP, TARNWICK_E2E_COM and TARNWICK_E2E_DIR must be set";
    ASSERT_TRUE(gui::launch(s.app, L"", s.process)) << "cannot start " << gui::utf8(s.app);
    s.main = gui::waitForDialog(kMainTitle, kWindowWaitMs, s.process.id);
    REQUIRE_WINDOW();

    EXPECT_EQ(gui::logText(s.main), L"");
    expectMenu(s.main, {{kChoosePort, 1},
                        {kConnect, 0},
                        {kDisconnect, 0},
                        {kReadAll, 0},
                        {kLoadAll, 0},
                        {kClear, 1},
                        {kAbout, 1},
                        {kExit, 1}});
    expectDeviceButtons(s.main, false);
}

TEST(GuiEndToEnd, PickerOpensTheRegisteredPortAndConnects) {
    REQUIRE_WINDOW();
    Session& s = session();
    ASSERT_TRUE(gui::postCommand(s.main, kChoosePort));
    const HWND picker = gui::waitForDialog(kPickerTitle, kWindowWaitMs, s.process.id);
    ASSERT_NE(picker, nullptr) << "the port picker did not open";

    // The port registered through SetupAPI is listed as "NAME : description".
    const int entry = gui::findListEntry(picker, 20001, s.com + L" : ");
    ASSERT_GE(entry, 0) << "the picker does not list " << gui::utf8(s.com) << "; it has "
                        << gui::listCount(picker, 20001) << " entries, the first \""
                        << gui::utf8(gui::listEntry(picker, 20001, 0)) << "\"";
    EXPECT_EQ(gui::listSelection(picker, 20001), 0) << "the first entry is preselected";
    gui::send(picker, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
    EXPECT_EQ(gui::listSelection(picker, 20001), entry);
    EXPECT_EQ(screenshot("picker.png", picker, true), "ok");

    const std::size_t from = logLength(s.main);
    ASSERT_TRUE(gui::postCommand(picker, 20003)); // "ОК"
    expectLogLines(s.main,
                   {{"open", withResult(L"Trying to open port \\\\.\\" + s.com + L"...   ")},
                    {"connect", withResult(L"Connecting...   ")}},
                   from, kConnectWaitMs);
    EXPECT_TRUE(gui::waitForDialogGone(kPickerTitle, kWindowWaitMs, s.process.id));

    expectMenu(s.main, {{kChoosePort, 0},
                        {kConnect, 0},
                        {kDisconnect, 1},
                        {kReadAll, 1},
                        {kLoadAll, 1},
                        {kClear, 1}});
    expectDeviceButtons(s.main, true);
    s.connected = !HasFailure();
}

// Every read of read-all, in the order the window runs them.
std::vector<LogRow> readAllRows() {
    std::vector<LogRow> rows = {
        {"master flag", L"Getting Master flag...   "},
        {"button 1", L"Getting green button number...   "},
        {"button 2", L"Getting red button number...   "},
        {"voice volume", L"Getting voice volume...   "},
        {"tone volume", L"Getting tone volume...   "},
        {"mic gain", L"Getting mic gain...   "},
        {"IMEI", L"Getting IMEI...   "},
        {"IMSI", L"Getting IMSI...   "},
        {"device ID", L"Getting device ID...   "},
        {"server ack", L"Getting server ack flag...   "},
        {"data period", L"Getting data period...   "},
        {"APN", L"Getting APN...   "},
        {"MQTT broker", L"Getting MQTT BROKER...   "},
        {"MQTT user", L"Getting MQTT USERNAME...   "},
        {"MQTT password", L"Getting MQTT PASSWORD...   "},
        {"MQTT port", L"Getting MQTT PORT...   "},
        {"MQTT subscribe topic", L"Getting MQTT TOPIC_SUB...   "},
        {"MQTT publish topic", L"Getting MQTT TOPIC_PUB...   "},
        {"LoRa enable", L"Getting LoRa enable flag...   "},
        {"DEV_EUI", L"Getting LoRa DEV_EUI...   "},
        {"APP_EUI", L"Getting LoRa APP_EUI...   "},
        {"APP_KEY", L"Getting LoRa APP_KEY...   "},
        {"LoRa band", L"Getting LoRa band...   "},
        {"WiFi enable", L"Getting WiFi enable flag...   "},
        {"WiFi ssid", L"Getting WiFi ssid...   "},
        {"WiFi password", L"Getting WiFi pwd...   "},
        {"XNB enable", L"Getting XNB enable flag...   "},
        {"XNB ID", L"Getting XNB ID...   "},
    };
    for (int slot = 1; slot <= 8; ++slot) {
        rows.push_back(
            {"SIZ " + std::to_string(slot), L"Getting SIZ_" + std::to_wstring(slot) + L"...   "});
    }
    const std::vector<LogRow> tail = {
        {"SIZ rssi", L"Getting SIZ rssi...   "},
        {"bracelet", L"Getting bracelet...   "},
        {"BLE namespace", L"Getting BLE namespace...   "},
        {"BLE scan time", L"Getting BLE period...   "},
        {"immobility", L"Getting immobility settings...   "},
        {"aux sensors", L"Getting ble aux data...   "},
        {"GNSS always on", L"Getting GNSS always flag...   "},
        {"log flags", L"Getting log flags...   "},
    };
    rows.insert(rows.end(), tail.begin(), tail.end());
    for (LogRow& row : rows) {
        row.line += L"success.\r\n";
    }
    return rows;
}

TEST(GuiEndToEnd, ReadAllShowsTheDeviceValues) {
    REQUIRE_WINDOW();
    Session& s = session();
    ASSERT_TRUE(s.connected) << "not connected";
    const std::vector<LogRow> rows = readAllRows();
    ASSERT_EQ(rows.size(), 44u);
    const std::size_t from = logLength(s.main);
    ASSERT_TRUE(gui::click(s.main, kReadAll, kExchangeWaitMs)) << "read-all did not end";
    expectLogLines(s.main, rows, from, kExchangeWaitMs);
    expectDeviceButtons(s.main, true);

    // The simulated tracker's factory values, as the pages show them.
    expectValues(s.main,
                 {
                     {"master flag", 600, Kind::Check, L"1"},
                     {"button 1", 1004, Kind::Edit, L"+15551230001"},
                     {"button 2", 1005, Kind::Edit, L"+15551230002"},
                     {"voice volume", 1012, Kind::Edit, L"3"},
                     {"tone volume", 1013, Kind::Edit, L"2"},
                     {"mic gain", 1019, Kind::Edit, L"4"},
                     {"IMEI", 1023, Kind::Edit, L"356938035643809"},
                     {"IMSI", 1026, Kind::Edit, L"001010123456789"},
                     {"device ID", 1101, Kind::Edit, L"TRK-0A1B2C3D"},
                     {"server ack", 1103, Kind::Check, L"1"},
                     {"data period", 1107, Kind::Edit, L"60"},
                     {"APN", 1112, Kind::Edit, L"internet"},
                     {"MQTT broker", 1117, Kind::Edit, L"mqtt.tarnwick.example"},
                     {"MQTT port", 1129, Kind::Edit, L"1883"},
                     {"MQTT publish topic", 1137, Kind::Edit, L"tarnwick/data/TRK-0A1B2C3D"},
                     {"LoRa enable", 1200, Kind::Check, L"1"},
                     {"APP_KEY", 1213, Kind::Edit, L"2B7E151628AED2A6ABF7158809CF4F3C"},
                     {"LoRa band", 1224, Kind::List, L"RU864-870"},
                     {"WiFi ssid", 1304, Kind::Edit, L"Tarnwick-Service"},
                     {"XNB enable", 1400, Kind::Check, L"0"},
                     {"XNB ID", 1404, Kind::Edit, L"XNB-00A1F3"},
                     {"SIZ 1", 1501, Kind::Edit, L"E45F012A7C10"},
                     {"SIZ 3", 1509, Kind::Edit, L"E45F012A813D"},
                     {"SIZ 8", 1529, Kind::Edit, L"000000000000"},
                     {"SIZ rssi", 1533, Kind::List, L"-70 dB"},
                     {"bracelet address", 1537, Kind::Edit, L"D43639A10B7E"},
                     {"bracelet period", 1542, Kind::Edit, L"10"},
                     {"BLE namespace", 1544, Kind::Edit, L"EDD1EBEAC04E5DEFA017"},
                     {"BLE scan time", 1548, Kind::Edit, L"3"},
                     {"immobility on", 1601, Kind::Check, L"1"},
                     {"immobility T1", 1603, Kind::Edit, L"5"},
                     {"immobility T2", 1605, Kind::Edit, L"15"},
                     {"immobility T3", 1607, Kind::Edit, L"30"},
                     {"horizontal only", 1610, Kind::Check, L"0"},
                     {"gas analyzer address", 1703, Kind::Edit, L"F00C1A223344"},
                     {"gas analyzer period", 1707, Kind::Edit, L"15"},
                     {"token address", 1711, Kind::Edit, L"D8A01D556002"},
                     {"token on", 1715, Kind::Edit, L"1"},
                     {"GNSS always on", 1900, Kind::Check, L"0"},
                 });

    // Every page as the technician sees it after a read.
    for (int page = 0; page < 11; ++page) {
        SCOPED_TRACE("page " + std::to_string(page));
        ASSERT_TRUE(gui::selectTab(s.main, page));
        char name[32];
        std::snprintf(name, sizeof name, "page-%02d.png", page);
        EXPECT_EQ(screenshot(name, s.main, false), "ok");
    }
    EXPECT_TRUE(gui::selectTab(s.main, 0));
}

struct LoadRow {
    std::string name;
    std::wstring action;
    std::string code; // the command code as the request log writes it
};

// Every write of load-all, in the order the window runs them.
std::vector<LoadRow> loadAllRows() {
    std::vector<LoadRow> rows = {
        {"master flag", L"Setting Master flag...   ", "0x0008"},
        {"button 1", L"Setting green button number...   ", "0x0100"},
        {"button 2", L"Setting red button number...   ", "0x0100"},
        {"voice volume", L"Setting voice volume...   ", "0x0102"},
        {"tone volume", L"Setting tone volume...   ", "0x0102"},
        {"mic gain", L"Setting mic gain...   ", "0x0104"},
        {"server ack", L"Setting server ack flag...   ", "0x0203"},
        {"data period", L"Setting data period...   ", "0x0205"},
        {"APN", L"Setting APN...   ", "0x0302"},
        {"MQTT broker", L"Setting MQTT BROKER...   ", "0x0209"},
        {"MQTT user", L"Setting MQTT USERNAME...   ", "0x020B"},
        {"MQTT password", L"Setting MQTT PASSWORD...   ", "0x020D"},
        {"MQTT port", L"Setting MQTT PORT...   ", "0x020F"},
        {"MQTT subscribe topic", L"Setting MQTT TOPIC_SUB...   ", "0x0211"},
        {"MQTT publish topic", L"Setting MQTT TOPIC_PUB...   ", "0x0211"},
        {"LoRa enable", L"Setting LoRa enable flag...   ", "0x0500"},
        {"DEV_EUI", L"Setting LoRa DEV_EUI...   ", "0x0502"},
        {"APP_EUI", L"Setting LoRa APP_EUI...   ", "0x0504"},
        {"APP_KEY", L"Setting LoRa APP_KEY...   ", "0x0506"},
        {"LoRa band", L"Setting LoRa band...   ", "0x0508"},
        {"WiFi enable", L"Setting WiFi enable flag...   ", "0x0700"},
        {"WiFi ssid", L"Setting WiFi ssid...   ", "0x0702"},
        {"WiFi password", L"Setting WiFi pwd...   ", "0x0704"},
        {"XNB enable", L"Setting XNB enable flag...   ", "0x0600"},
    };
    for (int slot = 1; slot <= 8; ++slot) {
        rows.push_back({"SIZ " + std::to_string(slot),
                        L"Setting SIZ_" + std::to_wstring(slot) + L"...   ", "0x0800"});
    }
    const std::vector<LoadRow> tail = {
        {"SIZ rssi", L"Setting SIZ rssi...   ", "0x0802"},
        {"bracelet", L"Setting bracelet...   ", "0x0804"},
        {"BLE namespace", L"Setting BLE namespace...   ", "0x0806"},
        {"BLE scan time", L"Setting BLE scan time...   ", "0x0808"},
        {"immobility", L"Setting immobility settings...   ", "0x0A02"},
        {"gas analyzer", L"Setting gas analyzer data...   ", "0x0A00"},
        {"token", L"Setting token data...   ", "0x0A00"},
        {"GNSS always on", L"Setting GNSS always flag...   ", "0x0C00"},
        {"log flags", L"Setting log flags...   ", "0x0006"},
    };
    rows.insert(rows.end(), tail.begin(), tail.end());
    return rows;
}

TEST(GuiEndToEnd, LoadAllSendsTheChangedValues) {
    REQUIRE_WINDOW();
    Session& s = session();
    ASSERT_TRUE(s.connected) << "not connected";

    // An edit, a filtered edit, a check box and a list, changed as a user would.
    gui::setControlText(s.main, 1112, L"iot.e2e");
    gui::setControlText(s.main, 1129, L"8883");
    ASSERT_TRUE(gui::isChecked(s.main, 1103));
    gui::clickCheckBox(s.main, 1103);
    const int eu = gui::findListEntry(s.main, 1224, L"EU863-870");
    ASSERT_GE(eu, 1);
    gui::chooseListEntry(s.main, 1224, eu);
    expectValues(s.main, {{"APN", 1112, Kind::Edit, L"iot.e2e"},
                          {"MQTT port", 1129, Kind::Edit, L"8883"},
                          {"server ack", 1103, Kind::Check, L"0"},
                          {"LoRa band", 1224, Kind::List, L"EU863-870"}});

    const std::vector<LoadRow> rows = loadAllRows();
    ASSERT_EQ(rows.size(), 41u);
    std::vector<LogRow> lines;
    for (const LoadRow& row : rows) {
        lines.push_back({row.name, withResult(row.action)});
    }
    const std::size_t requestsBefore = requestLog().size();
    const std::size_t from = logLength(s.main);
    ASSERT_TRUE(gui::click(s.main, kLoadAll, kExchangeWaitMs)) << "load-all did not end";
    expectLogLines(s.main, lines, from, kExchangeWaitMs);
    expectDeviceButtons(s.main, true);

    // The simulator logs a request once it has answered it: the last one may lag a little.
    std::vector<std::string> sent;
    const ULONGLONG deadline = GetTickCount64() + 5000;
    do {
        const std::vector<std::string> all = requestLog();
        sent.assign(all.begin() + static_cast<std::ptrdiff_t>(std::min(requestsBefore, all.size())),
                    all.end());
        if (sent.size() >= rows.size()) {
            break;
        }
        Sleep(50);
    } while (GetTickCount64() < deadline);
    ASSERT_EQ(sent.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(sent[i].substr(0, 10), "REQ " + rows[i].code) << sent[i];
    }

    // Message bytes: code, reserved 0, payload length, payload.
    struct WireRow {
        std::string name;
        std::size_t index; // in load-all order
        std::string request;
    };
    const std::vector<WireRow> wire = {
        {"master flag as read", 0, "REQ 0x0008 00 08 00 01 01"},
        {"server ack unticked", 6, "REQ 0x0203 02 03 00 01 00"},
        {"data period as read", 7, "REQ 0x0205 02 05 00 02 00 3C"},
        {"APN typed", 8, "REQ 0x0302 03 02 00 07 69 6F 74 2E 65 32 65"},
        {"MQTT port typed", 12, "REQ 0x020F 02 0F 00 02 22 B3"},
        {"LoRa band chosen", 19, "REQ 0x0508 05 08 00 01 00"},
        {"SIZ 3 as read", 26, "REQ 0x0800 08 00 00 07 02 E4 5F 01 2A 81 3D"},
        {"SIZ rssi as read", 32, "REQ 0x0802 08 02 00 01 BA"},
    };
    for (const WireRow& row : wire) {
        SCOPED_TRACE(row.name);
        ASSERT_LT(row.index, sent.size());
        EXPECT_EQ(sent[row.index], row.request);
    }
}

TEST(GuiEndToEnd, ClearEmptiesTheFieldsAndKeepsTheLog) {
    REQUIRE_WINDOW();
    Session& s = session();
    const std::wstring logBefore = gui::logText(s.main);
    ASSERT_TRUE(gui::click(s.main, kClear));
    EXPECT_EQ(gui::logText(s.main), logBefore);
    expectValues(s.main, {
                             {"master flag", 600, Kind::Check, L"0"},
                             {"button 1", 1004, Kind::Edit, L""},
                             {"IMEI", 1023, Kind::Edit, L""},
                             {"device ID", 1101, Kind::Edit, L""},
                             {"server ack", 1103, Kind::Check, L"0"},
                             {"APN", 1112, Kind::Edit, L""},
                             {"MQTT port", 1129, Kind::Edit, L""},
                             {"LoRa enable", 1200, Kind::Check, L"0"},
                             {"DEV_EUI", 1204, Kind::Edit, L""},
                             {"APP_KEY", 1213, Kind::Edit, L""},
                             {"WiFi enable", 1300, Kind::Check, L"0"},
                             {"WiFi password", 1308, Kind::Edit, L""},
                             {"XNB ID", 1404, Kind::Edit, L""},
                             {"SIZ 1", 1501, Kind::Edit, L""},
                             {"bracelet address", 1537, Kind::Edit, L""},
                             {"BLE namespace", 1544, Kind::Edit, L""},
                             {"immobility on", 1601, Kind::Check, L"0"},
                             {"immobility T3", 1607, Kind::Edit, L""},
                             {"gas analyzer address", 1703, Kind::Edit, L""},
                             {"token on", 1715, Kind::Edit, L""},
                         });
    struct ListRow {
        std::string name;
        int id;
    };
    for (const ListRow& row : std::vector<ListRow>{{"LoRa band", 1224},
                                                   {"SIZ rssi", 1533},
                                                   {"bracelet type", 1538},
                                                   {"gas analyzer type", 1705},
                                                   {"token type", 1713}}) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(gui::listSelection(s.main, row.id), 0);
    }
    // The connection is untouched.
    expectMenu(s.main, {{kDisconnect, 1}, {kReadAll, 1}, {kLoadAll, 1}});
    expectDeviceButtons(s.main, true);
}

TEST(GuiEndToEnd, AboutShowsTheDeviceVersions) {
    REQUIRE_WINDOW();
    Session& s = session();
    const std::size_t from = logLength(s.main);
    ASSERT_TRUE(gui::postCommand(s.main, kAbout));
    const HWND about = gui::waitForDialog(kAboutTitle, kWindowWaitMs, s.process.id);
    ASSERT_NE(about, nullptr) << "the About box did not open";

    expectLogLines(s.main,
                   {{"firmware", withResult(L"Get SW version...   ")},
                    {"GSM", withResult(L"Get GSM version...   ")},
                    {"LBLE", withResult(L"Get LBLE version...   ")},
                    {"GNSS", withResult(L"Get GNSS version...   ")},
                    {"WiFi", withResult(L"Get WiFi version...   ")},
                    {"XNB", withResult(L"Get XNB version...   ")}},
                   from, kWindowWaitMs);
    struct Label {
        std::string name;
        int id;
        std::wstring text;
    };
    for (const Label& label : std::vector<Label>{
             {"header", 10000, L"Tarnwick.exe: version 4.3.4"},
             {"firmware", 10001, L"FW: 2.7.1 (2024-05-14)"},
             {"GSM", 10002, L"GSM: 01.200.01.200"},
             {"LBLE", 10003, L"LBLE: 1.6.2"},
             {"GNSS", 10004, L"GNSS: 3.01.2"},
             {"WiFi", 10005, L"WiFi: 3.2.0"},
             {"XNB", 10006, L"XNB: 1.0.3"},
         }) {
        SCOPED_TRACE(label.name);
        EXPECT_EQ(gui::utf8(gui::controlText(about, label.id)), gui::utf8(label.text));
    }
    EXPECT_EQ(screenshot("about.png", about, true), "ok");

    ASSERT_TRUE(gui::postCommand(about, 10007)); // "ОК"
    EXPECT_TRUE(gui::waitForDialogGone(kAboutTitle, kWindowWaitMs, s.process.id));
}

TEST(GuiEndToEnd, MmiTestButtonsReachTheDevice) {
    REQUIRE_WINDOW();
    Session& s = session();
    ASSERT_TRUE(s.connected) << "not connected";
    ASSERT_TRUE(gui::selectTab(s.main, 10));
    struct MmiRow {
        std::string name;
        int button;
        std::wstring action;
        std::string request;
    };
    const std::vector<MmiRow> rows = {
        {"LED 1", 2001, L"Toggle green led...   ", "REQ 0x0003 00 03 00 01 00"},
        {"LED 2", 2002, L"Toggle red led...   ", "REQ 0x0003 00 03 00 01 01"},
        {"sound", 2003, L"Switching on voice...   ", "REQ 0x0004 00 04 00 00"},
        {"vibration", 2004, L"Switching on vibro...   ", "REQ 0x0005 00 05 00 00"},
    };
    for (const MmiRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::size_t requestsBefore = requestLog().size();
        const std::size_t from = logLength(s.main);
        ASSERT_TRUE(gui::click(s.main, row.button));
        expectLogLines(s.main, {{row.name, withResult(row.action)}}, from, kWindowWaitMs);
        std::vector<std::string> all;
        const ULONGLONG deadline = GetTickCount64() + 5000;
        while ((all = requestLog()).size() <= requestsBefore && GetTickCount64() < deadline) {
            Sleep(50);
        }
        ASSERT_EQ(all.size(), requestsBefore + 1);
        EXPECT_EQ(all.back(), row.request);
    }
    EXPECT_TRUE(gui::selectTab(s.main, 0));
}

TEST(GuiEndToEnd, PullingThePortClosesIt) {
    REQUIRE_WINDOW();
    Session& s = session();
    ASSERT_TRUE(s.connected) << "not connected";
    const std::size_t from = logLength(s.main);
    // The runner stops the simulator, removes the COM mapping and the SetupAPI registration.
    ASSERT_EQ(askRunner("remove-port"), "ok");

    // A real removal makes Windows broadcast DBT_DEVNODES_CHANGED; give Wine the chance to.
    std::wstring appended;
    const bool wineSentIt = gui::waitForLogLines(s.main, from, 1, 3000, appended);
    std::printf("[ INFO     ] WM_DEVICECHANGE after the removal: %s\n",
                wineSentIt ? "sent by Wine" : "not sent by Wine, delivered by the test");
    ::testing::Test::RecordProperty("device_change", wineSentIt ? "wine" : "test");
    if (!wineSentIt) {
        EXPECT_EQ(gui::send(s.main, WM_DEVICECHANGE, 7 /* DBT_DEVNODES_CHANGED */, 0, -1), 0);
    }
    expectLogLines(s.main, {{"removal", L"Com Port was closed\r\n"}}, from, kWindowWaitMs);
    expectMenu(s.main, {{kChoosePort, 1},
                        {kConnect, 0},
                        {kDisconnect, 0},
                        {kReadAll, 0},
                        {kLoadAll, 0},
                        {kClear, 1}});
    expectDeviceButtons(s.main, false);

    // A second notice finds no port in use and changes nothing.
    const std::wstring logAfter = gui::logText(s.main);
    EXPECT_EQ(gui::send(s.main, WM_DEVICECHANGE, 7, 0, -1), 0);
    EXPECT_EQ(gui::logText(s.main), logAfter);
}

TEST(GuiEndToEnd, ExitEndsTheProgramWithCodeZero) {
    REQUIRE_WINDOW();
    Session& s = session();
    ASSERT_TRUE(gui::postCommand(s.main, kExit));
    DWORD code = 1234;
    EXPECT_TRUE(gui::waitForExit(s.process, kWindowWaitMs, code)) << "Tarnwick.exe did not end";
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(gui::waitForDialogGone(kMainTitle, kWindowWaitMs, s.process.id));
    gui::endProcess(s.process);
    s.main = nullptr;
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    gui::endProcess(session().process); // whatever step failed, leave no window behind
    return status;
}
