#include "app/win32/station_dialog.h"

#include "app/win32/profile_files.h"
#include "app/win32/station_list.h"
#include "app/win32/wide_text.h"
#include "app/win32/window_language.h"
#include "link/command_index.h"
#include "profile/page_profile.h"
#include "resources/resource.h"
#include "station/audit_file.h"
#include "station/board.h"
#include "station/station.h"

#include <commdlg.h>

#include <atomic>
#include <map>
#include <memory>
#include <thread>

namespace {

constexpr UINT kRowsChanged = WM_APP + 1; // a worker changed the board
constexpr UINT kRunEnded = WM_APP + 2;    // runStation returned; the thread may be joined

std::atomic<bool> stopFlag{false};

// Forwards the station's events to the board, then wakes the dialog's thread; at most one
// such message waits in its queue, however fast the workers go.
class PostingObserver final : public StationObserver {
  public:
    PostingObserver(StationBoard& board, HWND dialog) : board_(board), dialog_(dialog) {}

    void note(const std::string& port, const std::string& text) override {
        board_.note(port, text);
        wake();
    }
    void progress(const std::string& port, const PassProgress& progress,
                  std::chrono::milliseconds elapsed) override {
        board_.progress(port, progress, elapsed);
        wake();
    }
    void finished(const DeviceAttempt& attempt) override {
        board_.finished(attempt);
        wake();
    }
    // The dialog's thread calls this before it reads the board, so no change goes unseen.
    void woken() { pending_ = false; }

  private:
    void wake() {
        if (!pending_.exchange(true) && PostMessageW(dialog_, kRowsChanged, 0, 0) == FALSE) {
            pending_ = false;
        }
    }

    StationBoard& board_;
    HWND dialog_;
    std::atomic<bool> pending_{false};
};

// One batch: everything runStation borrows, kept until its thread is joined.
struct StationRun {
    std::string profileText;
    OverrideTable overrides;
    ProvisionPlan plan;
    AuditFile audit;
    AuditSink sink;
    StationOptions options;
    std::unique_ptr<PortSource> ports;
    std::unique_ptr<PostingObserver> observer;
    StationSummary summary;
    std::thread thread;
};

struct StationDialog {
    AppState* app = nullptr;
    HWND window = nullptr;
    StationList list;
    std::unique_ptr<StationBoard> board; // the last run's; kept for a retry and the export
    std::string boardProfileSha256;
    std::map<std::string, std::string> written; // the trackers the board's runs wrote
    std::unique_ptr<StationRun> run;            // set while a run is going
    bool closeAfterRun = false;
};

// Disabled while a run is going.
constexpr int kInputs[] = {
    IDC_STATION_PROFILE,          IDC_STATION_PROFILE_BROWSE, IDC_STATION_OVERRIDES,
    IDC_STATION_OVERRIDES_BROWSE, IDC_STATION_AUDIT,          IDC_STATION_AUDIT_BROWSE,
    IDC_STATION_FIRMWARE,         IDC_STATION_WATCH,          IDC_STATION_START,
};

std::wstring itemText(HWND window, int id) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(GetDlgItem(window, id))) + 1,
                      L'\0');
    text.resize(static_cast<std::size_t>(
        GetDlgItemTextW(window, id, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool isChecked(HWND window, int id) {
    return IsDlgButtonChecked(window, id) == BST_CHECKED;
}

void setStatus(const StationDialog& dialog, const std::wstring& text) {
    SetDlgItemTextW(dialog.window, IDC_STATION_STATUS, text.c_str());
}

void enable(HWND window, int id, bool enabled) {
    EnableWindow(GetDlgItem(window, id), enabled ? TRUE : FALSE);
}

void updateButtons(const StationDialog& dialog) {
    const bool idle = dialog.run == nullptr;
    for (const int id : kInputs) {
        enable(dialog.window, id, idle);
    }
    enable(dialog.window, IDC_STATION_RETRY, idle && isChecked(dialog.window, IDC_STATION_WATCH));
    enable(dialog.window, IDC_STATION_STOP, !idle && !stopFlag);
    const bool hasBoard = dialog.board != nullptr;
    enable(dialog.window, IDC_STATION_RETRY_FAILED,
           idle && hasBoard && !dialog.board->portsToRetry().empty());
    enable(dialog.window, IDC_STATION_EXPORT, idle && hasBoard);
}

void refreshRows(StationDialog& dialog) {
    if (dialog.run != nullptr) {
        dialog.run->observer->woken();
    }
    const BoardCounts counts = dialog.board != nullptr ? dialog.board->counts() : BoardCounts{};
    dialog.list.show(dialog.board != nullptr ? dialog.board->rows() : std::vector<BoardRow>{});
    SetDlgItemTextW(dialog.window, IDC_STATION_SUMMARY, stationCountsText(counts).c_str());
}

// --- files ---

bool chooseFile(HWND owner, const wchar_t* filter, const wchar_t* extension, const wchar_t* title,
                bool forSaving, DWORD flags, std::wstring& path) {
    std::array<wchar_t, MAX_PATH * 4> name{};
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrDefExt = extension;
    dialog.lpstrTitle = title;
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | flags;
    if ((forSaving ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog)) == FALSE) {
        return false;
    }
    path = name.data();
    return true;
}

void browse(HWND window, int id) {
    constexpr const wchar_t* kCsv = L"CSV (*.csv)\0*.csv\0All files (*.*)\0*.*\0";
    constexpr const wchar_t* kAudit = L"Audit (*.jsonl)\0*.jsonl\0All files (*.*)\0*.*\0";
    std::wstring path;
    bool chosen = false;
    if (id == IDC_STATION_PROFILE_BROWSE) {
        chosen = chooseProfileFile(window, false, path);
    } else if (id == IDC_STATION_OVERRIDES_BROWSE) {
        chosen = chooseFile(window, kCsv, L"csv", windowTexts().overridesTitle, false,
                            OFN_FILEMUSTEXIST, path);
    } else {
        // The audit is appended to: an existing file is no cause for a warning.
        chosen = chooseFile(window, kAudit, L"jsonl", windowTexts().auditTitle, true, 0, path);
    }
    if (chosen) {
        SetDlgItemTextW(window, id - 1, path.c_str()); // each edit precedes its button
    }
}

// The whole of a named file, refused past the command line's limit as the command line does.
bool readInputFile(const std::wstring& path, std::string& text, std::wstring& problem) {
    std::string error;
    if (!readProfileFile(path, text, error)) {
        problem = wideFromUtf8(error);
        return false;
    }
    if (text.size() > kMaxPageProfileBytes) {
        problem = L"cannot read " + path + L": larger than 1 MiB";
        return false;
    }
    return true;
}

std::wstring wideFromAnsi(const std::string& text) {
    const int size =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

// openAuditFile takes a path in the ANSI code page: a name that code page cannot spell is
// refused rather than opened under another name.
bool ansiFromWide(const std::wstring& path, std::string& ansi) {
    BOOL lossy = FALSE;
    const int length = static_cast<int>(path.size());
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), length,
                                         nullptr, 0, nullptr, &lossy);
    ansi.assign(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), length, ansi.data(), size,
                        nullptr, &lossy);
    return size > 0 && lossy == FALSE;
}

