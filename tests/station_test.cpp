// The station's batch rules on a bench of simulated trackers in-process: who is who, what
// each attempt came to, what the audit keeps.

#include "profile/profile.h"
#include "settings/setting_shapes.h"
#include "station/board.h"
#include "tests/support/sim_bench.h"
#include "tests/support/sim_rig.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <map>
#include <sstream>

namespace {

using nlohmann::json;

// What a front end would draw: every note and every attempt's end, in order.
struct Recorder final : StationObserver {
    std::vector<std::string> notes;
    std::vector<std::string> done; // "port outcome: error"
    void note(const std::string& port, const std::string& text) override {
        notes.push_back(port + ": " + text);
    }
    void progress(const std::string&, const PassProgress&, std::chrono::milliseconds) override {}
    void finished(const DeviceAttempt& attempt) override {
        done.push_back(attempt.port + " " + outcomeText(attempt.outcome) +
                       (attempt.error.empty() ? "" : ": " + attempt.error));
    }
};

// The simulator's own settings as a profile, with some lines given other values.
std::vector<ProfileEntry> benchProfile(const std::map<std::string, std::string>& edits = {
                                           {"mqtt-port", "8883"}}) {
    SimRig rig;
    for (const SettingRow& row : settingCatalogue()) {
        if (row.getCode && row.setCode) {
            EXPECT_TRUE(getSetting(rig.context, row)) << row.name;
        }
    }
    std::string text;
    std::string error;
    EXPECT_TRUE(writeProfile(rig.controls, text, error)) << error;
    for (const auto& [key, value] : edits) {
        const std::size_t start = text.find("\n" + key + "=") + key.size() + 2;
        text.replace(start, text.find('\n', start) - start, value);
    }
    std::vector<ProfileEntry> profile;
    EXPECT_TRUE(parseProfile(text, profile, error, Placeholders::Filled)) << error;
    return profile;
}

std::atomic<bool> stopWatching{false};

struct Station : testing::Test {
    SimBench bench;
    ProvisionPlan plan;
    StationOptions options;
    Recorder recorder;
    std::vector<json> audit;
    std::atomic<std::size_t> records{0}; // audit.size(), for the thread that stops a watch
    bool auditFails = false;

