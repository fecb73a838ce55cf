// Tarnwick.exe: the program entry of the configuration tool.
#include "app/win32/app_state.h"
#include "app/win32/wide_text.h"
#include "app/win32/window_language.h"
#include "link/forwarding_channel.h"
#include "resources/resource.h"
#include "settings/setting_catalogue.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>

namespace {

// What the link closes (a disconnect, a removed device) is traced here; the picker traces the
// opens and closes it makes on the port itself.
class TracedChannel final : public ForwardingChannel {
  public:
    TracedChannel(SerialChannel& port, FrameTrace& trace)
        : ForwardingChannel(port), port_(port), trace_(trace) {}
    bool closePort() override {
        const bool wasOpen = port_.isOpen();
        const bool closed = port_.closePort();
        if (wasOpen && !port_.isOpen()) {
            traceClose(trace_);
        }
        return closed;
    }

  private:
    SerialChannel& port_;
    FrameTrace& trace_;
};

struct StartOptions {
    std::wstring tracePath;
    std::wstring language; // as given after /lang
    bool languageGiven = false;
};

// "/trace FILE" and "/lang ru|en", each at most once, in either order.
bool readOptions(int count, LPWSTR* args, StartOptions& options) {
    for (int i = 1; i < count; ++i) {
        const bool hasValue = i + 1 < count;
        if (_wcsicmp(args[i], L"/trace") == 0 && hasValue && options.tracePath.empty()) {
            options.tracePath = args[++i];
        } else if (_wcsicmp(args[i], L"/lang") == 0 && hasValue && !options.languageGiven) {
            options.language = args[++i];
            options.languageGiven = true;
        } else {
            return false;
        }
    }
    return true;
}

// The window's language: the one /lang names, else the user's. False with the reason to show.
bool chooseLanguage(const StartOptions& options, std::wstring& problem) {
    UiLanguage language = userWindowLanguage();
    if (options.languageGiven && !parseUiLanguage(utf8FromWide(options.language), language)) {
        problem = L"Unknown language for /lang: \"" + options.language + L"\" (use ru or en)";
        return false;
    }
    useWindowLanguage(language);
    return true;
}

// The command line takes "/trace FILE" and "/lang ru|en". False with the reason to show.
bool startFromCommandLine(TraceFile& trace, std::wstring& problem) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    StartOptions options;
    // Nothing that could not be read was asked for.
    const bool understood = args == nullptr || readOptions(count, args, options);
    LocalFree(args);
    if (!understood) {
        problem = L"Usage: Tarnwick.exe [/trace FILE] [/lang ru|en]";
        return false;
    }
    if (!chooseLanguage(options, problem)) {
        return false;
    }
    const std::wstring& path = options.tracePath;
    if (path.empty()) {
        return true;
    }
    std::FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) {
        problem = L"Cannot open the trace file " + path + L": " + _wcserror(errno);
        return false;
    }
    startTraceFile(trace, file);
    // The window has no way to ask for them: passwords and keys stay out of its traces.
    trace.trace.isSecret = &carriesSecret;
    return true;
}

} // namespace

AppState* rememberAppState(HWND dialog, LPARAM initParam) {
    SetWindowLongPtrW(dialog, DWLP_USER, initParam);
    return reinterpret_cast<AppState*>(initParam);
}

AppState* appStateOf(HWND dialog) {
    return reinterpret_cast<AppState*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

INT_PTR handledWithResult(HWND dialog, LONG_PTR result) {
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    static AppState app; // too large for the stack of a small program, and lives as long
    app.instance = instance;
    if (std::wstring problem; !startFromCommandLine(app.trace, problem)) {
        MessageBoxW(nullptr, problem.c_str(), L"Tarnwick", MB_OK | MB_ICONERROR);
        return 2;
    }

    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = 0xFF; // the first eight class groups, the tab control among them
    InitCommonControlsEx(&classes);

    initDeviceLink(app.link, nullptr);
    app.channel.emplace(); // its two events: first the write one, then the read one
    app.link.channel = &*app.channel;
    static std::optional<TracedChannel> traced;
    if (app.trace.file != nullptr) {
        traced.emplace(*app.channel, app.trace.trace);
        app.link.channel = &*traced;
        app.link.trace = &app.trace.trace;
    }

    showDialog(instance, IDD_MAIN_WINDOW, nullptr, &mainWindowProc, reinterpret_cast<LPARAM>(&app));
    // Only now that the window is gone: it drew them to the end.
    for (HICON* icon : {&app.bigIcon, &app.smallIcon}) {
        DestroyIcon(*icon);
        *icon = nullptr;
    }

    if (app.link.trace != nullptr && app.channel->isOpen()) {
        traceClose(app.trace.trace); // the channel closes the port as it goes
    }
    app.link.trace = nullptr;
    app.link.channel = nullptr;
    traced.reset();
    app.channel.reset();
    closeTraceFile(app.trace);
    return 0;
}
