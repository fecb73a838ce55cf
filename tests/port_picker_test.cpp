#include "controls/memory_controls.h"
#include "ports/port_picker.h"
#include "tests/support/pty_pair.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A pseudo-terminal the picker can open, as the list shows it.
struct Pty : pty_test::PtyPair {
    std::u16string listed() const { return portDisplayText({path, "Test port"}); }
};

struct PickerTest : ::testing::Test {
    MemoryControls controls;
    SerialChannel channel;
    DeviceConnection connection;
};

TEST_F(PickerTest, OpensTheChosenPortAndNamesIt) {
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    EXPECT_EQ(openChosenPort(controls, channel, connection, pty.listed()), PickerResult::Opened);
    EXPECT_EQ(controls.log(), "Trying to open port " + pty.path + "...   success.\r\n");
    EXPECT_TRUE(channel.isOpen());
    EXPECT_EQ(connection.currentPortName, pty.path);
    EXPECT_EQ(connection.openPortName, pty.path);
}

TEST_F(PickerTest, ClosesThePortLeftOpenFirst) {
    Pty first;
    Pty second;
    ASSERT_EQ(openChosenPort(controls, channel, connection, first.listed()), PickerResult::Opened);
    controls.clearLog();
    EXPECT_EQ(openChosenPort(controls, channel, connection, second.listed()), PickerResult::Opened);
    EXPECT_EQ(connection.currentPortName, second.path);
    // The first port is free again: another channel may take it.
    SerialChannel other;
    EXPECT_TRUE(other.openPort(first.path));
}

TEST_F(PickerTest, RefusesWhatCannotBeOpened) {
    const struct {
        const char* name;
        std::u16string chosen;
        std::string log;
    } rows[] = {
        {"nothing chosen", u"", " error.\r\n"},
        {"a text without a space", u"COM3", " error.\r\n"},
        {"a port that is not there", u"/nonexistent/tty0 : gone",
         "Trying to open port /nonexistent/tty0...    error.\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        connection.currentPortName = "stale";
        controls.clearLog();
        EXPECT_EQ(openChosenPort(controls, channel, connection, row.chosen),
                  PickerResult::NotOpened);
        EXPECT_EQ(controls.log(), row.log);
        EXPECT_EQ(connection.currentPortName, "");
        EXPECT_FALSE(channel.isOpen());
    }
}

TEST(PortDisplayText, IsCutToTheListsRoomAndALongNameIsThenRefused) {
    EXPECT_EQ(portDisplayText({"COM3", "USB Serial Port"}), u"COM3 : USB Serial Port");
    const std::string longName(300, 'C');
    const std::u16string text = portDisplayText({longName, "x"});
    EXPECT_EQ(text.size(), kPortDisplayUnits);
    MemoryControls controls;
    SerialChannel channel;
    DeviceConnection connection;
    EXPECT_EQ(openChosenPort(controls, channel, connection, text), PickerResult::NotOpened);
    EXPECT_EQ(controls.log(), " error.\r\n");
}

} // namespace
