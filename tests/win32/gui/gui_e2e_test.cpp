// Tarnwick.exe under Wine, driven from outside by control and menu ID, against the simulator on
// the pty that run-gui-e2e.sh maps as COM8 (registered here with SetupAPI as an adapter would
// be). Arguments: TARNWICK_EXE REQUEST_LOG (the simulator's --log-requests) [ru|en [user]]:
// the language the window is to speak (Russian by default), chosen with /lang or, with "user",
// left to the user's language.
#include "app/win32/wide_text.h"
#include "resources/resource.h"
#include "tests/win32/gui/window_driver.h"
#include "tests/win32/port_registration.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

constexpr const wchar_t* kInstance = L"ROOT\\PORTS\\TARNWICKE2E";
std::wstring app;
std::string requestLogPath;
std::string workFolder; // the run's own, beside the request log
PROCESS_INFORMATION process{};
HWND mainWindow = nullptr;
std::string language = "ru";
bool languageOfTheUser = false;

// What the window shows in each language, spelled out.
struct Shown {
    Lines menuBar;
    Lines configurationMenu; // by kConfigurationItems
    Lines tabs;
    Lines dataPage;    // by kDataPageLabels
    Lines pickerTexts; // by kPickerTexts
    std::wstring picker, about, save, open, station;
};

constexpr int kConfigurationItems[] = {IDM_CHOOSE_PORT, IDM_CONNECT, IDM_DISCONNECT, IDM_READ_ALL,
                                       IDM_LOAD_ALL,    IDM_VERIFY,  IDM_CLEAR,      IDM_STATION};
constexpr int kDataPageLabels[] = {1100, 1103, 1106, 1110, 1111, 1115,
                                   1116, 1120, 1124, 1128, 1132, 1136};
constexpr int kPickerTexts[] = {IDC_PICKER_LABEL, IDC_PICKER_REFRESH, IDC_PICKER_OPEN,
                                IDC_PICKER_CANCEL};

const Shown kRussian = {
    {"&Файл", "Конфигурирование", "&Справка"},
    {"Выбрать COM-порт...", "Подключить устройство", "Отключить устройство", "Считать настройки",
     "Загрузить настройки", "Проверить настройки", "Очистить", "Станция..."},
    {"Общее", "Голос", "Данные", "LoRa", "WiFi", "XNB", "BLE", "Датчики(внутр.)", "Датчики(внеш.)",
     "GNSS", "Сервис"},
    {"ID:", "Ответ сервера", "Период отправки данных\r\n   на сервер (7~180сек):", "Точка доступа",
     "Имя (APN):", "MQTT",
     "Брокер:", "Имя пользователя:", "Пароль:", "Порт:", "Топик(подписка):", "Топик(публикация):"},
    {"Список:", "Обновить", "ОК", "Отмена"},
    L"Выбор COM-порта",
    L"О программе Tarnwick",
    L"Сохранить профиль",
    L"Открыть профиль",
    L"Станция",
};

const Shown kEnglish = {
    {"&File", "Configuration", "&Help"},
    {"Choose COM port...", "Connect device", "Disconnect device", "Read settings", "Load settings",
     "Verify settings", "Clear", "Station..."},
    {"General", "Voice", "Data", "LoRa", "WiFi", "XNB", "BLE", "Sensors (int.)", "Sensors (ext.)",
     "GNSS", "Service"},
    {"ID:", "Server reply", "Period of sending data\r\n   to the server (7~180 s):", "Access point",
     "Name (APN):", "MQTT",
     "Broker:", "User name:", "Password:", "Port:", "Topic (subscribe):", "Topic (publish):"},
    {"Ports:", "Refresh", "OK", "Cancel"},
    L"Choose COM port",
    L"About Tarnwick",
    L"Save profile",
    L"Open profile",
    L"Station",
};

const Shown& shown() {
    return language == "en" ? kEnglish : kRussian;
}

std::string text(int id, HWND dialog = mainWindow) {
    return windowText(GetDlgItem(dialog, id));
}

