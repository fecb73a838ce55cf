#include "app/cli/connected_run.h"

#include "app/cli/commands.h"
#include "app/cli/device_session.h"
#include "app/cli/log_results.h"
#include "app/cli/stop_request.h"
#include "link/command_index.h"
#include "link/trace_file.h"
#include "ports/device_connection.h"
#include "profile/printable_text.h"
#include "profile/setting_values.h"
#include "ui/page_setup.h"

#include <cstdio>

int runConnected(const CliOptions& options, const char* commandName,
                 const std::function<bool(SettingContext&, MemoryControls&)>& work) {
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

    std::string error;
    // Opened first: a trace that cannot be written must stop the run before the port is.
    TraceFile trace;
    if (!options.target.tracePath.empty() &&
        !openTraceFile(trace, options.target.tracePath, error)) {
        std::fprintf(stderr, "%s: %s\n", commandName, printableText(error).c_str());
        return kExitUsage;
    }
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
    bool ok = connectDevice(context, connection, kConnectAfterOpenTimeoutMs);
    if (ok) {
        if (!stopRequested()) {
            ok = work(context, controls);
        }
        // A device left connected refuses the next runs: a failed goodbye fails the run.
        const std::size_t before = controls.log().size();
        disconnectOnExit(context, connection);
        ok = allSucceeded(std::string_view(controls.log()).substr(before), 1) && ok;
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
