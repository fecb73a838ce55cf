#pragma once

// Steers a running Tarnwick.exe from another process, by window title and control ID: what
// an end-to-end test or a screenshot script needs. Only messages that Windows (and Wine)
// carry across processes are used; WM_NOTIFY is not one of them, so a tab is chosen with the
// keyboard messages the tab strip handles itself.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <vector>

namespace gui {

inline constexpr const wchar_t* kMainTitle = L"Tarnwick";
inline constexpr const wchar_t* kPickerTitle = L"Выбор COM-порта";
inline constexpr const wchar_t* kAboutTitle = L"О программе Tarnwick";

// Every message sent to the other process waits at most this long, so that a hung window
// fails a test instead of hanging it.
inline constexpr DWORD kSendTimeoutMs = 10000;
// What a query answers when the window did not answer it in time.
inline constexpr LRESULT kNoAnswer = -2;

// SendMessageTimeoutW: the window's result, or `noAnswer` after `timeoutMs` or on failure.
LRESULT send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT noAnswer = 0,
             DWORD timeoutMs = kSendTimeoutMs);

// A top-level dialog of this title (of that process, unless 0), waiting up to `timeoutMs`;
// nullptr when none appeared.
HWND waitForDialog(const wchar_t* title, DWORD timeoutMs, DWORD processId = 0);
// True once no top-level dialog of this title is left.
bool waitForDialogGone(const wchar_t* title, DWORD timeoutMs, DWORD processId = 0);

HWND control(HWND dialog, int id);

// WM_COMMAND as a button click sends it; true once the window has handled it, false when it
// did not within `timeoutMs` (a whole read-all runs inside one such command).
bool click(HWND dialog, int id, DWORD timeoutMs = 120000);
// The same, posted: for commands that open a modal dialog.
bool postCommand(HWND dialog, int id);

std::wstring text(HWND window);
std::wstring controlText(HWND dialog, int id);
// WM_SETTEXT: an edit reports the change, so the window's filters run on it.
void setControlText(HWND dialog, int id, const std::wstring& text);
std::wstring logText(HWND mainWindow);

bool isChecked(HWND dialog, int id);
// A click on a check box: toggles an automatic one.
void clickCheckBox(HWND dialog, int id);

int listSelection(HWND dialog, int id); // -1: nothing chosen, kNoAnswer: no answer
int listCount(HWND dialog, int id);
std::wstring listEntry(HWND dialog, int id, int index);
// A user's choice: the selection, then the CBN_SELCHANGE the list would send.
void chooseListEntry(HWND dialog, int id, int index);

bool isVisible(HWND dialog, int id); // the control's own WS_VISIBLE flag
bool isEnabled(HWND dialog, int id);
std::wstring className(HWND window);
DWORD style(HWND window);

// Menu item state by command ID: 1 enabled, 0 grayed, -1 unknown (no menu, no item, or the
// probe DLL tarnwick-gui-probe.dll not found next to the driver).
int menuItemEnabled(HWND mainWindow, int commandId);

int currentTab(HWND mainWindow);
// Makes `page` the shown tab through the tab strip's own keyboard handling, so the window
// gets TCN_SELCHANGE as if the user had switched; true when the strip shows it.
bool selectTab(HWND mainWindow, int page);

// The visible child controls of a dialog: ID, class, text and rectangle in client pixels.
struct ChildInfo {
    int id;
    std::wstring className;
    std::wstring text;
    DWORD style;
    RECT rect;
};
std::vector<ChildInfo> visibleChildren(HWND dialog);

// Layout faults of what a dialog shows now: controls that overlap, stick out of the client
// area or out of [top, bottom), and texts wider than their control (measured in the dialog's
// font). One line per fault; empty when the page is clean.
std::vector<std::wstring> layoutFaults(HWND dialog, int top, int bottom,
                                       const std::vector<int>& ignoreIds);

// The index of the first entry that starts with `prefix`, -1 when none does.
int findListEntry(HWND dialog, int id, const std::wstring& prefix);

// A window's geometry in screen pixels as ImageMagick takes it, WxH+X+Y.
std::wstring geometry(HWND window);
// The same for the client area only: what Wine draws of a dialog when no window manager
// draws its frame.
std::wstring clientGeometry(HWND window);

// Polls the log pane until the text after its first `from` characters holds `lineEnds` line
// ends; `appended` gets that text either way. False after `timeoutMs`.
bool waitForLogLines(HWND mainWindow, std::size_t from, std::size_t lineEnds, DWORD timeoutMs,
                     std::wstring& appended);

// A program started by the test, in the same Wine prefix.
struct Process {
    HANDLE handle = nullptr;
    DWORD id = 0;
};
bool launch(const std::wstring& program, const std::wstring& arguments, Process& process);
// True when the process ended within `timeoutMs`; its exit code in `exitCode`.
bool waitForExit(Process& process, DWORD timeoutMs, DWORD& exitCode);
// Terminates the process if it still runs, and forgets it.
void endProcess(Process& process);

std::string utf8(const std::wstring& text);
std::wstring wide(const std::string& text);

} // namespace gui
