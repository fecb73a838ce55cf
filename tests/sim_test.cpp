#include "support/sim_rig.h"
#include "tests/support/wire_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

namespace {

struct Step {
    CommandCode code;
    const char* request;
    const char* reply;    // nullptr: no reply may come
    std::uint64_t ms = 0; // virtual time the call takes
    std::uint32_t timeoutMs = 600;
    bool await = false; // wait for a further reply without a request
};

struct Scenario {
    std::string faults; // fault specs, ';' between them
    std::vector<Step> steps;
    std::uint32_t baud = 0;
    const char* refusal = nullptr; // the reason parseFaultSpec must give for refusing them
};

// Each scenario on a fresh device through the real link, as the tool's operations see it.
void play(const std::vector<Scenario>& scenarios) {
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.faults + " at " + std::to_string(scenario.baud));
        SimulatorOptions options;
        options.baud = scenario.baud;
        SimRig rig(options);
        for (std::string_view specs = scenario.faults; !specs.empty();) {
            const std::string spec(specs.substr(0, specs.find(';')));
            specs.remove_prefix(std::min(specs.size(), spec.size() + 1));
            CommandCode code = 0x1234;
            SimFault fault;
            int times = 7;
            std::string error;
            ASSERT_EQ(parseFaultSpec(spec, code, fault, times, error), !scenario.refusal) << error;
            if (scenario.refusal) {
                EXPECT_EQ(error, scenario.refusal);
                EXPECT_TRUE(code == 0x1234 && times == 7 && !fault.silent && !fault.payload);
                continue;
            }
            rig.device.scriptFault(code, fault, times);
        }
        for (const Step& step : scenario.steps) {
            SCOPED_TRACE(std::to_string(step.code) + ": " + step.request);
            const Bytes request = wire(step.request);
            std::uint8_t length = static_cast<std::uint8_t>(request.size());
            const std::uint8_t* payload = request.data();
            const std::uint64_t start = rig.channel.elapsedMs();
            const bool answered =
                step.await ? awaitReply(rig.link, step.code, length, payload, step.timeoutMs)
                           : transact(rig.link, step.code, length, payload, step.timeoutMs);
            ASSERT_EQ(answered, step.reply != nullptr);
            EXPECT_EQ(Bytes(payload, payload + (answered ? length : 0)),
                      wire(step.reply ? step.reply : ""));
            EXPECT_EQ(rig.channel.elapsedMs() - start, step.ms);
        }
    }
}

// clang-format off
TEST(Simulator, ModelKeepsWhatIsWrittenAndRefusesWhatTheDeviceWould) {
    play({
        {"", {{0x0008, "00", "00"}, {0x0009, "", "00 00"}}},
        {"", {{0x0802, "80", "00"}, {0x0803, "", "00 80"}}},
        {"", {{0x0100, "00 '+7999'", "00 00"}, {0x0101, "00", "00 00 '+7999'"}}},
        {"", {{0x0100, "01", "01 00"}, {0x0101, "01", "01 00"}, {0x0205, "00 B4", "00"},
              {0x0206, "", "00 00 B4"}}},
        {"", {{0x0102, "00 05", "00 00"}, {0x0103, "00", "00 00 05"}, {0x020F, "00 00", "00"},
              {0x0210, "", "00 00 00"}}},
        {"", {{0x0702, "'a' 0A 0D 03 11 7F FF 00 'z'", "00"},
              {0x0703, "", "00 'a' 0A 0D 03 11 7F FF 00 'z'"}}},
        {"", {{0x0800, "07 0A1B2C3D4E5F", "07 00"}, {0x0801, "07", "07 00 0A1B2C3D4E5F"}}},
        {"", {{0x0804, "05 0A1B2C3D4E5F 00", "00"}, {0x0805, "", "00 05 0A1B2C3D4E5F 00"}}},
        {"", {{0x0A02, "00", "00"}, {0x0A03, "", "00 00 00 000493E0 000DBBA0 001B7740"}}},
        {"", {{0x0006, "80000000", "00"}, {0x0007, "", "00 80000000"}}},
        // What the device refuses leaves the stored value.
        {"", {{0x0104, "06", "01"}, {0x0105, "", "00 04"}, {0x0205, "00 06", "01"}}},
        {"", {{0x0102, "02 01", "02 01"}, {0x0103, "02", "02 01"}, {0x0103, "", "FF 01"}}},
        {"", {{0x0502, "'70B3D57ED0051A2'", "01"}, {0x0508, "02", "01"}, {0x0808, "09", "01"}}},
        {"", {{0x0804, "04 0A1B2C3D4E5F 0A", "01"}, {0x0211, "00 't'*31", "00 01"},
              {0x0800, "03", "03 01"}}},
        {"", {{0x0A00, "01 0A1B2C3D4E5F 02", "01"}, {0x0A00, "02 0A1B2C3D4E5F 01", "01"}}},
        {"", {{0x0A02, "01 00 0000EA5F 0001D4C0 006DDD00", "01"}, {0x0003, "02", "01"}}},
        {"", {{0x0002, "07", "07 00 '3.01.2'"}, {0x0002, "02", "02 01"}, {0x0F00, "", "01"}}},
        // Connect answers at once and again when ready; sensor records come a frame each.
        {"", {{0x0000, "", "01", 0, 10000}, {0x0000, "", nullptr, 200, 200, true},
              {0x0000, "", "00", 1300, 60000, true}}},
        {"", {{0x0A01, "", "01 03F00C1A2233440F", 0, 1000},
              {0x0A01, "", "01 00F00C1A22301000", 250, 10000, true},
              {0x0A01, "", "00 01D8A01D55600201", 250, 10000, true}}},
        // A new gas analyzer switches the others off.
        {"", {{0x0A00, "04 0A1B2C3D4E5F 1E", "00", 0, 2000},
              {0x0A01, "", "01 03F00C1A22334400", 0, 1000},
              {0x0A01, "", "01 00F00C1A22301000", 250, 10000, true},
              {0x0A01, "", "01 01D8A01D55600201", 250, 10000, true},
              {0x0A01, "", "00 040A1B2C3D4E5F1E", 250, 10000, true}}},
    });
}

