#include "link/command_index.h"
#include "link/device_link.h"
#include "link/frame_codec.h"
#include "link/frame_decoder.h"
#include "sim/device_model.h"
#include "sim/device_simulator.h"
#include "sim/simulator_channel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace command;
using Bytes = std::vector<std::uint8_t>;

Bytes text(const std::string& value) {
    return Bytes(value.begin(), value.end());
}

Bytes join(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

struct Outcome {
    bool answered = false;
    Bytes reply;
    std::uint64_t elapsedMs = 0; // virtual time the call took
};

enum class Call { Transact, AwaitReply };

// The simulated device behind the real link, as the tool's operations see it.
struct SimulatedLink {
    explicit SimulatedLink(SimulatorOptions options = {}) : device(options), channel(device) {
        initDeviceLink(link, &channel);
    }

    Outcome call(Call kind, CommandCode code, const Bytes& request, std::uint32_t timeoutMs) {
        std::uint8_t length = static_cast<std::uint8_t>(request.size());
        const std::uint8_t* payload = request.data();
        const std::uint64_t start = channel.elapsedMs();
        Outcome outcome;
        outcome.answered = kind == Call::Transact
                               ? transact(link, code, length, payload, timeoutMs)
                               : awaitReply(link, code, length, payload, timeoutMs);
        outcome.elapsedMs = channel.elapsedMs() - start;
        if (outcome.answered) {
            outcome.reply.assign(payload, payload + length);
        }
        return outcome;
    }
    Outcome transactWith(CommandCode code, const Bytes& request, std::uint32_t timeoutMs = 600) {
        return call(Call::Transact, code, request, timeoutMs);
    }
    Outcome await(CommandCode code, std::uint32_t timeoutMs) {
        return call(Call::AwaitReply, code, {}, timeoutMs);
    }

    DeviceSimulator device;
    SimulatorChannel channel;
    DeviceLink link;
};

Bytes drainOutput(DeviceSimulator& device) {
    Bytes bytes;
    ScheduledByte byte;
    while (device.nextOutput(byte)) {
        bytes.push_back(byte.value);
    }
    return bytes;
}

Bytes requestFrame(CommandCode code, const Bytes& payload) {
    FrameCodec codec{};
    const auto frame =
        encodeRequest(codec, code, static_cast<std::uint8_t>(payload.size()), payload.data());
    return Bytes(frame.begin(), frame.end());
}

bool isIndexed(ModelShape shape) {
    return shape == ModelShape::IndexedGet || shape == ModelShape::IndexedSet ||
           shape == ModelShape::IndexedAction;
}

TEST(SimulatorModel, AnswersEveryCommandOfTheIndex) {
    for (const CommandEntry& entry : commandIndex()) {
        SCOPED_TRACE(entry.name);
        const ModelRow* row = findModelRow(entry.code);
        ASSERT_NE(row, nullptr);
        SimulatedLink sim;
        const Bytes request = isIndexed(row->shape) ? Bytes{0x00} : Bytes{};
        const Outcome first = sim.transactWith(entry.code, request, entry.timeoutMs);
        ASSERT_TRUE(first.answered);
        ASSERT_FALSE(first.reply.empty());
        if (row->shape == ModelShape::PlainGet) {
            EXPECT_EQ(first.reply[0], 0x00) << "a fresh device holds a value for every get";
            EXPECT_GE(first.reply.size(), 2u);
        }
        if (row->shape == ModelShape::IndexedGet) {
            ASSERT_GE(first.reply.size(), 3u);
            EXPECT_EQ(first.reply[0], 0x00) << "index echo";
            EXPECT_EQ(first.reply[1], 0x00) << "status";
        }
        if (entry.furtherReplyTimeoutMs != 0) {
            EXPECT_TRUE(sim.await(entry.code, entry.furtherReplyTimeoutMs).answered);
        }
    }
    EXPECT_EQ(modelTable().size(), commandIndex().size())
        << "no row for a code the tool never sends";
}

struct ReplyRow {
    const char* name;
    CommandCode code;
    Bytes request;
    Bytes reply;
};

TEST(SimulatorModel, RepliesHaveTheShapeOfTheirCommand) {
    const std::vector<ReplyRow> rows = {
        {"plain get, flag", kGetMasterFlag, {}, {0x00, 0x01}},
        {"plain get, 16-bit port", kGetMqttPort, {}, {0x00, 0x07, 0x5B}},
        {"plain get, data period", kGetDataPeriod, {}, {0x00, 0x00, 0x3C}},
        {"plain get, IMEI", kGetImei, {}, join({0x00}, text("356938035643809"))},
        {"plain get, IMSI", kGetImsi, {}, join({0x00}, text("001010123456789"))},
        {"plain get, broker", kGetMqttBroker, {}, join({0x00}, text("mqtt.tarnwick.example"))},
        {"plain get, APN", kGetApn, {}, join({0x00}, text("internet"))},
        {"plain get, DEV_EUI", kGetLoraDevEui, {}, join({0x00}, text("70B3D57ED0051A2B"))},
        {"plain get, APP_KEY",
         kGetLoraAppKey,
         {},
         join({0x00}, text("2B7E151628AED2A6ABF7158809CF4F3C"))},
        {"plain get, log flags", kGetLogFlags, {}, {0x00, 0x00, 0x00, 0x08, 0x08}},
        {"plain get, rssi", kGetSizRssi, {}, {0x00, 0xBA}},
        {"plain get, bracelet",
         kGetBracelet,
         {},
         {0x00, 0x05, 0xD4, 0x36, 0x39, 0xA1, 0x0B, 0x7E, 0x0A}},
        {"plain get, namespace", kGetBleNamespace, {}, join({0x00}, text("EDD1EBEAC04E5DEFA017"))},
        {"plain get, immobility",
         kGetImmobility,
         {},
         {0x00, 0x01, 0x00, 0x00, 0x04, 0x93, 0xE0, 0x00, 0x0D, 0xBB, 0xA0, 0x00, 0x1B, 0x77,
          0x40}},
        {"indexed get, tone volume", kGetVolume, {0x01}, {0x01, 0x00, 0x02}},
        {"indexed get, red button",
         kGetButtonNumber,
         {0x01},
         join({0x01, 0x00}, text("+15551230002"))},
        {"indexed get, subscribe topic",
         kGetMqttTopic,
         {0x00},
         join({0x00, 0x00}, text("tarnwick/cmd/TRK-0A1B2C3D"))},
        {"indexed get, SIZ 3",
         kGetSizAddress,
         {0x02},
         {0x02, 0x00, 0xE4, 0x5F, 0x01, 0x2A, 0x81, 0x3D}},
        {"indexed get, unused SIZ 8", kGetSizAddress, {0x07}, {0x07, 0x00, 0, 0, 0, 0, 0, 0}},
        {"indexed get, no such index", kGetVolume, {0x02}, {0x02, 0x01}},
        {"indexed get without index", kGetVolume, {}, {0xFF, 0x01}},
        {"version, firmware", kVersion, {0x00}, join({0x00, 0x00}, text("2.7.1 (2024-05-14)"))},
        {"version, GNSS is module 7", kVersion, {0x07}, join({0x07, 0x00}, text("3.01.2"))},
        {"version, XNB is module 4", kVersion, {0x04}, join({0x04, 0x00}, text("1.0.3"))},
        {"version, there is no module 2", kVersion, {0x02}, {0x02, 0x01}},
        {"plain set, flag", kSetMasterFlag, {0x01}, {0x00}},
        {"plain set, gain out of range", kSetMicGain, {0x06}, {0x01}},
        {"plain set, period below range", kSetDataPeriod, {0x00, 0x06}, {0x01}},
        {"plain set, period at range", kSetDataPeriod, {0x00, 0x07}, {0x00}},
        {"plain set, key one short", kSetLoraDevEui, text("70B3D57ED0051A2"), {0x01}},
        {"plain set, band 2", kSetLoraBand, {0x02}, {0x01}},
        {"plain set, bracelet type 4",
         kSetBracelet,
         {0x04, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x0A},
         {0x01}},
        {"plain set, scan time 9", kSetBleScanTime, {0x09}, {0x01}},
        {"indexed set, tone volume", kSetVolume, {0x01, 0x03}, {0x01, 0x00}},
        {"indexed set, volume out of range", kSetVolume, {0x01, 0x06}, {0x01, 0x01}},
        {"indexed set, topic of 31 characters",
         kSetMqttTopic,
         join({0x00}, text(std::string(31, 't'))),
         {0x00, 0x01}},
        {"indexed set, SIZ without address", kSetSizAddress, {0x03}, {0x03, 0x01}},
        {"LED test, red", kLedTest, {0x01}, {0x00}},
        {"LED test, no third LED", kLedTest, {0x02}, {0x01}},
        {"voice test", kVoiceTest, {}, {0x00}},
        {"vibration test", kVibroTest, {}, {0x00}},
        {"disconnect", kDisconnect, {}, {0x00}},
        {"token value 2", kSetAuxSensor, {0x01, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x02}, {0x01}},
        {"aux record of type 2",
         kSetAuxSensor,
         {0x02, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x01},
         {0x01}},
        {"immobility T1 of 0 minutes",
         kSetImmobility,
         {0x01, 0x00, 0x00, 0x00, 0xEA, 0x5F, 0x00, 0x01, 0xD4, 0xC0, 0x00, 0x6D, 0xDD, 0x00},
         {0x01}},
        {"a code the device does not know", 0x0F00, {}, {0x01}},
    };
    for (const ReplyRow& row : rows) {
        SCOPED_TRACE(row.name);
        SimulatedLink sim;
        const Outcome outcome = sim.transactWith(row.code, row.request);
        ASSERT_TRUE(outcome.answered);
        EXPECT_EQ(outcome.reply, row.reply);
        EXPECT_EQ(outcome.elapsedMs, 0u) << "without pacing the answer comes at once";
        EXPECT_FALSE(sim.device.hasOutput()) << "one frame per request";
    }
}

struct RoundTripRow {
    const char* name;
    CommandCode setCode;
    Bytes setRequest;
    Bytes getRequest;
    Bytes getReply;
};

TEST(SimulatorModel, KeepsWhatIsWritten) {
    const Bytes controlBytes = {'a', 0x0A, 0x0D, 0x03, 0x11, 0x13, 0x1A, 0x7F, 0xFF, 0x00, 'z'};
    const Bytes immobility = {0x01, 0x00, 0x00, 0x00, 0xEA, 0x60, 0x00,
                              0x01, 0xD4, 0xC0, 0x00, 0x6D, 0xDD, 0x00};
    const Bytes bracelet = {0x05, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x00};
    const std::vector<RoundTripRow> rows = {
        {"master flag off", kSetMasterFlag, {0x00}, {}, {0x00, 0x00}},
        {"green button number",
         kSetButtonNumber,
         join({0x00}, text("+79995550000")),
         {0x00},
         join({0x00, 0x00}, text("+79995550000"))},
        {"red button number emptied", kSetButtonNumber, {0x01}, {0x01}, {0x01, 0x00}},
        {"voice volume", kSetVolume, {0x00, 0x05}, {0x00}, {0x00, 0x00, 0x05}},
        {"microphone gain 0", kSetMicGain, {0x00}, {}, {0x00, 0x00}},
        {"data period 180", kSetDataPeriod, {0x00, 0xB4}, {}, {0x00, 0x00, 0xB4}},
        {"broker",
         kSetMqttBroker,
         text("broker.example.net"),
         {},
         join({0x00}, text("broker.example.net"))},
        {"APN emptied", kSetApn, {}, {}, {0x00}},
        {"port 300", kSetMqttPort, {0x01, 0x2C}, {}, {0x00, 0x01, 0x2C}},
        {"port 0", kSetMqttPort, {0x00, 0x00}, {}, {0x00, 0x00, 0x00}},
        {"publish topic",
         kSetMqttTopic,
         join({0x01}, text("t/pub")),
         {0x01},
         join({0x01, 0x00}, text("t/pub"))},
        {"APP_EUI",
         kSetLoraAppEui,
         text("0011223344556677"),
         {},
         join({0x00}, text("0011223344556677"))},
        {"band EU863-870", kSetLoraBand, {0x00}, {}, {0x00, 0x00}},
        {"ssid with control bytes", kSetWifiSsid, controlBytes, {}, join({0x00}, controlBytes)},
        {"SIZ 8",
         kSetSizAddress,
         {0x07, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F},
         {0x07},
         {0x07, 0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F}},
        {"rssi -128", kSetSizRssi, {0x80}, {}, {0x00, 0x80}},
        {"bracelet period 0", kSetBracelet, bracelet, {}, join({0x00}, bracelet)},
        {"scan time 0", kSetBleScanTime, {0x00}, {}, {0x00, 0x00}},
        {"immobility 1, 2, 120 minutes", kSetImmobility, immobility, {}, join({0x00}, immobility)},
        {"immobility off keeps the times",
         kSetImmobility,
         {0x00},
         {},
         {0x00, 0x00, 0x00, 0x00, 0x04, 0x93, 0xE0, 0x00, 0x0D, 0xBB, 0xA0, 0x00, 0x1B, 0x77,
          0x40}},
        {"GNSS always on", kSetGnssAlwaysOn, {0x01}, {}, {0x00, 0x01}},
        {"log flags, save in file only",
         kSetLogFlags,
         {0x80, 0x00, 0x00, 0x00},
         {},
         {0x00, 0x80, 0x00, 0x00, 0x00}},
    };
    for (const RoundTripRow& row : rows) {
        SCOPED_TRACE(row.name);
        SimulatedLink sim;
        const Outcome set = sim.transactWith(row.setCode, row.setRequest);
        ASSERT_TRUE(set.answered);
        const Bytes accepted =
            row.getRequest.empty() ? Bytes{0x00} : Bytes{row.getRequest[0], 0x00};
        EXPECT_EQ(set.reply, accepted);
        const auto getCode = static_cast<CommandCode>(row.setCode + 1);
        const Outcome get = sim.transactWith(getCode, row.getRequest);
        ASSERT_TRUE(get.answered);
        EXPECT_EQ(get.reply, row.getReply);
        const int index = row.getRequest.empty() ? -1 : row.getRequest[0];
        const auto stored = sim.device.storedValue(getCode, index);
        ASSERT_TRUE(stored.has_value());
        EXPECT_EQ(*stored, Bytes(row.getReply.begin() + (index < 0 ? 1 : 2), row.getReply.end()));
    }
}

TEST(SimulatorModel, RefusedValueLeavesTheStoredOne) {
    SimulatedLink sim;
    EXPECT_EQ(sim.transactWith(kSetMicGain, {0x06}).reply, Bytes{0x01});
    EXPECT_EQ(sim.transactWith(kGetMicGain, {}).reply, (Bytes{0x00, 0x04}));
    EXPECT_EQ(sim.transactWith(kSetVolume, {0x02, 0x01}).reply, (Bytes{0x02, 0x01}));
    EXPECT_FALSE(sim.device.storedValue(kGetVolume, 2).has_value());
}

TEST(SimulatorModel, StoreValueServesValuesTheDeviceWouldRefuse) {
    SimulatedLink sim;
    sim.device.storeValue(kGetDataPeriod, {0x00, 0xB5});
    EXPECT_EQ(sim.transactWith(kGetDataPeriod, {}).reply, (Bytes{0x00, 0x00, 0xB5}));
    sim.device.storeValue(kGetVolume, {0x06}, 0);
    EXPECT_EQ(sim.transactWith(kGetVolume, {0x00}).reply, (Bytes{0x00, 0x00, 0x06}));
    // The longest reply payload, 124 bytes, in one frame.
    const std::string longest(123, 'w');
    sim.device.storeValue(kGetWifiSsid, text(longest));
    EXPECT_EQ(sim.transactWith(kGetWifiSsid, {}).reply, join({0x00}, text(longest)));
}

TEST(SimulatorConnect, AnswersAtOnceWithStatusOneThenLaterWithZero) {
    for (std::uint32_t delayMs : {1500u, 4000u}) {
        SCOPED_TRACE(delayMs);
        SimulatorOptions options;
        options.connectSecondReplyDelayMs = delayMs;
        SimulatedLink sim(options);
        const Outcome first = sim.transactWith(kConnect, {}, kConnectAfterOpenTimeoutMs);
        ASSERT_TRUE(first.answered);
        EXPECT_EQ(first.reply, Bytes{0x01});
        EXPECT_EQ(first.elapsedMs, 0u);

        const Outcome early = sim.await(kConnect, 200);
        EXPECT_FALSE(early.answered);
        EXPECT_EQ(early.elapsedMs, 200u);

        const Outcome second = sim.await(kConnect, 60000);
        ASSERT_TRUE(second.answered);
        EXPECT_EQ(second.reply, Bytes{0x00});
        EXPECT_EQ(sim.channel.elapsedMs(), delayMs);
        EXPECT_FALSE(sim.device.hasOutput());
    }
}

const Bytes kGasSolo = {0x03, 0xF0, 0x0C, 0x1A, 0x22, 0x33, 0x44, 0x0F};
const Bytes kGasMaxOff = {0x00, 0xF0, 0x0C, 0x1A, 0x22, 0x30, 0x10, 0x00};
const Bytes kToken = {0x01, 0xD8, 0xA0, 0x1D, 0x55, 0x60, 0x02, 0x01};

// Reads every aux sensor frame as the tool does: further frames while the status is 1.
std::vector<Bytes> readAuxSensors(SimulatedLink& sim, std::vector<std::uint64_t>* gaps = nullptr) {
    std::vector<Bytes> frames;
    Outcome outcome = sim.transactWith(kGetAuxSensors, {}, 1000);
    while (outcome.answered && !outcome.reply.empty()) {
        frames.push_back(outcome.reply);
        if (gaps != nullptr) {
            gaps->push_back(outcome.elapsedMs);
        }
        if (outcome.reply[0] != 1) {
            break;
        }
        outcome = sim.await(kGetAuxSensors, 10000);
    }
    return frames;
}

TEST(SimulatorAuxSensors, RecordsComeOneFramePerRecord) {
    SimulatorOptions options;
    options.auxFrameIntervalMs = 300;
    SimulatedLink sim(options);
    std::vector<std::uint64_t> gaps;
    const std::vector<Bytes> frames = readAuxSensors(sim, &gaps);
    const std::vector<Bytes> expected = {join({0x01}, kGasSolo), join({0x01}, kGasMaxOff),
                                         join({0x00}, kToken)};
    EXPECT_EQ(frames, expected);
    EXPECT_EQ(gaps, (std::vector<std::uint64_t>{0, 300, 300}));
    EXPECT_FALSE(sim.device.hasOutput());
    EXPECT_EQ(sim.device.requests().size(), 1u) << "further frames come without a request";
}

TEST(SimulatorAuxSensors, WritesUpdateTheRecords) {
    struct Row {
        const char* name;
        Bytes record;
        std::vector<Bytes> frames;
    };
    const Bytes mirax = {0x04, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x1E};
    const Bytes soloAgain = {0x03, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x05};
    const Bytes tokenOff = {0x01, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x00};
    const std::vector<Row> rows = {
        {"a new gas analyzer switches the others off",
         mirax,
         {join({0x01}, {0x03, 0xF0, 0x0C, 0x1A, 0x22, 0x33, 0x44, 0x00}), join({0x01}, kGasMaxOff),
          join({0x01}, kToken), join({0x00}, mirax)}},
        {"a known gas analyzer is replaced",
         soloAgain,
         {join({0x01}, soloAgain), join({0x01}, kGasMaxOff), join({0x00}, kToken)}},
        {"the token leaves the gas analyzers alone",
         tokenOff,
         {join({0x01}, kGasSolo), join({0x01}, kGasMaxOff), join({0x00}, tokenOff)}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimulatedLink sim;
        EXPECT_EQ(sim.transactWith(kSetAuxSensor, row.record, 2000).reply, Bytes{0x00});
        EXPECT_EQ(readAuxSensors(sim), row.frames);
    }
}

TEST(SimulatorAuxSensors, NoRecordsIsOneFrameWithStatusAlone) {
    SimulatedLink sim;
    sim.device.storeValue(kGetAuxSensors, {});
    const Outcome outcome = sim.transactWith(kGetAuxSensors, {}, 1000);
    ASSERT_TRUE(outcome.answered);
    EXPECT_EQ(outcome.reply, Bytes{0x00});
    EXPECT_FALSE(sim.device.hasOutput());
}

struct RecordRow {
    const char* name;
    CommandCode code;
    Bytes payload;
    Bytes message;
};

TEST(SimulatorRecording, RecordsEachRequestAsDecoded) {
    const std::vector<RecordRow> rows = {
        {"read SIZ 3", kGetSizAddress, {0x02}, {0x08, 0x01, 0x00, 0x01, 0x02}},
        {"read rssi", kGetSizRssi, {}, {0x08, 0x03, 0x00, 0x00}},
        {"immobility off", kSetImmobility, {0x00}, {0x0A, 0x02, 0x00, 0x01, 0x00}},
        {"red LED", kLedTest, {0x01}, {0x00, 0x03, 0x00, 0x01, 0x01}},
        {"save in file",
         kSetLogFlags,
         {0x80, 0x00, 0x00, 0x00},
         {0x00, 0x06, 0x00, 0x04, 0x80, 0x00, 0x00, 0x00}},
        {"connect", kConnect, {}, {0x00, 0x00, 0x00, 0x00}},
    };
    for (const RecordRow& row : rows) {
        SCOPED_TRACE(row.name);
        SimulatedLink sim;
        ASSERT_TRUE(sim.transactWith(row.code, row.payload).answered);
        ASSERT_EQ(sim.device.requests().size(), 1u);
        const RecordedRequest& request = sim.device.requests()[0];
        EXPECT_EQ(request.code, row.code);
        EXPECT_EQ(request.payload, row.payload);
        EXPECT_EQ(request.message, row.message);
        sim.device.clearRequests();
        EXPECT_TRUE(sim.device.requests().empty());
    }
}

TEST(SimulatorRecording, NoiseAndInterruptedFramesAreNotRequests) {
    DeviceSimulator device;
    const Bytes frame = requestFrame(kGetMasterFlag, {});
    Bytes wire = {0x55, 0xAA};
    wire.insert(wire.end(), frame.begin(), frame.begin() + 4); // cut by the next delimiter
    wire.insert(wire.end(), frame.begin(), frame.end());
    wire.push_back(0x77);
    device.receive(wire.data(), wire.size());
    ASSERT_EQ(device.requests().size(), 1u);
    EXPECT_EQ(device.requests()[0].message, (Bytes{0x00, 0x09, 0x00, 0x00}));
}

TEST(SimulatorFraming, RepliesGoOutInTheRequestFraming) {
    struct Row {
        const char* name;
        CommandCode code;
        Bytes request;
        Bytes wire;
    };
    const std::vector<Row> rows = {
        {"master flag set",
         kGetMasterFlag,
         {},
         {0x00, 0x02, 0x06, 0x02, 0x09, 0x02, 0x02, 0x02, 0x01}},
        {"disconnect", kDisconnect, {}, {0x00, 0x02, 0x05, 0x02, 0x01, 0x02, 0x01, 0x01}},
        {"tone volume",
         kGetVolume,
         {0x01},
         {0x00, 0x04, 0x07, 0x01, 0x03, 0x03, 0x03, 0x01, 0x02, 0x02}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeviceSimulator device;
        const Bytes frame = requestFrame(row.code, row.request);
        device.receive(frame.data(), frame.size());
        EXPECT_EQ(drainOutput(device), row.wire);
    }
}

void collectFrame(void* context, const std::uint8_t* frame, std::uint8_t count) {
    static_cast<std::vector<Bytes>*>(context)->emplace_back(frame, frame + count);
}

TEST(SimulatorFraming, LongReplyFramesDecodeBack) {
    for (std::size_t length : {0u, 1u, 63u, 64u, 100u, 124u}) {
        SCOPED_TRACE(length);
        Bytes payload(length);
        for (std::size_t i = 0; i < length; ++i) {
            payload[i] = static_cast<std::uint8_t>(i % 7 == 3 ? 0x00 : 0x40 + i);
        }
        const Bytes wire = encodeReplyFrame(0x0703, payload);
        EXPECT_EQ(wire.size(), length + 7);
        EXPECT_EQ(static_cast<std::size_t>(std::count(wire.begin(), wire.end(), 0)), 1u);
        EXPECT_EQ(wire[2], length + 4);
        std::vector<Bytes> frames;
        FrameDecoder decoder;
        resetDecoder(decoder, &collectFrame, &frames);
        for (std::uint8_t byte : wire) {
            feed(decoder, byte);
        }
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0], join({0x07, 0x03, 0x00, static_cast<std::uint8_t>(length)}, payload));
    }
}

TEST(SimulatorFraming, ClaimedLengthChangesHeaderByteThreeOnly) {
    const Bytes wire = encodeReplyFrame(kGetMasterFlag, Bytes{0x00, 0x01}, std::uint8_t{9});
    EXPECT_EQ(wire, (Bytes{0x00, 0x02, 0x06, 0x02, 0x09, 0x02, 0x09, 0x02, 0x01}));
}

TEST(SimulatorPacing, BytesLeaveAtTheLineRate) {
    struct Row {
        const char* name;
        std::uint32_t baud;
        std::uint32_t gapMs;
        std::uint32_t firstUs;
        std::uint32_t otherUs;
        std::uint64_t totalMs;
    };
    const std::vector<Row> rows = {
        {"no pacing", 0, 0, 0, 0, 0},
        {"115200 baud", 115200, 0, 87, 87, 0},
        {"9600 baud", 9600, 0, 1042, 1042, 9},
        {"9600 baud and a 500 ms gap", 9600, 500, 1042, 501042, 4009},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimulatorOptions options;
        options.baud = row.baud;
        SimulatedLink sim(options);
        SimFault gap;
        gap.byteGapMs = row.gapMs;
        sim.device.scriptFault(kGetMasterFlag, gap);
        const Bytes frame = requestFrame(kGetMasterFlag, {});
        sim.device.receive(frame.data(), frame.size());
        std::vector<ScheduledByte> bytes;
        ScheduledByte byte;
        std::uint64_t totalMs = 0;
        while (sim.device.nextOutput(byte)) {
            bytes.push_back(byte);
            totalMs += byte.delayMs;
        }
        ASSERT_EQ(bytes.size(), 9u);
        EXPECT_EQ(bytes[0].delayUs, row.firstUs);
        for (std::size_t i = 1; i < bytes.size(); ++i) {
            EXPECT_EQ(bytes[i].delayUs, row.otherUs);
        }
        EXPECT_EQ(totalMs, row.totalMs);
    }
}

TEST(SimulatorPacing, VirtualClockFollowsThePacedReply) {
    SimulatorOptions options;
    options.baud = 9600;
    SimulatedLink sim(options);
    const Outcome outcome = sim.transactWith(kGetMasterFlag, {});
    ASSERT_TRUE(outcome.answered);
    EXPECT_EQ(outcome.elapsedMs, 9u); // 9 bytes of 1.042 ms
}

struct Step {
    const char* what;
    Call call;
    CommandCode code;
    Bytes request;
    std::uint32_t timeoutMs;
    bool answered;
    std::optional<Bytes> reply;
    std::optional<std::uint64_t> elapsedMs;
};

struct FaultRow {
    const char* name;
    CommandCode code;
    SimFault fault;
    int times;
    std::vector<Step> steps;
};

SimFault makeFault(void (*adjust)(SimFault&)) {
    SimFault fault;
    adjust(fault);
    return fault;
}

const Bytes kMasterOn = {0x00, 0x01};
const Bytes kLogFlags = {0x00, 0x00, 0x00, 0x08, 0x08};

Step get(const char* what, bool answered, std::optional<Bytes> reply = std::nullopt,
         std::optional<std::uint64_t> elapsedMs = std::nullopt, std::uint32_t timeoutMs = 600) {
    return {what,      Call::Transact, kGetMasterFlag,   {},
            timeoutMs, answered,       std::move(reply), elapsedMs};
}

TEST(SimulatorFaults, EachFaultShowsOnTheLinkAsOnAPort) {
    const std::vector<FaultRow> rows = {
        {"silent",
         kGetMasterFlag,
         makeFault([](SimFault& f) { f.silent = true; }),
         1,
         {get("unanswered", false, std::nullopt, 600), get("answered again", true, kMasterOn, 0)}},
        {"silent for ever",
         kGetMasterFlag,
         makeFault([](SimFault& f) { f.silent = true; }),
         -1,
         {get("first", false), get("second", false), get("third", false, std::nullopt, 600)}},
        {"twice, then the model again",
         kGetMasterFlag,
         makeFault([](SimFault& f) { f.status = 1; }),
         2,
         {get("first", true, Bytes{0x01, 0x01}), get("second", true, Bytes{0x01, 0x01}),
          get("third", true, kMasterOn)}},
        {"reply to another command",
         kGetMasterFlag,
         makeFault([](SimFault& f) { f.replyCode = kSetMasterFlag; }),
         1,
         {get("wrong echo fails at once", false, std::nullopt, 0, 20000),
          get("next call", true, kMasterOn)}},
        {"late reply",
         kGetMasterFlag,
         makeFault([](SimFault& f) { f.delayMs = 700; }),
         1,
         {get("gives up first", false, std::nullopt, 600),
          get("takes the late reply", true, kMasterOn, 100),
          {"other command reads the left-over reply",
           Call::Transact,
           kGetLogFlags,
           {},
           600,
           false,
           std::nullopt,
           0},
          {"then its own", Call::Transact, kGetLogFlags, {}, 600, true, kLogFlags, 0}}},
        {"bytes 500 ms apart within 600 ms",
         kGetMasterFlag,
         makeFault([](SimFault& f) { f.byteGapMs = 500; }),
         1,
         {get("slow but whole", true, kMasterOn, 8 * 500)}},
        {"bytes 500 ms apart beyond 400 ms",
         kGetMasterFlag,
         makeFault([](SimFault& f) { f.byteGapMs = 500; }),
         1,
         {get("times out between bytes", false, std::nullopt, 400, 400)}},
        {"noise before and after",
         kGetMasterFlag,
         makeFault([](SimFault& f) {
             f.noiseBefore = {0x55, 0xAA};
             f.noiseAfter = {0x77};
         }),
         1,
         {get("noise ignored", true, kMasterOn),
          {"next reply after the noise",
           Call::Transact,
           kGetLogFlags,
           {},
           600,
           true,
           kLogFlags,
           0}}},
        {"cut frame",
         kGetMasterFlag,
         makeFault([](SimFault& f) { f.cutAfter = 5; }),
         1,
         {get("never completes", false, std::nullopt, 600),
          get("next frame resynchronises", true, kMasterOn)}},
        {"claimed length above what the frame carries",
         kGetMasterFlag,
         makeFault([](SimFault& f) { f.claimedLength = 9; }),
         1,
         {get("refused", false, std::nullopt, 0), get("next", true, kMasterOn)}},
        {"claimed length below what the frame carries",
         kGetMasterFlag,
         makeFault([](SimFault& f) { f.claimedLength = 1; }),
         1,
         {get("the claim stands", true, Bytes{0x00})}},
        {"payload replaced",
         kGetMasterFlag,
         makeFault([](SimFault& f) {
             f.payload = Bytes{0x0A, 0x0D, 0x00, 0xFF};
         }),
         1,
         {get("as scripted", true, Bytes{0x0A, 0x0D, 0x00, 0xFF})}},
        {"empty payload",
         kGetMasterFlag,
         makeFault([](SimFault& f) { f.payload = Bytes{}; }),
         1,
         {get("nothing at all", true, Bytes{})}},
        {"status of an indexed get",
         kGetVolume,
         makeFault([](SimFault& f) { f.status = 7; }),
         1,
         {{"after the index echo",
           Call::Transact,
           kGetVolume,
           {0x01},
           600,
           true,
           Bytes{0x01, 0x07, 0x02},
           0}}},
        {"status of a set",
         kSetMasterFlag,
         makeFault([](SimFault& f) { f.status = 2; }),
         1,
         {{"refused", Call::Transact, kSetMasterFlag, {0x01}, 600, true, Bytes{0x02}, 0}}},
        {"connect ready at once, then again",
         kConnect,
         makeFault([](SimFault& f) { f.status = 0; }),
         1,
         {{"first reply says ready", Call::Transact, kConnect, {}, 10000, true, Bytes{0x00}, 0},
          {"second reply still comes",
           Call::AwaitReply,
           kConnect,
           {},
           60000,
           true,
           Bytes{0x00},
           1500}}},
        {"aux sensors cut to one frame",
         kGetAuxSensors,
         makeFault([](SimFault& f) { f.payload = Bytes{0x01}; }),
         1,
         {{"announces more", Call::Transact, kGetAuxSensors, {}, 1000, true, Bytes{0x01}, 0},
          {"but nothing follows",
           Call::AwaitReply,
           kGetAuxSensors,
           {},
           10000,
           false,
           std::nullopt,
           10000}}},
    };
    for (const FaultRow& row : rows) {
        SCOPED_TRACE(row.name);
        SimulatedLink sim;
        sim.device.scriptFault(row.code, row.fault, row.times);
        for (const Step& step : row.steps) {
            SCOPED_TRACE(step.what);
            const Outcome outcome = sim.call(step.call, step.code, step.request, step.timeoutMs);
            ASSERT_EQ(outcome.answered, step.answered);
            if (step.reply) {
                EXPECT_EQ(outcome.reply, *step.reply);
            }
            if (step.elapsedMs) {
                EXPECT_EQ(outcome.elapsedMs, *step.elapsedMs);
            }
        }
    }
}

TEST(SimulatorFaults, ClearFaultsRestoresTheModel) {
    SimulatedLink sim;
    SimFault silent;
    silent.silent = true;
    sim.device.scriptFault(kGetMasterFlag, silent, -1);
    sim.device.scriptFault(kGetLogFlags, silent, 3);
    EXPECT_FALSE(sim.transactWith(kGetMasterFlag, {}).answered);
    sim.device.clearFaults();
    EXPECT_EQ(sim.transactWith(kGetMasterFlag, {}).reply, kMasterOn);
    EXPECT_EQ(sim.transactWith(kGetLogFlags, {}).reply, kLogFlags);
}

TEST(SimulatorFaults, CountedFaultsComeBeforeALastingOne) {
    SimulatedLink sim;
    SimFault status;
    status.status = 3;
    SimFault silent;
    silent.silent = true;
    sim.device.scriptFault(kGetMasterFlag, silent, -1);
    sim.device.scriptFault(kGetMasterFlag, status, 1);
    EXPECT_EQ(sim.transactWith(kGetMasterFlag, {}).reply, (Bytes{0x03, 0x01}));
    EXPECT_FALSE(sim.transactWith(kGetMasterFlag, {}).answered);
    EXPECT_FALSE(sim.transactWith(kGetMasterFlag, {}).answered);
}

TEST(SimulatorFaults, FaultedRequestsAreStillRecordedAndApplied) {
    SimulatedLink sim;
    SimFault silent;
    silent.silent = true;
    sim.device.scriptFault(kSetMasterFlag, silent);
    EXPECT_FALSE(sim.transactWith(kSetMasterFlag, {0x00}).answered);
    ASSERT_EQ(sim.device.requests().size(), 1u);
    EXPECT_EQ(sim.device.requests()[0].payload, Bytes{0x00});
    // The device took the value; only its answer was lost.
    EXPECT_EQ(sim.transactWith(kGetMasterFlag, {}).reply, (Bytes{0x00, 0x00}));
}

struct SpecRow {
    const char* spec;
    CommandCode code;
    SimFault fault;
    int times;
};

void expectSameFault(const SimFault& actual, const SimFault& expected) {
    EXPECT_EQ(actual.silent, expected.silent);
    EXPECT_EQ(actual.replyCode, expected.replyCode);
    EXPECT_EQ(actual.payload, expected.payload);
    EXPECT_EQ(actual.status, expected.status);
    EXPECT_EQ(actual.claimedLength, expected.claimedLength);
    EXPECT_EQ(actual.noiseBefore, expected.noiseBefore);
    EXPECT_EQ(actual.noiseAfter, expected.noiseAfter);
    EXPECT_EQ(actual.delayMs, expected.delayMs);
    EXPECT_EQ(actual.byteGapMs, expected.byteGapMs);
    EXPECT_EQ(actual.cutAfter, expected.cutAfter);
}

TEST(FaultSpec, ParsesEachKind) {
    const std::vector<SpecRow> rows = {
        {"0x0009:silent", 9, makeFault([](SimFault& f) { f.silent = true; }), 1},
        {"0x0009:code=0x0008,times=1", 9, makeFault([](SimFault& f) { f.replyCode = 8; }), 1},
        {"9:gap=500", 9, makeFault([](SimFault& f) { f.byteGapMs = 500; }), 1},
        {"9:delay=700", 9, makeFault([](SimFault& f) { f.delayMs = 700; }), 1},
        {"9:noise-before=55aa", 9, makeFault([](SimFault& f) {
             f.noiseBefore = {0x55, 0xAA};
         }),
         1},
        {"9:noise-after=77", 9, makeFault([](SimFault& f) { f.noiseAfter = {0x77}; }), 1},
        {"9:payload=0001", 9, makeFault([](SimFault& f) {
             f.payload = Bytes{0x00, 0x01};
         }),
         1},
        {"9:payload=", 9, makeFault([](SimFault& f) { f.payload = Bytes{}; }), 1},
        {"9:status=1", 9, makeFault([](SimFault& f) { f.status = 1; }), 1},
        {"9:claimed-length=9", 9, makeFault([](SimFault& f) { f.claimedLength = 9; }), 1},
        {"9:cut=5", 9, makeFault([](SimFault& f) { f.cutAfter = 5; }), 1},
        {"9:cut=0", 9, makeFault([](SimFault& f) { f.cutAfter = 0; }), 1},
        {"2561:silent,times=-1", 0x0A01, makeFault([](SimFault& f) { f.silent = true; }), -1},
        {"0x0A01:times=3,gap=10", 0x0A01, makeFault([](SimFault& f) { f.byteGapMs = 10; }), 3},
        {"get-master-flag:code=set-master-flag", 9, makeFault([](SimFault& f) { f.replyCode = 8; }),
         1},
        {"0x0000:status=0,delay=0x10", 0, makeFault([](SimFault& f) {
             f.status = 0;
             f.delayMs = 16;
         }),
         1},
        {"9:noise-before=FF0102,payload=0A0d,claimed-length=0xFF", 9, makeFault([](SimFault& f) {
             f.noiseBefore = {0xFF, 0x01, 0x02};
             f.payload = Bytes{0x0A, 0x0D};
             f.claimedLength = 0xFF;
         }),
         1},
    };
    for (const SpecRow& row : rows) {
        SCOPED_TRACE(row.spec);
        CommandCode code = 0xFFFF;
        SimFault fault;
        fault.byteGapMs = 12345; // must be reset
        int times = 99;
        std::string error;
        ASSERT_TRUE(parseFaultSpec(row.spec, code, fault, times, error)) << error;
        EXPECT_EQ(code, row.code);
        EXPECT_EQ(times, row.times);
        expectSameFault(fault, row.fault);
    }
}

TEST(FaultSpec, RefusesMalformedSpecsWithAReason) {
    struct Row {
        std::string spec;
        const char* error;
    };
    const std::vector<Row> rows = {
        {"", "expected CODE:fault, e.g. 0x0009:silent"},
        {"9", "expected CODE:fault, e.g. 0x0009:silent"},
        {"9:", "no fault given after the colon"},
        {":silent", "\"\" is no command code or name"},
        {"xyz:silent", "\"xyz\" is no command code or name"},
        {"0x10000:silent", "\"0x10000\" is no command code or name"},
        {"0x0F00:silent", "command code 0x0F00 is not one the device knows"},
        {"9:gap=abc", "gap needs a number from 0 to 4294967295, got \"abc\""},
        {"9:delay=-5", "delay needs a number from 0 to 4294967295, got \"-5\""},
        {"9:gap=4294967296", "gap needs a number from 0 to 4294967295, got \"4294967296\""},
        {"9:status=256", "status needs a number from 0 to 255, got \"256\""},
        {"9:claimed-length=", "claimed-length needs a number from 0 to 255, got \"\""},
        {"9:times=x",
         "times needs a number from 0 to 2147483647, got \"x\" (or -1 for every request)"},
        {"9:times=-2",
         "times needs a number from 0 to 2147483647, got \"-2\" (or -1 for every request)"},
        {"9:payload=123", "payload needs pairs of hexadecimal digits, got \"123\""},
        {"9:payload=zz", "payload needs pairs of hexadecimal digits, got \"zz\""},
        {"9:noise-before=",
         "noise-before needs at least one byte as pairs of hexadecimal digits, got \"\""},
        {"9:payload=" + std::string(250, 'a'), "payload holds at most 124 bytes, got 125"},
        {"9:code=", "code needs a command code or name, got \"\""},
        {"9:gap", "\"gap\" needs a value (key=value)"},
        {"9:silent=1", "silent takes no value"},
        {"9:silent,,gap=1", "empty item"},
        {"9:silent,", "empty item"},
        {"9:colour=red",
         "unknown key \"colour\" (silent, code, times, gap, delay, noise-before, noise-after, "
         "payload, status, claimed-length, cut)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.spec);
        CommandCode code = 0x1234;
        SimFault fault;
        fault.delayMs = 42;
        int times = 7;
        std::string error;
        EXPECT_FALSE(parseFaultSpec(row.spec, code, fault, times, error));
        EXPECT_EQ(error, row.error);
        EXPECT_EQ(code, 0x1234) << "left alone on failure";
        EXPECT_EQ(fault.delayMs, 42u);
        EXPECT_EQ(times, 7);
    }
}

} // namespace