// audit.jsonl beside the profile when the field is left empty.
std::wstring auditPathOf(HWND window, const std::wstring& profilePath) {
    std::wstring path = itemText(window, IDC_STATION_AUDIT);
    if (!path.empty()) {
        return path;
    }
    const std::size_t slash = profilePath.find_last_of(L"\\/");
    return (slash == std::wstring::npos ? L"" : profilePath.substr(0, slash + 1)) + L"audit.jsonl";
}

// --- a run ---

// The plan as the command line builds it: both files read and checked whole, then the audit
// opened; nothing is sent before. False with what the status line shows.
bool preparePlan(HWND window, StationRun& run, std::wstring& problem) {
    const std::string firmware = utf8FromWide(itemText(window, IDC_STATION_FIRMWARE));
    if (!firmware.empty() && !isDottedVersion(firmware)) {
        problem = withValue(windowTexts().firmwareNotDotted, wideFromUtf8(firmware));
        return false;
    }
    const std::wstring profilePath = itemText(window, IDC_STATION_PROFILE);
    if (profilePath.empty()) {
        problem = windowTexts().noProfile;
        return false;
    }
    std::string error;
    if (!readInputFile(profilePath, run.profileText, problem)) {
        return false;
    }
    if (!parseProfile(run.profileText, run.plan.profile, error, Placeholders::Filled)) {
        problem = profilePath + L": " + wideFromUtf8(error);
        return false;
    }
    const std::wstring overridesPath = itemText(window, IDC_STATION_OVERRIDES);
    if (!overridesPath.empty()) {
        std::string text;
        if (!readInputFile(overridesPath, text, problem)) {
            return false;
        }
        if (!parseOverrides(text, run.overrides, error)) {
            problem = overridesPath + L": " + wideFromUtf8(error);
            return false;
        }
        run.plan.overrides = &run.overrides;
    }
    run.plan.requiredFirmware = firmware;
    run.plan.connectTimeoutMs = kConnectAfterOpenTimeoutMs;
    return true;
}