    void SetUp() override {
        plan.profile = benchProfile();
        plan.connectTimeoutMs = 5000;
    }
    StationSummary run() { return run(recorder, bench); }
    // On the ports given, or on every port present.
    StationSummary run(StationObserver& observer, PortSource& ports, bool (*stop)() = nullptr) {
        if (options.portSpecs.empty()) {
            for (const PortInfo& port : ports.present()) {
                options.portSpecs.push_back(port.name);
            }
        }
        const AuditSink sink = [this](std::string_view record) {
            EXPECT_TRUE(record.ends_with("\n"));
            audit.push_back(json::parse(record));
            ++records; // what another thread may read while the station runs
            return !auditFails;
        };
        return runStation(ports, options, plan, "cafe", observer, sink, stop);
    }
    // Watches the bench until `records` audit records are in (or 5 s passed), then stops;
    // `during` runs once the first record is in.
    StationSummary watchUntil(std::size_t records, const std::function<void()>& during) {
        options.watch = true;
        options.pollInterval = std::chrono::milliseconds(20);
        options.portSpecs = {"p1", "p2"};
        stopWatching = false;
        std::thread stopper([&] {
            bool done = false;
            for (int i = 0; i < 500 && this->records < records; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                if (!done && this->records > 0) {
                    during();
                    done = true;
                }
            }
            stopWatching = true;
        });
        const StationSummary summary = run(recorder, bench, [] { return stopWatching.load(); });
        stopper.join();
        return summary;
    }
};

// A good tracker, one refusing a write, one unplugged mid-write: their rows as a window draws
// them, the counts, the retry, the export and the audit.
TEST_F(Station, AGoodTrackerARefusedWriteAndAnUnplugEachEndAsTheyHappened) {
    bench.add(1);
    SimFault refuse;
    refuse.status = 1;
    bench.add(2).scriptFault(0x020F, refuse);
    SimFault pulled;
    pulled.hangup = true;
    bench.add(3).scriptFault(0x0211, pulled);
    StationBoard board("cafe");
    const StationSummary summary = run(board, bench);
    EXPECT_EQ(summaryText(summary), "1 provisioned, 1 failed, 1 unplugged");
    EXPECT_EQ(stationVerdict(summary), StationVerdict::Faults);
    ASSERT_EQ(audit.size(), 3u);
    for (const json& record : audit) {
        EXPECT_EQ(record["verify"].is_null(), record["port"] != "p1") << record;
        EXPECT_EQ(record["profileSha256"], "cafe");
    }

    std::vector<BoardRow> rows = board.rows();
    std::sort(rows.begin(), rows.end(),
              [](const BoardRow& a, const BoardRow& b) { return a.port < b.port; });
    ASSERT_EQ(rows.size(), 3u);
    const struct {
        RowState state;
        const char* imei;
        const char* error;
        const char* lastLog;
    } expected[] = {
        {RowState::Provisioned, "356938035643809", "", "Disconnecting...   success.\r\n"},
        {RowState::Failed, "356938035643817", "Setting MQTT PORT...   ack error.",
         "Disconnecting...   success.\r\n"},
        {RowState::Unplugged, "356938035643825", "Setting MQTT TOPIC_SUB...   cmd sending error.",
         "Disconnecting...   cmd sending error.\r\n"},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].port);
        EXPECT_EQ(rows[i].state, expected[i].state);
        EXPECT_EQ(rows[i].imei, expected[i].imei);
        EXPECT_EQ(rows[i].error, expected[i].error);
        EXPECT_EQ(rows[i].step, 5); // the disconnect was the last step shown
        EXPECT_TRUE(rows[i].log.ends_with(expected[i].lastLog)) << rows[i].log;
        EXPECT_EQ(rows[i].log.find("Connecting...   success.\r\n"), 0u);
    }
    const BoardCounts counts = board.counts();
    EXPECT_EQ(std::vector<std::size_t>({counts.provisioned, counts.differs, counts.failed,
                                        counts.refused, counts.unplugged, counts.inProgress}),
              std::vector<std::size_t>({1, 0, 1, 0, 1, 0}));
    std::vector<std::string> retry = board.portsToRetry();
    std::sort(retry.begin(), retry.end());
    EXPECT_EQ(retry, (std::vector<std::string>{"p2", "p3"}));

    std::istringstream csv(board.csv());
    std::string header, line;
    std::getline(csv, header);
    EXPECT_EQ(header, "port,usb serial,imei,device id,result,error,start utc,duration ms,"
                      "profile sha256,override row applied\r");
    std::vector<std::string> records;
    while (std::getline(csv, line)) {
        records.push_back(line.substr(0, line.find(",20")) + " | " +
                          line.substr(line.rfind(",cafe,")));
    }
    std::sort(records.begin(), records.end());
    EXPECT_EQ(records, (std::vector<std::string>{
                           "p1,,356938035643809,TRK-0A1B2C3D,provisioned, | ,cafe,no\r",
                           "p2,,356938035643817,TRK-0A1B2C3E,failed,Setting MQTT PORT...   "
                           "ack error. | ,cafe,no\r",
                           "p3,,356938035643825,TRK-0A1B2C3F,unplugged,Setting MQTT "
                           "TOPIC_SUB...   cmd sending error. | ,cafe,no\r"}));
}

struct IdentityCase {
    const char* name;
    std::vector<std::pair<int, std::string>> trackers; // fleet identity, USB serial
    std::vector<std::string> keys;                     // device keys ("" for the port's own)
    std::string imei2;                                 // stored as tracker 2's IMEI
    std::vector<std::string> done;
    std::vector<std::string> notes;
};

