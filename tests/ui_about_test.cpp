#include "tests/support/ui_rig.h"

#include "link/command_index.h"
#include "ui/about_queries.h"

#include <algorithm>
#include <optional>

namespace {

using namespace ui_test;

const std::vector<std::u16string> kFallbacks = {u"FW: unknown.",   u"GSM: unknown.",
                                                u"LBLE: unknown.", u"GNSS: unknown.",
                                                u"WiFi: unknown.", u"XNB: unknown."};
const std::vector<std::string> kActions = {"Get SW version...   ",   "Get GSM version...   ",
                                           "Get LBLE version...   ", "Get GNSS version...   ",
                                           "Get WiFi version...   ", "Get XNB version...   "};
const std::vector<std::uint8_t> kModules = {0, 1, 6, 7, 5, 4};
const std::vector<int> kLabels = {10001, 10002, 10003, 10004, 10005, 10006};

Bytes versionReply(std::uint8_t module, std::uint8_t status, const std::string& text) {
    // Sized first: GCC 12 warns falsely about inserting after a braced start.
    Bytes reply(2 + text.size());
    reply[0] = module;
    reply[1] = status;
    std::copy(text.begin(), text.end(), reply.begin() + 2);
    return reply;
}

std::vector<std::u16string> texts(const VersionLabels& labels) {
    std::vector<std::u16string> all;
    for (const VersionLabel& label : labels) {
        all.push_back(label.text);
    }
    return all;
}

// The bytes of a label in the code page, as the 8-bit window text holds them.
std::string labelBytes(const WireCodePage& codePage, const std::u16string& text) {
    std::string bytes;
    EXPECT_TRUE(toWireText(codePage, text, 1000, bytes));
    return bytes;
}

TEST(About, TheModelDeviceAnswersEveryQuery) {
    UiRig rig;

    const VersionLabels labels = queryVersions(rig.ui.settings);

    EXPECT_EQ(texts(labels), (std::vector<std::u16string>{
                                 u"FW: 2.7.1 (2024-05-14)", u"GSM: 01.200.01.200", u"LBLE: 1.6.2",
                                 u"GNSS: 3.01.2", u"WiFi: 3.2.0", u"XNB: 1.0.3"}));
    std::string log;
    for (const std::string& action : kActions) {
        log += action + "success.\r\n";
    }
    EXPECT_EQ(rig.controls.log(), log);
    ASSERT_EQ(rig.device.requests().size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(labels[i].labelId, kLabels[i]);
        EXPECT_EQ(rig.device.requests()[i].message, (Bytes{0x00, 0x02, 0x00, 0x01, kModules[i]}));
    }
}

struct QueryRow {
    const char* name;
    std::size_t query;          // 0 to 5, in the order they run
    std::optional<Bytes> reply; // nullopt: silent
    std::u16string label;
    const char* result;
};

TEST(About, EachQueryJudgesItsReplyAlone) {
    const std::string longText(80, 'v');
    const std::vector<QueryRow> rows = {
        {"firmware text", 0, versionReply(0, 0, "2.8.0"), u"FW: 2.8.0", "success.\r\n"},
        {"firmware reply of two bytes", 0, Bytes{0x00, 0x00}, u"FW: unknown.",
         "error (data format).\r\n"},
        {"firmware status 01", 0, versionReply(0, 1, "2.8.0"), u"FW: unknown.", "ack error.\r\n"},
        {"firmware text ends at a zero byte", 0, versionReply(0, 0, std::string("1.2\0junk", 8)),
         u"FW: 1.2", "success.\r\n"},
        {"GSM reply of two bytes", 1, Bytes{0x01, 0x00}, u"GSM: ", "success.\r\n"},
        {"GSM reply of one byte", 1, Bytes{0x01}, u"GSM: unknown.", "error (data format).\r\n"},
        {"GNSS echo 6 instead of 7", 3, versionReply(6, 0, "3.01.2"), u"GNSS: unknown.",
         "ack error.\r\n"},
        {"LBLE silent", 2, std::nullopt, u"LBLE: unknown.", "cmd sending error.\r\n"},
        {"WiFi in windows-1251", 4, versionReply(5, 0, "\xE2\xE5\xF0\xF1\xE8\xFF 3"),
         u"WiFi: версия 3", "success.\r\n"},
        {"XNB text cut to 63 bytes", 5, versionReply(4, 0, longText),
         u"XNB: " + std::u16string(58, u'v'), "success.\r\n"},
    };
    for (const QueryRow& row : rows) {
        SCOPED_TRACE(row.name);
        UiRig rig;
        SimFault fault;
        if (row.reply) {
            fault.payload = *row.reply;
        } else {
            fault.silent = true;
        }
        // Faults go to the requests in order: the row's query gets this one.
        for (std::size_t i = 0; i < row.query; ++i) {
            rig.device.scriptFault(command::kVersion, SimFault{});
        }
        rig.device.scriptFault(command::kVersion, fault);

        const VersionLabels labels = queryVersions(rig.ui.settings);

        EXPECT_EQ(labels[row.query].text, row.label);
        const std::vector<std::string> lines = [&] {
            std::vector<std::string> all;
            const std::string& log = rig.controls.log();
            for (std::size_t start = 0, end; (end = log.find("\r\n", start)) != std::string::npos;
                 start = end + 2) {
                all.push_back(log.substr(start, end + 2 - start));
            }
            return all;
        }();
        ASSERT_EQ(lines.size(), 6u) << rig.controls.log();
        for (std::size_t i = 0; i < 6; ++i) {
            SCOPED_TRACE(i);
            const char* result = i == row.query ? row.result : "success.\r\n";
            EXPECT_EQ(lines[i], kActions[i] + result);
            if (i != row.query) {
                EXPECT_NE(labels[i].text, kFallbacks[i]);
            }
        }
        EXPECT_LE(labelBytes(rig.controls.codePage(), labels[row.query].text).size(),
                  kVersionLabelMaxBytes);
    }
}

TEST(About, WithoutAPortEveryLabelFallsBack) {
    for (const bool noChannel : {true, false}) {
        SCOPED_TRACE(noChannel ? "no channel" : "closed port");
        UiRig rig;
        if (noChannel) {
            rig.link.channel = nullptr;
        } else {
            rig.channel.setOpen(false);
        }

        const VersionLabels labels = queryVersions(rig.ui.settings);

        EXPECT_EQ(texts(labels), kFallbacks);
        std::string log;
        for (const std::string& action : kActions) {
            log += action + "cmd sending error.\r\n";
        }
        EXPECT_EQ(rig.controls.log(), log);
        EXPECT_TRUE(rig.device.requests().empty());
    }
}

TEST(About, ALongVersionIsCutAtAWholeCharacter) {
    // Windows may run with UTF-8 as its ANSI code page: two bytes per Cyrillic letter.
    MemoryControls utf8Controls(utf8CodePage());
    UiRig rig;
    SettingContext context{rig.link, utf8Controls, rig.auxSensors};
    std::string version;
    for (int i = 0; i < 40; ++i) {
        version += "\xD0\x96"; // Ж
    }
    rig.reply(command::kVersion, versionReply(0, 0, version));

    const VersionLabels labels = queryVersions(context);

    // "FW: " is 4 bytes; 29 letters make 62, a 30th would need 64.
    EXPECT_EQ(labels[0].text, u"FW: " + std::u16string(29, u'Ж'));
    EXPECT_EQ(labelBytes(utf8CodePage(), labels[0].text).size(), 62u);
    EXPECT_TRUE(utf8Controls.log().starts_with("Get SW version...   success.\r\n"));
}

TEST(About, LabelsAreSetOnTheDialog) {
    UiRig rig;
    rig.reply(command::kVersion, Bytes{0x00, 0x00});
    MemoryControls dialog;

    showVersionLabels(dialog, queryVersions(rig.ui.settings));

    EXPECT_EQ(dialog.fullText(10001), u"FW: unknown.");
    EXPECT_EQ(dialog.fullText(10002), u"GSM: 01.200.01.200");
    EXPECT_EQ(dialog.fullText(10006), u"XNB: 1.0.3");
    EXPECT_EQ(dialog.log(), "");
}

std::string gPresentPort;
bool isPresent(const std::string& name) {
    return name == gPresentPort;
}

TEST(About, EndsItselfOnlyWhenThePortInUseIsGone) {
    const struct {
        const char* name;
        const char* portInUse;
        std::uintptr_t event;
        const char* presentPort;
        bool ends;
    } rows[] = {
        {"port gone", "COM7", kDeviceNodesChanged, "", true},
        {"port still there", "COM7", kDeviceNodesChanged, "COM7", false},
        {"another event", "COM7", 0x8004, "", false},
        {"no port in use", "", kDeviceNodesChanged, "", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DeviceConnection connection;
        connection.currentPortName = row.portInUse;
        gPresentPort = row.presentPort;
        EXPECT_EQ(aboutEndsOnDeviceChange(connection, row.event, &isPresent), row.ends);
        EXPECT_EQ(connection.currentPortName, row.portInUse);
    }
}

} // namespace
