#include "settings/exchange.h"

#include "link/command_index.h"
#include "settings/result_text.h"

#include <algorithm>
#include <string>

bool exchange(SettingContext& context, CommandCode code, const std::vector<std::uint8_t>& request,
              Reply& reply) {
    reply.length = static_cast<std::uint8_t>(request.size());
    reply.payload = request.data();
    const CommandEntry* entry = findCommand(code);
    const std::uint32_t timeoutMs = entry != nullptr ? entry->timeoutMs : kDefaultTimeoutMs;
    return transact(context.link, code, reply.length, reply.payload, timeoutMs);
}

bool fitsCodePage(const WireCodePage& codePage, std::u16string_view text) {
    // A character the code page cannot hold becomes '?': more of them than the text had.
    std::string wire;
    (void)toWireText(codePage, text, std::string::npos, wire);
    return std::count(wire.begin(), wire.end(), '?') == std::count(text.begin(), text.end(), u'?');
}

bool finish(SettingContext& context, const char* resultText) {
    context.controls.appendLog(resultText);
    return result::isSuccess(resultText);
}

const char* plainSetResult(const Reply& reply) {
    if (reply.length != 1) {
        return result::kAckFormatError;
    }
    return reply.payload[0] == 0 ? result::kSuccess : result::kAckError;
}

bool sendPlainSet(SettingContext& context, CommandCode code,
                  const std::vector<std::uint8_t>& request) {
    Reply reply;
    if (!exchange(context, code, request, reply)) {
        return finish(context, result::kCmdSendingError);
    }
    return finish(context, plainSetResult(reply));
}

const char* fixedGetProblem(const Reply& reply, std::uint8_t fullLength) {
    if (reply.length != 1 && reply.length != fullLength) {
        return result::kDataFormatError;
    }
    if (reply.payload[0] != 0 || reply.length != fullLength) {
        return result::kAckError;
    }
    return nullptr;
}
