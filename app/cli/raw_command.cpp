#include "app/cli/commands.h"
#include "app/cli/connected_run.h"
#include "app/cli/hex_text.h"
#include "app/cli/raw_exchange.h"
#include "link/command_index.h"
#include "link/frame_codec.h"
#include "profile/printable_text.h"

#include <cstdio>

namespace {

constexpr const char* kRawHelp =
    "usage: tarnwick-cli (--port PATH | --simulate) raw CODE [PAYLOAD_HEX] [--timeout MS] "
    "[--await N]\n"
    "\n"
    "Sends command CODE (decimal or 0x hex) with the payload given as hex digits, waits for\n"
    "its reply, then for N further replies, and prints each reply payload as lower-case hex,\n"
    "one line per reply. MS is the time-out for each received byte; it defaults to the\n"
    "command's own (10000 for connect, since the port has just been opened).\n"
    "Only codes of the command index are sent.\n"
    "Exit status: 0 when every reply arrived and answered CODE, 1 when one did not,\n"
    "2 when the arguments were refused (nothing sent).\n";

constexpr std::uint32_t kMaxTimeoutMs = 600000;
constexpr std::uint32_t kMaxFurtherReplies = 1000;

int usage(const std::string& message) {
    std::fprintf(stderr, "raw: %s\n\n%s", printableText(message).c_str(), kRawHelp);
    return kExitUsage;
}

bool takeValue(const std::vector<std::string>& args, std::size_t& i, std::uint32_t max,
               std::uint32_t& value) {
    if (i + 1 >= args.size()) {
        return false;
    }
    const auto parsed = parseUnsigned(args[++i], max);
    if (!parsed) {
        return false;
    }
    value = *parsed;
    return true;
}

// Fills the request from the arguments; an empty string on success, else what was wrong.
std::string parseRawArgs(const std::vector<std::string>& args, RawRequest& request) {
    std::vector<std::string> positional;
    bool timeoutGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--timeout") {
            if (!takeValue(args, i, kMaxTimeoutMs, request.timeoutMs) || request.timeoutMs == 0) {
                return "--timeout needs a number of milliseconds from 1 to 600000";
            }
            timeoutGiven = true;
        } else if (args[i] == "--await") {
            if (!takeValue(args, i, kMaxFurtherReplies, request.furtherReplies)) {
                return "--await needs a count from 0 to 1000";
            }
        } else if (args[i].rfind("--", 0) == 0) {
            return "unknown option " + args[i];
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.empty() || positional.size() > 2) {
        return "give CODE and at most one PAYLOAD_HEX";
    }
    const auto code = parseUnsigned(positional[0], 0xFFFF);
    if (!code) {
        return "CODE '" + positional[0] + "' is not a number from 0 to 0xFFFF";
    }
    if (findCommand(static_cast<CommandCode>(*code)) == nullptr) {
        return "command code " + positional[0] + " is not in the command index; it is not sent";
    }
    request.code = static_cast<CommandCode>(*code);
    if (positional.size() == 2) {
        const auto payload = parseHex(positional[1]);
        if (!payload) {
            return "PAYLOAD_HEX '" + positional[1] + "' is not pairs of hex digits";
        }
        if (payload->size() > kMaxRequestPayload) {
            return "payload of " + std::to_string(payload->size()) + " bytes is longer than " +
                   std::to_string(kMaxRequestPayload);
        }
        request.payload = *payload;
    }
    if (!timeoutGiven) {
        request.timeoutMs = defaultRawTimeout(request.code);
    }
    return {};
}

} // namespace

int runRawCommand(const CliOptions& options) {
    if (wantsHelp(options)) {
        std::fputs(kRawHelp, stdout);
        return kExitOk;
    }
    RawRequest request;
    if (const std::string problem = parseRawArgs(options.args, request); !problem.empty()) {
        return usage(problem);
    }
    if (!options.targetGiven) {
        return usage("give --port PATH or --simulate");
    }
    TraceFile trace;
    if (!openRunTrace(options, "raw", {}, trace)) {
        return kExitUsage;
    }
    std::string error;
    DeviceSession session;
    if (!openSession(options.target, session, error)) {
        closeTraceFile(trace);
        std::fprintf(stderr, "raw: %s\n", printableText(error).c_str());
        return kExitFailed;
    }
    attachTrace(trace, session.link, options.target.simulate ? "simulated" : session.portName);
    bool ok = runRawExchange(
        session.link, request,
        [](const std::uint8_t* payload, std::uint8_t length) {
            std::printf("%s\n", toHex(payload, length).c_str());
            std::fflush(stdout);
        },
        error);
    detachTrace(trace, session.link);
    closeSession(session);
    if (!closeTraceFile(trace) && ok) {
        error = "the trace file could not be written whole";
        ok = false;
    }
    if (!ok) {
        std::fprintf(stderr, "raw: %s\n", printableText(error).c_str());
        return kExitFailed;
    }
    return kExitOk;
}
