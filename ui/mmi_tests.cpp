#include "ui/mmi_tests.h"

#include "link/command_index.h"
#include "resources/control_ids.h"
#include "settings/exchange.h"
#include "settings/result_text.h"

#include <array>
#include <vector>

namespace {

using namespace command;

constexpr std::array<MmiTest, 4> kTests = {{
    {IDC_TEST_LED_GREEN, kLedTest, 0x00, 0},
    {IDC_TEST_LED_RED, kLedTest, 0x01, 1},
    {IDC_TEST_VOICE, kVoiceTest, std::nullopt, 0},
    {IDC_TEST_VIBRO, kVibroTest, std::nullopt, 0},
}};

constexpr std::size_t kVoiceRow = 2;
constexpr std::size_t kVibroRow = 3;

} // namespace

std::span<const MmiTest> mmiTests() {
    return kTests;
}

bool runMmiTest(SettingContext& context, const MmiTest& test) {
    context.controls.appendLog(actionText(test.code, test.actionUse));
    std::vector<std::uint8_t> request;
    if (test.payload) {
        request.push_back(*test.payload);
    }
    Reply reply;
    if (!exchange(context, test.code, request, reply)) {
        return finish(context, result::kCmdSendingError);
    }
    // Any other length is refused like a non-zero status.
    const bool accepted = reply.length == 1 && reply.payload[0] == 0;
    return finish(context, accepted ? result::kSuccess : result::kAckError);
}

bool mmiToggleLed(SettingContext& context, int index) {
    if (index != 0 && index != 1) {
        return false;
    }
    return runMmiTest(context, kTests[static_cast<std::size_t>(index)]);
}

bool mmiVoice(SettingContext& context) {
    return runMmiTest(context, kTests[kVoiceRow]);
}

bool mmiVibro(SettingContext& context) {
    return runMmiTest(context, kTests[kVibroRow]);
}
