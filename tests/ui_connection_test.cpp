#include "tests/support/ui_rig.h"

#include "link/command_index.h"
#include "ports/device_connection.h"

#include <functional>
#include <optional>

namespace {

using namespace ui_test;

// The request message of a command without payload: code, reserved byte, length 0.
Bytes bareRequest(CommandCode code) {
    return {static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code & 0xFF), 0x00,
            0x00};
}

std::vector<Bytes> sentMessages(const DeviceSimulator& device) {
    std::vector<Bytes> messages;
    for (const RecordedRequest& request : device.requests()) {
        messages.push_back(request.message);
    }
    return messages;
}

SimFault payloadFault(Bytes payload, Bytes after = {}) {
    SimFault fault;
    fault.payload = std::move(payload);
    fault.noiseAfter = std::move(after);
    return fault;
}

SimFault silentFault() {
    SimFault fault;
    fault.silent = true;
    return fault;
}

TEST(Connection, ConnectEnablesTheItemsAndTheButtonsAndNamesThePort) {
    UiRig rig;
    rig.connection.openPortName = "COM7";

    EXPECT_TRUE(connectDevice(rig.ui.settings, rig.connection, 10000));

    EXPECT_EQ(rig.controls.log(), "Connecting...   success.\r\n");
    EXPECT_EQ(enablingState(rig.controls), kConnected);
    for (int id : deviceButtons()) {
        EXPECT_TRUE(rig.controls.isControlEnabled(id)) << id;
    }
    EXPECT_EQ(rig.connection.currentPortName, "COM7");
    EXPECT_EQ(sentMessages(rig.device), std::vector<Bytes>{bareRequest(command::kConnect)});
    // The menu items the enabling rules leave alone.
    EXPECT_FALSE(rig.controls.isMenuItemEnabled(IDM_OPEN));
    EXPECT_FALSE(rig.controls.isMenuItemEnabled(IDM_SAVE_AS));
    EXPECT_TRUE(rig.controls.isMenuItemEnabled(IDM_CLEAR));
}