TEST_F(Station, OneIdentityOnce) {
    const std::vector<IdentityCase> cases = {
        {"USB serials that agree do not merge ports",
         {{1, "CLONE"}, {2, "CLONE"}},
         {},
         "",
         {"p1 provisioned", "p2 provisioned"},
         {": ports p1, p2 report the same USB serial CLONE; told apart by port"}},
        {"the same device named twice is one port",
         {{1, ""}, {1, ""}},
         {"/dev/ttyACM0", "/dev/ttyACM0"},
         "",
         {"p1 provisioned"},
         {": p2 is the same device as p1; taken once"}},
        {"two trackers with one IMEI",
         {{1, ""}, {2, ""}},
         {},
         "356938035643809",
         {"p1 provisioned", "p2 refused: IMEI 356938035643809 already provisioned in this batch "
                            "on p1"},
         {}},
        {"an empty IMEI",
         {{1, ""}, {2, ""}},
         {},
         "-",
         {"p1 provisioned", "p2 refused: the tracker reports no valid IMEI: ''"},
         {}},
        {"a wrong check digit, a line break",
         {{1, ""}, {2, ""}},
         {},
         "35693803564381\n",
         {"p1 provisioned", "p2 refused: the tracker reports no valid IMEI: '35693803564381\\x0a'"},
         {}},
    };
    for (const IdentityCase& c : cases) {
        SCOPED_TRACE(c.name);
        SimBench fresh;
        for (std::size_t i = 0; i < c.trackers.size(); ++i) {
            fresh.add(c.trackers[i].first, c.trackers[i].second,
                      i < c.keys.size() ? c.keys[i] : "");
        }
        if (!c.imei2.empty()) {
            const std::string imei = c.imei2 == "-" ? "" : c.imei2;
            fresh.device(1).storeValue(0x0300, Bytes(imei.begin(), imei.end()));
        }
        // Two ports with one IMEI must not run at once, or either may be the one refused.
        options = {};
        options.jobs = 1;
        Recorder seen;
        const StationSummary summary = run(seen, fresh);
        EXPECT_EQ(seen.done, c.done);
        EXPECT_EQ(seen.notes, c.notes);
        EXPECT_EQ(summary.attempts, c.done.size());
        if (c.done.back().find("refused") != std::string::npos) {
            for (const RecordedRequest& request : fresh.device(1).requests()) {
                EXPECT_NE(request.code, 0x020F) << "a refused tracker was written";
            }
            EXPECT_EQ(stationVerdict(summary), StationVerdict::Faults);
        }
    }
}

TEST_F(Station, ARetryRunRefusesATrackerTheFirstRunWrote) {
    bench.add(1);
    bench.add(1); // the same tracker again, as if moved to another port
    options.portSpecs = {"p1"};
    const StationSummary first = run();
    EXPECT_EQ(first.written, (std::map<std::string, std::string>{{"IMEI 356938035643809", "p1"}}));
    // The port another part of the program holds is left alone.
    options.portSpecs = {"p1", "p2"};
    options.exclude = {"p1"};
    options.writtenBefore = first.written;
    run();
    EXPECT_EQ(recorder.done,
              (std::vector<std::string>{
                  "p1 provisioned",
                  "p2 refused: IMEI 356938035643809 already provisioned in this batch on p1"}));
}

TEST_F(Station, NeverMoreTrackersConnectedThanJobs) {
    for (int k = 1; k <= 4; ++k) {
        bench.add(k);
    }
    options.jobs = 2;
    const StationSummary summary = run();
    EXPECT_EQ(summaryText(summary), "4 provisioned");
    EXPECT_EQ(bench.mostOpenAtOnce(), 2);
}

