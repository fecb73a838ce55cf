#include "app/cli/connected_run.h"

#include "app/cli/commands.h"
#include "app/cli/device_session.h"
#include "app/cli/log_results.h"
#include "app/cli/stop_request.h"
#include "link/command_index.h"
#include "ports/device_connection.h"
#include "profile/printable_text.h"
#include "profile/setting_values.h"
#include "settings/setting_catalogue.h"
#include "ui/page_setup.h"

#include <cstdio>

bool openRunTrace(const CliOptions& options, const char* commandName,
                  const std::vector<NamedFile>& files, TraceFile& trace) {
    const std::string& path = options.target.tracePath;
    std::vector<NamedFile> named = {{"--trace", path, true}};
    named.insert(named.end(), files.begin(), files.end());
    std::string error;
    if (!checkNamedFiles(named, error) || (!path.empty() && !openTraceFile(trace, path, error))) {
        std::fprintf(stderr, "%s: %s\n", commandName, printableText(error).c_str());
        return false;
    }
    // Passwords and keys stay out of the trace unless asked for by name.
    trace.trace.isSecret = options.target.traceSecrets ? nullptr : &carriesSecret;
    return true;
}

int runConnected(const CliOptions& options, const char* commandName,
                 const std::function<bool(SettingContext&, MemoryControls&)>& work,
                 const std::vector<NamedFile>& files) {
    if (!options.targetGiven) {
        std::fprintf(stderr, "%s: give --port PATH or --simulate\n", commandName);
        return kExitUsage;
    }
    MemoryControls controls;
    setUpPageControls(controls);
    controls.setLogSink([](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    });

    // Opened first: a trace that cannot be written must stop the run before the port is.
    TraceFile trace;
    if (!openRunTrace(options, commandName, files, trace)) {
        return kExitUsage;
    }
    std::string error;
    DeviceSession session;
    if (!openSession(options.target, session, error)) {
        closeTraceFile(trace);
        std::fprintf(stderr, "%s: %s\n", commandName, printableText(error).c_str());
        return kExitFailed;
    }
    attachTrace(trace, session.link, options.target.simulate ? "simulated" : session.portName);
    AuxSensorCache auxSensors;
    SettingContext context{session.link, controls, auxSensors};
    DeviceConnection connection;
    connection.openPortName = options.target.simulate ? "simulated" : session.portName;
    // Ctrl-C ends any wait at once, the connect's 60 s included.
    session.link.stop = &stopRequested;
    bool ok = connectDevice(context, connection, kConnectAfterOpenTimeoutMs);
    const bool connectStopped = !ok && stopRequested();
    // The goodbye is not cut short: it has its own bounded wait.
    session.link.stop = nullptr;
    if (ok) {
        if (!stopRequested()) {
            session.link.stop = &stopRequested;
            ok = work(context, controls);
            session.link.stop = nullptr;
        }
        // A device left connected refuses the next runs: a failed goodbye fails the run.
        const std::size_t before = controls.log().size();
        disconnectOnExit(context, connection);
        ok = allSucceeded(std::string_view(controls.log()).substr(before), 1) && ok;
    } else if (connectStopped) {
        // Stopped between the two connect replies, the device may count itself connected.
        disconnectDevice(context, connection);
    }
    detachTrace(trace, session.link);
    closeSession(session);
    if (!closeTraceFile(trace)) {
        std::fprintf(stderr, "%s: the trace file could not be written whole\n", commandName);
        ok = false;
    }
    if (stopRequested()) {
        std::fprintf(stderr, "%s: interrupted\n", commandName);
        return kExitInterrupted;
    }
    return ok ? kExitOk : kExitFailed;
}