TEST(Connection, FailedConnectClearsTheNameAndChangesNothingElse) {
    const struct {
        const char* name;
        SimFault fault;
        const char* result;
    } rows[] = {
        {"silent device", silentFault(), "cmd sending error.\r\n"},
        {"first reply 00", payloadFault({0x00}), "ack error.\r\n"},
        {"first reply of two bytes", payloadFault({0x01, 0x00}), "ack error.\r\n"},
        {"first reply empty", payloadFault({}), "ack error.\r\n"},
        {"second reply missing", payloadFault({0x01}), "ack error.\r\n"},
        {"second reply 02", payloadFault({0x01}, encodeReplyFrame(command::kConnect, Bytes{0x02})),
         "ack error.\r\n"},
        {"second reply of two bytes",
         payloadFault({0x01}, encodeReplyFrame(command::kConnect, Bytes{0x00, 0x00})),
         "ack error.\r\n"},
        {"second reply to another command",
         payloadFault({0x01}, encodeReplyFrame(command::kDisconnect, Bytes{0x00})),
         "ack error.\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UiRig rig;
        rig.connection.openPortName = "COM7";
        rig.connection.currentPortName = "COM7";
        rig.device.scriptFault(command::kConnect, row.fault);

        EXPECT_FALSE(connectDevice(rig.ui.settings, rig.connection, 10000));

        EXPECT_EQ(rig.controls.log(), std::string("Connecting...   ") + row.result);
        EXPECT_EQ(enablingState(rig.controls), kWindowCreated);
        EXPECT_EQ(rig.connection.currentPortName, "");
        EXPECT_TRUE(rig.channel.isOpen()); // the port stays open for the next try
        EXPECT_EQ(sentMessages(rig.device), std::vector<Bytes>{bareRequest(command::kConnect)});
    }
}

TEST(Connection, ConnectOnAClosedPortFailsAtTheWrite) {
    UiRig rig;
    rig.channel.setOpen(false);

    EXPECT_FALSE(connectDevice(rig.ui.settings, rig.connection, 600));

    EXPECT_EQ(rig.controls.log(), "Connecting...   cmd sending error.\r\n");
    EXPECT_EQ(enablingState(rig.controls), kWindowCreated);
    EXPECT_TRUE(rig.device.requests().empty());
}

TEST(Connection, DisconnectReleasesThePortOnlyWhenTheDeviceAgrees) {
    const struct {
        const char* name;
        std::optional<SimFault> fault;
        const char* result;
        bool released;
    } rows[] = {
        {"accepted", std::nullopt, "success.\r\n", true},
        {"status 01", payloadFault({0x01}), "ack error.\r\n", false},
        {"status ff", payloadFault({0xFF}), "ack error.\r\n", false},
        {"two bytes", payloadFault({0x00, 0x00}), "ack error.\r\n", false},
        {"silent device", silentFault(), "cmd sending error.\r\n", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UiRig rig;
        rig.connectOnCom7();
        if (row.fault) {
            rig.device.scriptFault(command::kDisconnect, *row.fault);
        }

        EXPECT_EQ(disconnectDevice(rig.ui.settings, rig.connection), row.released);

        EXPECT_EQ(rig.controls.log(), std::string("Disconnecting...   ") + row.result);
        EXPECT_EQ(sentMessages(rig.device), std::vector<Bytes>{bareRequest(command::kDisconnect)});
        if (row.released) {
            EXPECT_EQ(enablingState(rig.controls), kPortGone);
            EXPECT_EQ(rig.connection.currentPortName, "");
            EXPECT_FALSE(rig.channel.isOpen());
        } else {
            EXPECT_EQ(enablingState(rig.controls), kConnected);
            EXPECT_EQ(rig.connection.currentPortName, "COM7");
            EXPECT_TRUE(rig.channel.isOpen());
        }
    }
}

// The port directory as the removal check sees it.
std::string gPresentPort;
bool isPresent(const std::string& name) {
    return name == gPresentPort;
}

TEST(Connection, OnlyTheRemovalOfThePortInUseClosesIt) {
    const struct {
        const char* name;
        bool connected;
        std::uintptr_t event;
        const char* presentPort;
        bool closes;
    } rows[] = {
        {"port in use removed", true, kDeviceNodesChanged, "", true},
        {"another device changed", true, kDeviceNodesChanged, "COM7", false},
        {"other event while the port is gone", true, 0x8000, "", false},
        {"other event code 0", true, 0, "", false},
        {"no port in use", false, kDeviceNodesChanged, "", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UiRig rig;
        if (row.connected) {
            rig.connectOnCom7();
        }
        const EnablingState before = enablingState(rig.controls);
        gPresentPort = row.presentPort;

        onDeviceChange(rig.ui.settings, rig.connection, row.event, &isPresent);

        EXPECT_TRUE(rig.device.requests().empty());
        if (row.closes) {
            EXPECT_EQ(rig.controls.log(), "Com Port was closed\r\n");
            EXPECT_EQ(enablingState(rig.controls), kPortGone);
            EXPECT_EQ(rig.connection.currentPortName, "");
            EXPECT_FALSE(rig.channel.isOpen());
        } else {
            EXPECT_EQ(rig.controls.log(), "");
            EXPECT_EQ(enablingState(rig.controls), before);
            EXPECT_EQ(rig.connection.currentPortName, row.connected ? "COM7" : "");
            EXPECT_TRUE(rig.channel.isOpen());
        }
    }
}

TEST(Connection, ExitSaysGoodbyeOnceWhileAPortIsInUse) {
    const struct {
        const char* name;
        bool connected;
        std::optional<SimFault> fault;
        const char* log;
    } rows[] = {
        {"connected", true, std::nullopt, "Disconnecting...   success.\r\n"},
        {"connected, refused", true, payloadFault({0x01}), "Disconnecting...   ack error.\r\n"},
        {"connected, silent", true, silentFault(), "Disconnecting...   cmd sending error.\r\n"},
        {"no port in use", false, std::nullopt, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UiRig rig;
        if (row.connected) {
            rig.connectOnCom7();
        }
        if (row.fault) {
            rig.device.scriptFault(command::kDisconnect, *row.fault);
        }
        const EnablingState before = enablingState(rig.controls);

        disconnectOnExit(rig.ui.settings, rig.connection);

        EXPECT_EQ(rig.controls.log(), row.log);
        const std::vector<Bytes> expected =
            row.connected ? std::vector<Bytes>{bareRequest(command::kDisconnect)}
                          : std::vector<Bytes>{};
        EXPECT_EQ(sentMessages(rig.device), expected);
        EXPECT_EQ(enablingState(rig.controls), before);
    }
}

} // namespace