std::string chosenEntry(int id) {
    wchar_t entry[64] = {};
    const HWND list = GetDlgItem(mainWindow, id);
    send(list, CB_GETLBTEXT, send(list, CB_GETCURSEL), reinterpret_cast<LPARAM>(entry));
    return utf8FromWide(entry);
}

std::string checkMark(int id) {
    return send(GetDlgItem(mainWindow, id), BM_GETCHECK) == BST_CHECKED ? "1" : "0";
}

// A user's choice of the entry with this text: the selection, then the list's own notice.
bool choose(HWND dialog, int id, const wchar_t* entry) {
    const HWND list = GetDlgItem(dialog, id);
    const LRESULT index =
        send(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(entry));
    send(list, CB_SETCURSEL, static_cast<WPARAM>(index));
    send(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    return index >= 0;
}

// WM_COMMAND as a click sends it: true once the window has handled it.
bool click(int id) {
    return send(mainWindow, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                reinterpret_cast<LPARAM>(GetDlgItem(mainWindow, id))) != -2;
}

// Posted: for a command that opens a modal dialog.
bool post(HWND dialog, int id) {
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0) != FALSE;
}

// Only this test's window: the Wine server is private to the run.
// WM_NOTIFY does not cross processes: from a neighbour chosen without notice, an arrow key,
// which the strip reports to the window as a user's switch.
bool selectTab(int page) {
    const HWND strip = GetDlgItem(mainWindow, IDC_TAB_STRIP);
    const WPARAM from = page > 0 ? page - 1 : page + 1;
    send(strip, TCM_SETCURSEL, from);
    send(strip, TCM_SETCURFOCUS, from);
    send(strip, WM_KEYDOWN, page > 0 ? VK_RIGHT : VK_LEFT, 1);
    send(strip, WM_KEYUP, page > 0 ? VK_RIGHT : VK_LEFT, 0xC0000001);
    return send(strip, TCM_GETCURSEL) == page;
}

// Asks inside the window's process what only it can read (tarnwick-gui-probe.dll, found next
// to this program): the answer, or 0xFFFFFFFF for none.
enum class Probe : WPARAM { MenuState, MenuText, MenuBarText, TabText };

std::uintptr_t probe(Probe question, int which) {
    static const HMODULE library = LoadLibraryW(L"tarnwick-gui-probe.dll");
    const HHOOK hook = SetWindowsHookExW(
        WH_CALLWNDPROC,
        reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(library, "probeHook"))),
        library, GetWindowThreadProcessId(mainWindow, nullptr));
    RemovePropW(mainWindow, L"TarnwickGuiProbeAnswer");
    send(mainWindow, RegisterWindowMessageW(L"TarnwickGuiProbe"), static_cast<WPARAM>(question),
         which);
    const auto answer =
        reinterpret_cast<std::uintptr_t>(GetPropW(mainWindow, L"TarnwickGuiProbeAnswer"));
    return hook == nullptr || !UnhookWindowsHookEx(hook) || answer == 0 ? 0xFFFFFFFF : answer - 1;
}

// 1 enabled, 0 grayed, -1 unknown.
int menuItemEnabled(int commandId) {
    const std::uintptr_t state = probe(Probe::MenuState, commandId);
    return state == 0xFFFFFFFF ? -1 : (state & (MF_GRAYED | MF_DISABLED)) == 0 ? 1 : 0;
}

// A menu item's or a tab's text, handed over as a global atom.
std::string probedText(Probe question, int which) {
    const auto atom = static_cast<ATOM>(probe(question, which));
    wchar_t text[256] = {};
    const UINT length = atom != 0xFFFF ? GlobalGetAtomNameW(atom, text, 256) : 0;
    GlobalDeleteAtom(atom);
    return length > 0 ? utf8FromWide(text) : "(none)";
}

struct Placed {
    int id;
    RECT rect; // in the dialog's client coordinates
    bool isGroup;
};