TEST_F(Station, TheAuditTellsWhatWasAndWasNotDone) {
    bench.add(1);
    SimFault silent;
    silent.silent = true;
    bench.device(0).scriptFault(0x0002, silent); // the first version asked: the firmware's
    bench.device(0).scriptFault(0x0210, silent); // get mqtt-port, in the read-back
    auditFails = true;

    const StationSummary summary = run();

    EXPECT_FALSE(summary.auditWritten);
    EXPECT_EQ(stationVerdict(summary), StationVerdict::Faults);
    ASSERT_EQ(audit.size(), 1u);
    const json& record = audit[0];
    EXPECT_EQ(record["result"], "failed");
    EXPECT_EQ(record["error"], "read-back: Getting MQTT PORT...   cmd sending error.");
    EXPECT_TRUE(record["versions"]["fw"].is_null());
    EXPECT_TRUE(record["versions"]["xnb"].is_string());
    EXPECT_EQ(record["verify"]["allRead"], false);
    EXPECT_EQ(record["verify"]["notRead"], json::array({"mqtt-port"}));
}

TEST_F(Station, ASecretThatReadsBackOtherwiseIsNeverShown) {
    bench.add(1);
    SimFault stale;
    stale.stale = true;
    plan.profile = benchProfile({{"wifi-password", "hunter22"}});
    bench.device(0).scriptFault(0x0704, stale); // set wifi-password: acknowledged, not kept
    run();
    ASSERT_EQ(audit.size(), 1u);
    EXPECT_EQ(audit[0]["result"], "differs");
    EXPECT_EQ(audit[0]["error"], "read-back: wifi-password: differs (secret)");
    EXPECT_EQ(audit[0]["verify"]["mismatches"],
              json::parse(R"([{"key":"wifi-password","secret":true}])"));
    EXPECT_EQ(audit[0].dump().find("hunter22"), std::string::npos);
}

TEST_F(Station, ATrackerWithoutItsRowIsCounted) {
    bench.add(1);
    bench.add(2);
    OverrideTable overrides;
    std::string error;
    ASSERT_TRUE(parseOverrides("imei,mqtt-username\n356938035643817,two\n", overrides, error))
        << error;
    plan.overrides = &overrides;
    const StationSummary summary = run();
    EXPECT_EQ(summaryText(summary), "2 provisioned, 1 without an override row");
    for (const json& record : audit) {
        EXPECT_EQ(record["withoutOverrideRow"], record["port"] == "p1") << record;
    }
    EXPECT_EQ(bench.device(1).storedValue(0x020C), Bytes({'t', 'w', 'o'}));
}

TEST_F(Station, AReplugUnderWatchAndRetryIsTheSameTrackerAgain) {
    SimFault pulled;
    pulled.hangup = true;
    bench.add(1).scriptFault(0x0211, pulled);
    options.retry = true;
    const StationSummary summary = watchUntil(2, [] {});
    EXPECT_EQ(recorder.done, (std::vector<std::string>{
                                 "p1 unplugged: Setting MQTT TOPIC_SUB...   cmd sending error.",
                                 "p1 provisioned"}));
    EXPECT_EQ(recorder.notes,
              (std::vector<std::string>{"p1: unplugged, waiting for it to come back",
                                        "p1: back, starting again"}));
    EXPECT_EQ(summaryText(summary), "1 provisioned, 1 unplugged");
}

TEST_F(Station, ACloneOfAWatchedSerialIsAnotherPortNotTheSameTracker) {
    bench.add(1, "TRK00001");
    const StationSummary summary = watchUntil(2, [this] { bench.add(2, "TRK00001"); });
    EXPECT_EQ(recorder.done, (std::vector<std::string>{"p1 provisioned", "p2 provisioned"}));
    EXPECT_EQ(recorder.notes,
              (std::vector<std::string>{
                  ": ports p1, p2 report the same USB serial TRK00001; told apart by port"}));
    EXPECT_EQ(summaryText(summary), "2 provisioned");
}

} // namespace