bool openAudit(HWND window, StationRun& run, std::wstring& problem) {
    const std::wstring path = auditPathOf(window, itemText(window, IDC_STATION_PROFILE));
    std::string ansiPath;
    if (!ansiFromWide(path, ansiPath)) {
        problem = withValue(windowTexts().auditNameNotInCodePage, path);
        return false;
    }
    std::string error;
    if (!openAuditFile(ansiPath, run.audit, error)) {
        problem = wideFromAnsi(error);
        return false;
    }
    AuditFile* audit = &run.audit;
    run.sink = [audit](std::string_view record) { return appendAuditRecord(*audit, record); };
    return true;
}

std::wstring runningText(const StationRun& run) {
    const WindowTexts& texts = windowTexts();
    std::wstring text = run.options.watch ? texts.waitingForTrackers : texts.provisioning;
    if (!run.audit.warning.empty()) {
        text += withValue(texts.auditWarning, wideFromAnsi(run.audit.warning));
    }
    return text;
}

std::wstring endText(const StationSummary& summary) {
    const WindowTexts& texts = windowTexts();
    if (summary.nothingToTake) {
        return texts.noPortToTake;
    }
    std::wstring text = withValue(summary.stopped ? texts.stoppedSummary : texts.doneSummary,
                                  wideFromUtf8(summaryText(summary)));
    if (!summary.auditWritten) {
        text += texts.auditIncomplete;
    }
    return text;
}

void startRun(StationDialog& dialog, bool retryFailed) {
    auto run = std::make_unique<StationRun>();
    std::wstring problem;
    if (!preparePlan(dialog.window, *run, problem) || !openAudit(dialog.window, *run, problem)) {
        setStatus(dialog, problem);
        return;
    }
    const std::string profileSha256 = sha256Hex(run->profileText);
    run->options.watch = isChecked(dialog.window, IDC_STATION_WATCH);
    run->options.retry = run->options.watch && isChecked(dialog.window, IDC_STATION_RETRY);
    run->options.allUsb = !retryFailed;
    if (retryFailed && dialog.board != nullptr) {
        run->options.portSpecs = dialog.board->portsToRetry();
    }
    // The port the main window has open is its own.
    if (!dialog.app->connection.openPortName.empty()) {
        run->options.exclude = {dialog.app->connection.openPortName};
    }
    // A retry of the same profile adds to the rows and the export, and refuses a tracker the
    // earlier runs wrote on another port; anything else starts anew.
    if (!retryFailed || dialog.board == nullptr || dialog.boardProfileSha256 != profileSha256) {
        dialog.board = std::make_unique<StationBoard>(profileSha256);
        dialog.boardProfileSha256 = profileSha256;
        dialog.written.clear();
        dialog.list.show({});
    }
    run->options.writtenBefore = dialog.written;
    run->ports = systemPorts();
    run->observer = std::make_unique<PostingObserver>(*dialog.board, dialog.window);
    stopFlag = false;
    StationRun* const running = run.get();
    const HWND window = dialog.window;
    run->thread = std::thread([running, window, profileSha256] {
        running->summary =
            runStation(*running->ports, running->options, running->plan, profileSha256,
                       *running->observer, running->sink, &stationStopRequested);
        PostMessageW(window, kRunEnded, 0, 0);
    });
    setStatus(dialog, runningText(*run));
    dialog.run = std::move(run);
    refreshRows(dialog);
    updateButtons(dialog);
}

void onRunEnded(StationDialog& dialog) {
    if (dialog.run == nullptr) {
        return;
    }
    dialog.run->thread.join(); // runStation has returned: this does not wait
    closeAuditFile(dialog.run->audit);
    const StationSummary summary = dialog.run->summary;
    dialog.written.insert(summary.written.begin(), summary.written.end());
    refreshRows(dialog);
    dialog.run.reset();
    setStatus(dialog, endText(summary));
    updateButtons(dialog);
    if (dialog.closeAfterRun) {
        EndDialog(dialog.window, 0);
    }
}

void requestStop(StationDialog& dialog) {
    stopFlag = true;
    setStatus(dialog, windowTexts().stopping);
    updateButtons(dialog);
}