// The dialog's visible controls but those named.
std::vector<Placed> visibleControls(HWND dialog, std::vector<int> except = {}) {
    std::vector<Placed> placed;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(child);
        if (!IsWindowVisible(child) ||
            std::find(except.begin(), except.end(), id) != except.end()) {
            continue;
        }
        wchar_t kind[32] = {};
        GetClassNameW(child, kind, 32);
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        placed.push_back({id, rect,
                          _wcsicmp(kind, L"Button") == 0 &&
                              (GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX});
    }
    return placed;
}

bool inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Every control lies within `area` and clear of every other, but for the members of a group box.
void expectLaidOut(const std::vector<Placed>& controls, const RECT& area,
                   const std::string& where) {
    EXPECT_FALSE(controls.empty()) << where;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const Placed& a = controls[i];
        EXPECT_TRUE(inside(a.rect, area)) << where << ": control " << a.id << " is clipped";
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            const Placed& b = controls[j];
            RECT common{};
            const bool grouped =
                (a.isGroup && inside(b.rect, a.rect)) || (b.isGroup && inside(a.rect, b.rect));
            EXPECT_TRUE(!IntersectRect(&common, &a.rect, &b.rect) || grouped)
                << where << ": controls " << a.id << " and " << b.id << " overlap";
        }
    }
}

// Asks run-gui-e2e.sh, which reads this program's output, for a PNG of the window, or of a
// dialog's client area (what Wine draws without a window manager).
// The log's lines after its first `from` bytes, once there are `count` (or after 30 s).
Lines logLinesAfter(std::size_t from, std::size_t count = 1) {
    Lines lines;
    waitUntil([&] {
        const std::string log = text(IDC_LOG_PANE);
        lines.clear();
        for (std::size_t at = from, end; (end = log.find("\r\n", at)) != std::string::npos;
             at = end + 2) {
            lines.push_back(log.substr(at, end + 2 - at));
        }
        return lines.size() >= count;
    });
    return lines;
}

// The log lines of a command that runs a whole sequence, each of which must succeed.
Lines runSequence(int command) {
    const std::size_t from = text(IDC_LOG_PANE).size();
    EXPECT_TRUE(click(command));
    const Lines lines = logLinesAfter(from);
    EXPECT_FALSE(lines.empty());
    for (const std::string& line : lines) {
        EXPECT_TRUE(line.ends_with("...   success.\r\n")) << line;
    }
    return lines;
}

// The simulator's "REQ 0xCODE bytes..." lines after its first `from`, once there are `count`:
// it logs a request once it has answered it, so the last one may lag a little.
Lines requestsAfter(std::size_t from, std::size_t count) {
    Lines sent;
    waitUntil(
        [&] {
            std::ifstream in(requestLogPath, std::ios::binary);
            sent.clear();
            for (std::string line; std::getline(in, line);) {
                if (line.starts_with("REQ ")) {
                    sent.push_back(line);
                }
            }
            sent.erase(sent.begin(),
                       sent.begin() + static_cast<std::ptrdiff_t>(std::min(from, sent.size())));
            return sent.size() >= count;
        },
        5000);
    return sent;
}

// The menu items that follow the connection, and every push button of the pages: each one
// starts a device exchange.
void expectConnected(bool connected) {
    std::vector<int> menu;
    for (int id : {IDM_CHOOSE_PORT, IDM_CONNECT, IDM_DISCONNECT, IDM_READ_ALL, IDM_LOAD_ALL,
                   IDM_VERIFY, IDM_CLEAR, IDM_ABOUT, IDM_EXIT, IDM_OPEN, IDM_SAVE_AS}) {
        menu.push_back(menuItemEnabled(id));
    }
    const int on = connected ? 1 : 0;
    EXPECT_EQ(menu, (std::vector<int>{1 - on, 0, on, on, on, on, 1, 1, 1, 1, 1}));
    int buttons = 0;
    for (HWND child = GetWindow(mainWindow, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (send(child, WM_GETDLGCODE) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
            ++buttons;
            EXPECT_EQ(IsWindowEnabled(child) != FALSE, connected)
                << "button " << GetDlgCtrlID(child);
        }
    }
    EXPECT_GT(buttons, 0);
}

// A file dialog of the window, given a path in its file name box (cmb13) as a user types one.
bool chooseFile(int command, const wchar_t* title, const std::string& path) {
    const HWND dialog = post(mainWindow, command) ? waitForDialog(title) : nullptr;
    const std::wstring wide = wideFromUtf8(path);
    return send(GetDlgItem(dialog, 0x47C), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str())) ==
               TRUE &&
           post(dialog, IDOK) && waitUntil([&] { return !IsWindow(dialog); });
}

