#include "ui/about_queries.h"

#include "link/command_index.h"
#include "settings/exchange.h"
#include "settings/result_text.h"

#include <vector>

namespace {

// The order they run in; the module indexes are the device's.
constexpr std::array<VersionQuery, kVersionQueryCount> kQueries = {{
    {10001, 0, 0, 3, u"FW: ", u"FW: unknown."},
    {10002, 1, 1, 2, u"GSM: ", u"GSM: unknown."},
    {10003, 6, 2, 2, u"LBLE: ", u"LBLE: unknown."},
    {10004, 7, 3, 2, u"GNSS: ", u"GNSS: unknown."},
    {10005, 5, 4, 2, u"WiFi: ", u"WiFi: unknown."},
    {10006, 4, 5, 2, u"XNB: ", u"XNB: unknown."},
}};

constexpr std::uint8_t kVersionTextOffset = 2; // after the index echo and the status

// The prefix and the version as the 8-bit label holds them: never more than its buffer, and
// a multi-byte character that would not fit whole is left out whole.
std::u16string formatLabel(const WireCodePage& codePage, const VersionQuery& query,
                           const Reply& reply) {
    std::u16string label = query.prefix;
    label += fromWireText(codePage, reply.payload + kVersionTextOffset,
                          reply.length - kVersionTextOffset);
    std::string bytes;
    (void)toWireText(codePage, label, kVersionLabelMaxBytes, bytes);
    return codePage.decode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// One query's log line; the label is set only on success.
const char* runQuery(SettingContext& context, const VersionQuery& query, std::u16string& label) {
    context.controls.appendLog(actionText(command::kVersion, query.actionUse));
    Reply reply;
    if (!exchange(context, command::kVersion, std::vector<std::uint8_t>{query.module}, reply)) {
        return result::kCmdSendingError;
    }
    if (reply.length < query.minReplyLength) {
        return result::kDataFormatError;
    }
    if (reply.payload[0] != query.module || reply.payload[1] != 0) {
        return result::kAckError;
    }
    label = formatLabel(context.controls.codePage(), query, reply);
    return result::kSuccess;
}

} // namespace

std::span<const VersionQuery> versionQueries() {
    return kQueries;
}

VersionLabels queryVersions(SettingContext& context) {
    VersionLabels labels;
    for (std::size_t i = 0; i < kQueries.size(); ++i) {
        const VersionQuery& query = kQueries[i];
        labels[i] = {query.labelId, query.fallback};
        finish(context, runQuery(context, query, labels[i].text));
    }
    return labels;
}

void showVersionLabels(Controls& dialog, const VersionLabels& labels) {
    for (const VersionLabel& label : labels) {
        dialog.setEditText(label.labelId, label.text);
    }
}

bool aboutEndsOnDeviceChange(const DeviceConnection& connection, std::uintptr_t event,
                             bool (*isPortPresent)(const std::string& name)) {
    return !connection.currentPortName.empty() && event == kDeviceNodesChanged &&
           !isPortPresent(connection.currentPortName);
}
