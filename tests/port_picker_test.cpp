#include "controls/memory_controls.h"
#include "ports/port_picker.h"
#include "tests/support/pty_pair.h"

#include <gtest/gtest.h>

namespace {

struct PickerTest : ::testing::Test {
    MemoryControls controls;
    SerialChannel channel;
    DeviceConnection connection;
};

TEST_F(PickerTest, ClosesThePortLeftOpenThenOpensTheNameBeforeTheFirstSpace) {
    pty_test::PtyPair pty;
    ASSERT_TRUE(channel.openPort(pty.path)); // left open: the same port cannot open twice
    const std::u16string listed(pty.path.begin(), pty.path.end());
    EXPECT_EQ(openChosenPort(controls, channel, connection, listed + u" : USB serial port"),
              PickerResult::Opened);
    EXPECT_EQ(controls.log(), "Trying to open port " + pty.path + "...   success.\r\n");
    EXPECT_EQ(connection.currentPortName, pty.path);
    EXPECT_EQ(connection.openPortName, pty.path);
    EXPECT_TRUE(channel.isOpen());
}

TEST_F(PickerTest, RefusesWhatCannotBeOpened) {
    const struct {
        const char* name;
        std::u16string chosen;
        std::string log;
    } rows[] = {
        {"nothing chosen, or a text without a space", u"COM3", " error.\r\n"},
        {"a name too long to keep its space", portDisplayText({std::string(300, 'C'), "x"}),
         " error.\r\n"},
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
    EXPECT_EQ(portDisplayText({"COM3", "USB Serial Port"}), u"COM3 : USB Serial Port");
}

} // namespace