using GuiEndToEnd = StepsOn<mainWindow>;

// Before any window: a language the window does not speak is named in a message box, and the
// program ends with code 2.
TEST(GuiStart, AnUnknownLanguageIsRefusedWithCodeTwo) {
    PROCESS_INFORMATION refused{};
    ASSERT_TRUE(launch(app, L"/lang de", refused));
    const HWND box = waitForDialog(L"Tarnwick");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(text(0xFFFF, box), "Unknown language for /lang: \"de\" (use ru or en)");
    ASSERT_TRUE(post(box, IDOK));
    ASSERT_EQ(WaitForSingleObject(refused.hProcess, 30000), WAIT_OBJECT_0);
    DWORD code = 1234;
    EXPECT_TRUE(GetExitCodeProcess(refused.hProcess, &code));
    EXPECT_EQ(code, 2U);
    CloseHandle(refused.hProcess);
    CloseHandle(refused.hThread);
}

TEST_F(GuiEndToEnd, StartsDisconnected) {
    ASSERT_TRUE(registerPort(kInstance, L"COM8", L"Tarnwick simulated tracker"));
    mainWindow = startTarnwick(app, wideFromUtf8(workFolder + "trace.txt"), process,
                               languageOfTheUser ? L"" : wideFromUtf8(language));
    ASSERT_TRUE(IsWindow(mainWindow));
    EXPECT_EQ(text(IDC_LOG_PANE), "");
    expectConnected(false);
}

TEST_F(GuiEndToEnd, MenuTabsAndPagesSpeakTheChosenLanguage) {
    Lines menuBar;
    for (int position = 0; position < 3; ++position) {
        menuBar.push_back(probedText(Probe::MenuBarText, position));
    }
    EXPECT_EQ(menuBar, shown().menuBar);
    Lines items;
    for (int id : kConfigurationItems) {
        items.push_back(probedText(Probe::MenuText, id));
    }
    EXPECT_EQ(items, shown().configurationMenu);
    Lines tabs;
    for (int page = 0; page < send(GetDlgItem(mainWindow, IDC_TAB_STRIP), TCM_GETITEMCOUNT);
         ++page) {
        tabs.push_back(probedText(Probe::TabText, page));
    }
    EXPECT_EQ(tabs, shown().tabs);
    Lines labels;
    for (int id : kDataPageLabels) {
        labels.push_back(text(id));
    }
    EXPECT_EQ(labels, shown().dataPage);
}

// The layout both languages share, at the screen's DPI: each page's controls between the tab
// strip and the log pane, none over another.
TEST_F(GuiEndToEnd, EveryPageKeepsItsControlsInsideAndApart) {
    RECT area{};
    GetClientRect(mainWindow, &area);
    for (const auto& [id, edge] :
         {std::pair{IDC_TAB_STRIP, &area.top}, std::pair{IDC_LOG_PANE, &area.bottom}}) {
        RECT rect{};
        GetWindowRect(GetDlgItem(mainWindow, id), &rect);
        MapWindowPoints(nullptr, mainWindow, reinterpret_cast<POINT*>(&rect), 2);
        *edge = id == IDC_TAB_STRIP ? rect.bottom : rect.top;
    }
    for (int page = 0; page < 11; ++page) {
        ASSERT_TRUE(selectTab(page)) << page;
        expectLaidOut(visibleControls(mainWindow, {IDC_TAB_STRIP, IDC_LOG_PANE}), area,
                      "page " + std::to_string(page));
    }
    ASSERT_TRUE(selectTab(0));
}