TEST(Simulator, FaultSpecsAreParsedAndShowOnTheLinkAsOnAPort) {
    play({
        {"9:silent", {{0x0009, "", nullptr, 600}, {0x0009, "", "00 01"}}},
        {"9:status=1,times=2", {{0x0009, "", "0101"}, {0x0009, "", "0101"}, {0x0009, "", "00 01"}}},
        {"9:silent,times=-1;9:status=3", {{0x0009, "", "03 01"}, {0x0009, "", {}, 600},
                                          {0x0009, "", {}, 600}}},
        {"0x0009:code=0x0008", {{0x0009, "", nullptr, 600}, {0x0009, "", "00 01"}}},
        {"get-master-flag:code=set-master-flag", {{0x0009, "", nullptr, 600}}},
        {"9:gap=500", {{0x0009, "", "00 01", 4000}}},
        {"9:claimed-length=9", {{0x0009, "", nullptr}, {0x0009, "", "00 01"}}},
        {"9:claimed-length=1", {{0x0009, "", "00"}}},
        {"9:payload=0A0d00FF", {{0x0009, "", "0A 0D 00 FF"}}},
        {"9:payload=", {{0x0009, "", ""}}},
        {"0x0103:status=7", {{0x0103, "01", "01 07 02"}}},
        {"8:status=2", {{0x0008, "01", "02"}}},
        {"8:silent", {{0x0008, "00", nullptr, 600}, {0x0009, "", "00 00"}}},
        {"0x0000:status=0,delay=0x10", {{0x0000, "", "00", 16, 10000},
                                        {0x0000, "", "00", 1500, 60000, true}}},
        {"2561:payload=01", {{0x0A01, "", "01", 0, 1000}, {0x0A01, "", {}, 10000, 10000, true}}},
        // Paced at the line rate: ten bits a byte, gaps on top.
        {"", {{0x0009, "", "00 01", 9}}, 9600},
        {"9:gap=500", {{0x0009, "", "00 01", 4009}}, 9600},
        {"", {{0x0009, "", "00 01", 0}}, 115200},
        // Refused specs, each with its reason.
        {"9", {}, 0, "expected CODE:fault, e.g. 0x0009:silent"},
        {"9:", {}, 0, "no fault given after the colon"},
        {"0x10000:silent", {}, 0, "\"0x10000\" is no command code or name"},
        {"0x0F00:silent", {}, 0, "command code 0x0F00 is not one the device knows"},
        {"9:delay=-5", {}, 0, "delay needs a number from 0 to 4294967295, got \"-5\""},
        {"9:status=256", {}, 0, "status needs a number from 0 to 255, got \"256\""},
        {"9:times=-2", {}, 0,
         "times needs a number from 0 to 2147483647, got \"-2\" (or -1 for every request)"},
        {"9:payload=123", {}, 0, "payload needs pairs of hexadecimal digits, got \"123\""},
        {"9:noise-before=", {}, 0,
         "noise-before needs at least one byte as pairs of hexadecimal digits, got \"\""},
        {"9:payload=" + std::string(250, 'a'), {}, 0, "payload holds at most 124 bytes, got 125"},
        {"9:code=", {}, 0, "code needs a command code or name, got \"\""},
        {"9:gap", {}, 0, "\"gap\" needs a value (key=value)"},
        {"9:silent=1", {}, 0, "silent takes no value"},
        {"9:silent,,gap=1", {}, 0, "empty item"},
        {"9:colour=red", {}, 0, "unknown key \"colour\" (silent, code, times, gap, delay, "
         "noise-before, noise-after, payload, status, claimed-length, cut, stale, store, hangup)"},
        {"9:hangup=1", {}, 0, "hangup takes no value"},
    });
}
// clang-format on

TEST(Simulator, AHangupFaultMakesTheDeviceVanishAtItsRequest) {
    SimRig rig;
    CommandCode faulty = 0;
    SimFault fault;
    int times = 0;
    std::string error;
    ASSERT_TRUE(parseFaultSpec("0x0302:hangup", faulty, fault, times, error)) << error;
    rig.device.scriptFault(faulty, fault, times);
    const Bytes apn = wire("'internet'");
    const std::tuple<CommandCode, std::uint8_t, bool> steps[] = {
        {0x0009, 0, true}, {0x0302, 8, false}, {0x0009, 0, false}};
    for (auto [code, length, answered] : steps) {
        const std::uint8_t* payload = apn.data();
        EXPECT_EQ(transact(rig.link, code, length, payload, 60000), answered) << code;
    }
    EXPECT_TRUE(rig.channel.hungUp());
    EXPECT_EQ(rig.channel.elapsedMs(), 0u);      // no time-out waited out
    ASSERT_EQ(rig.device.requests().size(), 2u); // the last write never reached it
    EXPECT_EQ(rig.device.requests().back().message, wire("03 02 00 08 'internet'"));
}

} // namespace
