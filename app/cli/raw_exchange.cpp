#include "app/cli/raw_exchange.h"

#include "link/command_index.h"

#include <cstdio>

namespace {

std::string codeText(CommandCode code) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", code);
    return text;
}

} // namespace

bool runRawExchange(DeviceLink& link, const RawRequest& request,
                    const std::function<void(const std::uint8_t*, std::uint8_t)>& onReply,
                    std::string& error) {
    std::uint8_t length = static_cast<std::uint8_t>(request.payload.size());
    const std::uint8_t* payload = request.payload.data();
    if (!transact(link, request.code, length, payload, request.timeoutMs)) {
        error = "no reply to " + codeText(request.code) +
                " (write failed, time-out, or a reply to another command)";
        return false;
    }
    onReply(payload, length);
    for (unsigned i = 1; i <= request.furtherReplies; ++i) {
        if (!awaitReply(link, request.code, length, payload, request.timeoutMs)) {
            error = "further reply " + std::to_string(i) + " of " +
                    std::to_string(request.furtherReplies) + " to " + codeText(request.code) +
                    " did not come (time-out, or a reply to another command)";
            return false;
        }
        onReply(payload, length);
    }
    return true;
}

std::uint32_t defaultRawTimeout(CommandCode code) {
    if (code == command::kConnect) {
        return kConnectAfterOpenTimeoutMs;
    }
    const CommandEntry* entry = findCommand(code);
    return entry != nullptr ? entry->timeoutMs : kDefaultTimeoutMs;
}