TEST_F(GuiEndToEnd, PickerListsTheRegisteredPortAndConnects) {
    ASSERT_TRUE(post(mainWindow, IDM_CHOOSE_PORT));
    const HWND picker = waitForDialog(shown().picker.c_str());
    ASSERT_NE(picker, nullptr);
    Lines texts;
    for (int id : kPickerTexts) {
        texts.push_back(text(id, picker));
    }
    EXPECT_EQ(texts, shown().pickerTexts);
    RECT client{};
    GetClientRect(picker, &client);
    expectLaidOut(visibleControls(picker), client, "picker");
    ASSERT_TRUE(choose(picker, IDC_PICKER_PORTS, L"COM8 : Tarnwick simulated tracker"));
    screenshot("picker.png", picker, true);
    ASSERT_TRUE(post(picker, IDC_PICKER_OPEN));
    // The connect succeeds only on the simulator's second reply.
    EXPECT_EQ(logLinesAfter(0, 2), (Lines{"Trying to open port \\\\.\\COM8...   success.\r\n",
                                          "Connecting...   success.\r\n"}));
    expectConnected(true);
}

TEST_F(GuiEndToEnd, ReadAllShowsTheDeviceValues) {
    const Lines lines = runSequence(IDM_READ_ALL);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Getting Master flag...   success.\r\n");
    EXPECT_EQ(lines.back(), "Getting log flags...   success.\r\n");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Getting SIZ_3...   success.\r\n"),
              lines.end());
    // The simulated tracker's factory values, as the pages show them.
    EXPECT_EQ((Lines{checkMark(IDC_MASTER_FLAG), checkMark(IDC_SERVER_ACK_FLAG),
                     checkMark(IDC_GNSS_ALWAYS_ON), text(IDC_IMEI), text(IDC_APN),
                     text(IDC_MQTT_PORT), text(IDC_SIZ_3), text(IDC_IMMOBILITY_T3),
                     chosenEntry(IDC_LORA_BAND), chosenEntry(IDC_SIZ_RSSI)}),
              (Lines{"1", "1", "0", "356938035643809", "internet", "1883", "E45F012A813D", "30",
                     "RU864-870", "-70 dB"}));

    const LRESULT pages = send(GetDlgItem(mainWindow, IDC_TAB_STRIP), TCM_GETITEMCOUNT);
    EXPECT_GT(pages, 0);
    for (int page = 0; page < pages; ++page) {
        ASSERT_TRUE(selectTab(page)) << page;
        screenshot((page < 10 ? "page-0" : "page-") + std::to_string(page) + ".png", mainWindow,
                   false);
    }
}

TEST_F(GuiEndToEnd, LoadAllSendsTheChangedValues) {
    // An edit, a filtered edit, a check box and a list, changed as a user would: WM_SETTEXT
    // makes an edit report the change, so the window's filters run on it.
    send(GetDlgItem(mainWindow, IDC_APN), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"iot.e2e"));
    send(GetDlgItem(mainWindow, IDC_MQTT_PORT), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"8883"));
    send(GetDlgItem(mainWindow, IDC_SERVER_ACK_FLAG), BM_CLICK);
    ASSERT_TRUE(choose(mainWindow, IDC_LORA_BAND, L"EU863-870"));

    const std::size_t requestsBefore = requestsAfter(0, 0).size();
    const Lines lines = runSequence(IDM_LOAD_ALL);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Setting Master flag...   success.\r\n");
    EXPECT_EQ(lines.back(), "Setting log flags...   success.\r\n");
    // One request a line; code, reserved 0, payload length, payload.
    const Lines sent = requestsAfter(requestsBefore, lines.size());
    EXPECT_EQ(sent.size(), lines.size());
    for (const char* request :
         {"REQ 0x0008 00 08 00 01 01", "REQ 0x0203 02 03 00 01 00",
          "REQ 0x0302 03 02 00 07 69 6F 74 2E 65 32 65", "REQ 0x020F 02 0F 00 02 22 B3",
          "REQ 0x0508 05 08 00 01 00", "REQ 0x0800 08 00 00 07 02 E4 5F 01 2A 81 3D"}) {
        EXPECT_NE(std::find(sent.begin(), sent.end(), request), sent.end()) << request;
    }
}