void closeDialog(StationDialog& dialog) {
    if (dialog.run == nullptr) {
        EndDialog(dialog.window, 0);
        return;
    }
    if (dialog.closeAfterRun ||
        MessageBoxW(dialog.window, windowTexts().stopAndClose, windowTexts().stationCaption,
                    MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    if (dialog.run == nullptr) { // it ended while the question was open
        EndDialog(dialog.window, 0);
        return;
    }
    dialog.closeAfterRun = true;
    requestStop(dialog);
}

void exportCsv(StationDialog& dialog) {
    constexpr const wchar_t* kCsv = L"CSV (*.csv)\0*.csv\0All files (*.*)\0*.*\0";
    std::wstring path;
    if (dialog.board == nullptr ||
        !chooseFile(dialog.window, kCsv, L"csv", windowTexts().exportTitle, true,
                    OFN_OVERWRITEPROMPT, path)) {
        return;
    }
    // Written beside it and moved over it: the file named is never left half-written.
    std::string error;
    if (writeProfileFile(path, dialog.board->csv(), error)) {
        setStatus(dialog, withValue(windowTexts().csvSaved, path));
    } else {
        setStatus(dialog, wideFromUtf8(error));
    }
}

// --- a row's log ---

INT_PTR CALLBACK logProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const HWND text = GetDlgItem(window, IDC_STATION_LOG_TEXT);
        SendMessageW(text, EM_SETLIMITTEXT, 0, 0); // past the 32K of a multiline edit
        SetWindowTextW(text, reinterpret_cast<const std::wstring*>(lParam)->c_str());
        SetFocus(GetDlgItem(window, IDC_STATION_LOG_OK)); // not the edit: it selects all
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_STATION_LOG_OK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(window, 0);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void showLog(StationDialog& dialog, int item) {
    const BoardRow* row = dialog.list.row(item);
    if (row == nullptr) {
        return;
    }
    const std::wstring log = wideFromUtf8(row->log);
    showDialog(dialog.app->instance, IDD_STATION_LOG, dialog.window, &logProc,
               reinterpret_cast<LPARAM>(&log));
}

// --- the dialog ---

INT_PTR onNotify(StationDialog& dialog, const NMHDR& header) {
    if (header.idFrom != IDC_STATION_LIST) {
        return FALSE;
    }
    if (header.code == static_cast<UINT>(NM_CUSTOMDRAW)) {
        return handledWithResult(
            dialog.window,
            dialog.list.customDraw(*reinterpret_cast<const NMLVCUSTOMDRAW*>(&header)));
    }
    if (header.code == static_cast<UINT>(NM_DBLCLK)) {
        showLog(dialog, reinterpret_cast<const NMITEMACTIVATE*>(&header)->iItem);
        return TRUE;
    }
    return FALSE;
}

INT_PTR onCommand(StationDialog& dialog, int id) {
    switch (id) {
    case IDC_STATION_PROFILE_BROWSE:
    case IDC_STATION_OVERRIDES_BROWSE:
    case IDC_STATION_AUDIT_BROWSE:
        browse(dialog.window, id);
        return TRUE;
    case IDC_STATION_WATCH:
        updateButtons(dialog);
        return TRUE;
    case IDC_STATION_START:
    case IDC_STATION_RETRY_FAILED:
        if (dialog.run == nullptr) {
            startRun(dialog, id == IDC_STATION_RETRY_FAILED);
        }
        return TRUE;
    case IDC_STATION_STOP:
        if (dialog.run != nullptr) {
            requestStop(dialog);
        }
        return TRUE;
    case IDC_STATION_EXPORT:
        exportCsv(dialog);
        return TRUE;
    case IDCANCEL:
        closeDialog(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR onInitDialog(HWND window, LPARAM param) {
    SetWindowLongPtrW(window, DWLP_USER, param);
    StationDialog& dialog = *reinterpret_cast<StationDialog*>(param);
    dialog.window = window;
    dialog.list.attach(GetDlgItem(window, IDC_STATION_LIST));
    refreshRows(dialog);
    updateButtons(dialog);
    return TRUE;
}

INT_PTR CALLBACK stationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        return onInitDialog(window, lParam);
    }
    auto* dialog = reinterpret_cast<StationDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (dialog == nullptr) {
        return FALSE;
    }
    switch (message) {
    case WM_COMMAND:
        return onCommand(*dialog, LOWORD(wParam));
    case WM_NOTIFY:
        return onNotify(*dialog, *reinterpret_cast<const NMHDR*>(lParam));
    case kRowsChanged:
        refreshRows(*dialog);
        return TRUE;
    case kRunEnded:
        onRunEnded(*dialog);
        return TRUE;
    case WM_DPICHANGED:
        dialog->list.fitColumns();
        return FALSE; // the dialog manager moves and scales the dialog itself
    default:
        return FALSE;
    }
}

} // namespace

bool stationStopRequested() {
    return stopFlag;
}

void openStationDialog(AppState& app, HWND owner) {
    if (!app.connection.currentPortName.empty()) {
        disconnectDevice(app.ui.settings, app.connection);
    }
    StationDialog dialog;
    dialog.app = &app;
    showDialog(app.instance, IDD_STATION, owner, &stationProc, reinterpret_cast<LPARAM>(&dialog));
}