TEST_F(GuiEndToEnd, SaveOpenAndVerifyThePageFields) {
    const std::size_t from = text(IDC_LOG_PANE).size();
    ASSERT_TRUE(chooseFile(IDM_SAVE_AS, shown().save.c_str(), workFolder + "saved.profile"));
    EXPECT_EQ(logLinesAfter(from, 1), Lines{"Saving profile...   success.\r\n"});
    std::ifstream in(workFolder + "saved.profile", std::ios::binary);
    std::string profile{std::istreambuf_iterator<char>(in), {}};
    EXPECT_TRUE(profile.starts_with("# Tarnwick profile: one NAME[.FIELD]=VALUE per line. It holds "
                                    "passwords: keep it private.\nmaster-flag=1\n"));
    for (const char* line : {"\nserver-ack-flag=0\n", "\nlora-band=EU863-870\n"}) {
        EXPECT_NE(profile.find(line), std::string::npos) << line;
    }
    const std::size_t apn = profile.find("\napn=iot.e2e\n");
    ASSERT_NE(apn, std::string::npos);
    std::ofstream(workFolder + "opened.profile") << profile.replace(apn, 13, "\napn=iot.opened\n");
    ASSERT_TRUE(chooseFile(IDM_OPEN, shown().open.c_str(), workFolder + "opened.profile"));
    EXPECT_EQ(logLinesAfter(from, 2).back(), "Opening profile...   success.\r\n");
    ASSERT_TRUE(click(IDM_VERIFY)); // the whole read-back runs inside the command
    const Lines lines = logLinesAfter(from);
    EXPECT_EQ(Lines(lines.end() - std::min<std::ptrdiff_t>(3, std::ssize(lines)), lines.end()),
              (Lines{"apn: wrote iot.opened, the device has iot.e2e\r\n",
                     "not verifiable: gas-analyzer, token (write only)\r\n",
                     "39 settings read back, 1 field differs\r\n"}));
    screenshot("verify.png", mainWindow, false);
}

TEST_F(GuiEndToEnd, ClearEmptiesTheFieldsAndKeepsTheLog) {
    const std::string before = text(IDC_LOG_PANE);
    ASSERT_TRUE(click(IDM_CLEAR));
    EXPECT_EQ(text(IDC_LOG_PANE), before);
    EXPECT_EQ((Lines{checkMark(IDC_MASTER_FLAG), text(IDC_APN), text(IDC_SIZ_3)}),
              (Lines{"0", "", ""}));
    EXPECT_EQ(send(GetDlgItem(mainWindow, IDC_LORA_BAND), CB_GETCURSEL), 0);
    expectConnected(true);
}

TEST_F(GuiEndToEnd, AboutShowsTheDeviceVersions) {
    const std::size_t from = text(IDC_LOG_PANE).size();
    ASSERT_TRUE(post(mainWindow, IDM_ABOUT));
    const HWND about = waitForDialog(shown().about.c_str());
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(logLinesAfter(from, 6),
              (Lines{"Get SW version...   success.\r\n", "Get GSM version...   success.\r\n",
                     "Get LBLE version...   success.\r\n", "Get GNSS version...   success.\r\n",
                     "Get WiFi version...   success.\r\n", "Get XNB version...   success.\r\n"}));
    Lines labels;
    for (int id = IDC_ABOUT_HEADER; id <= IDC_ABOUT_XNB; ++id) {
        labels.push_back(text(id, about));
    }
    EXPECT_EQ(labels,
              (Lines{"Tarnwick.exe: version 4.3.4", "FW: 2.7.1 (2024-05-14)", "GSM: 01.200.01.200",
                     "LBLE: 1.6.2", "GNSS: 3.01.2", "WiFi: 3.2.0", "XNB: 1.0.3"}));
    screenshot("about.png", about, true);
    ASSERT_TRUE(post(about, IDC_ABOUT_OK));
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(about); }));
}

TEST_F(GuiEndToEnd, MmiButtonsReachTheDevice) {
    ASSERT_TRUE(selectTab(10)); // "Сервис"
    for (const auto& [button, action, request] :
         std::vector<std::tuple<int, std::string, std::string>>{
             {IDC_TEST_LED_GREEN, "Toggle green led", "REQ 0x0003 00 03 00 01 00"},
             {IDC_TEST_LED_RED, "Toggle red led", "REQ 0x0003 00 03 00 01 01"},
             {IDC_TEST_VOICE, "Switching on voice", "REQ 0x0004 00 04 00 00"},
             {IDC_TEST_VIBRO, "Switching on vibro", "REQ 0x0005 00 05 00 00"}}) {
        const std::size_t requestsBefore = requestsAfter(0, 0).size();
        const std::size_t from = text(IDC_LOG_PANE).size();
        ASSERT_TRUE(click(button));
        EXPECT_EQ(logLinesAfter(from), Lines{action + "...   success.\r\n"});
        EXPECT_EQ(requestsAfter(requestsBefore, 1), Lines{request});
    }
}

TEST_F(GuiEndToEnd, PullingThePortClosesIt) {
    const std::size_t from = text(IDC_LOG_PANE).size();
    ASSERT_TRUE(unregisterPort(kInstance));
    // Windows broadcasts this on a removal, Wine does not; a second notice would change nothing.
    EXPECT_EQ(send(mainWindow, WM_DEVICECHANGE, 7 /* DBT_DEVNODES_CHANGED */), 0);
    EXPECT_EQ(logLinesAfter(from), Lines{"Com Port was closed\r\n"});
    expectConnected(false);
}

// Opened from the menu (which disconnects a connected device first), shown and closed.
TEST_F(GuiEndToEnd, TheStationIsLaidOutInTheChosenLanguage) {
    ASSERT_TRUE(post(mainWindow, IDM_STATION));
    const HWND station = waitForDialog(shown().station.c_str());
    ASSERT_NE(station, nullptr);
    EXPECT_EQ(text(IDC_STATION_START, station), language == "en" ? "Start" : "Старт");
    RECT client{};
    GetClientRect(station, &client);
    expectLaidOut(visibleControls(station), client, "station");
    screenshot("station.png", station, true);
    ASSERT_TRUE(post(station, IDCANCEL));
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(station); }));
}

TEST_F(GuiEndToEnd, ExitEndsTheProgramWithCodeZero) {
    ASSERT_TRUE(post(mainWindow, IDM_EXIT));
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    DWORD code = 1234;
    EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &code));
    EXPECT_EQ(code, 0U);
    std::ifstream in(workFolder + "trace.txt");
    const std::string trace{std::istreambuf_iterator<char>(in), {}};
    EXPECT_TRUE(trace.starts_with("        0 open COM8\n")) << trace.substr(0, 200);
    EXPECT_NE(trace.find(" tx 00020401010101 code=0x0000 len=0 payload=\n"), std::string::npos);
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    app = wideFromUtf8(argc > 1 ? argv[1] : "");
    requestLogPath = argc > 2 ? argv[2] : "";
    language = argc > 3 ? argv[3] : "ru";
    languageOfTheUser = argc > 4 && std::string(argv[4]) == "user";
    workFolder = requestLogPath.substr(0, requestLogPath.find_last_of('\\') + 1);
    const int status = RUN_ALL_TESTS();
    // Whatever step failed, leave no window and no registered port behind.
    if (process.hProcess != nullptr) {
        TerminateProcess(process.hProcess, 99); // fails harmlessly once it has ended
    }
    unregisterPort(kInstance);
    return status;
}
