// Read-back verify, diff, --changed-only and --json as a user runs them on the simulator.
#include "tests/support/cli_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct VerifyRow {
    std::string arguments; // split at each blank; A, B and S name the profiles below
    int exitStatus;
    std::string errPart;     // must appear in stderr
    std::string out = {};    // exact; after --json one object per line, compared parsed
    int logLines = -1;       // when given: the operations logged, connect and goodbye included
    std::string absent = {}; // when given: must appear on neither stdout nor stderr
};

// Each line parsed, so that the comparison is key by key; a line that is no JSON stays apart.
nlohmann::json jsonLines(const std::string& text) {
    nlohmann::json lines = nlohmann::json::array();
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(nlohmann::json::parse(line, nullptr, false));
    }
    return lines;
}

TEST(CliVerify, VerifyDiffChangedOnlyAndJson) {
    TempDir dir;
    const std::string a = cli({"--simulate", "read-all"}).out;
    const std::string b = edited(
        a, {{"\napn=internet\n", "\napn=web\n"}, {"\nmqtt-port=1883\n", "\nmqtt-port=8883\n"}});
    // The same settings in other forms: a leading zero, the gas analyzer's own key, no imei.
    const std::string s =
        edited(a, {{"\nmqtt-port=1883\n", "\nmqtt-port=01883\n"},
                   {"\nimei=356938035643809\n", "\n"},
                   {"\naux-sensors.gas-analyzer.period=", "\ngas-analyzer.period="}});
    const std::string c =
        edited(a, {{"\nwifi-password=wifi-pass-2024\n", "\nwifi-password=Qz9Qz9\n"}});
    const std::map<std::string, std::string> files = {{"A", dir.write("a", a)},
                                                      {"B", dir.write("b", b)},
                                                      {"C", dir.write("c", c)},
                                                      {"S", dir.write("s", s)}};
    const std::string unverifiable = "verify: not verifiable: gas-analyzer, token (write only)\n";
    const std::vector<VerifyRow> rows = {
        {"--simulate set mqtt-port=8883 --verify", 0,
         "Getting MQTT PORT...   success.\r\nverify: 1 setting read back, all equal\n", "", 4},
        {"--simulate --sim-fault 0x020F:stale set mqtt-port=8883 --verify", 3,
         "\r\nverify: mqtt-port: wrote 8883, the device has 1883\n"
         "verify: 1 setting read back, 1 field differs\n"},
        {"--simulate --sim-fault set-bracelet:store=05D43639A10B7E14 set bracelet.period=30 "
         "--verify",
         3, "\r\nverify: bracelet.period: wrote 30, the device has 20\nverify: 1 setting"},
        {"--simulate --sim-fault get-mqtt-port:status=1 set mqtt-port=8883 --verify", 1,
         "ack error.\r\nverify: 0 settings read back, all equal; not every read succeeded\n"},
        {"--simulate load-all B --verify", 0,
         unverifiable + "verify: 39 settings read back, all equal\n", "", 2 + 41 + 39},
        {"--simulate --sim-fault set-apn:stale load-all B --verify", 3,
         "\r\nverify: apn: wrote web, the device has internet\n" + unverifiable},
        {"--simulate load-all B --changed-only --verify", 0,
         "Getting log flags...   success.\r\nload-all: 37 settings unchanged, skipped\n"
         "Setting APN...   success.\r\nSetting MQTT PORT...   success.\r\n"
         "Setting gas analyzer data...   success.\r\nSetting token data...   success.\r\n"
         "Getting APN...   success.\r\nGetting MQTT PORT...   success.\r\n" +
             unverifiable + "verify: 2 settings read back, all equal\n",
         "", 2 + 39 + 4 + 2},
        {"diff A B", 3, "", "apn: internet -> web\nmqtt-port: 1883 -> 8883\n", 0},
        {"diff A S", 0, "", "", 0},
        {"--simulate diff B", 3, "", "apn: web -> internet\nmqtt-port: 8883 -> 1883\n", 2 + 44},
        {"--simulate --sim-fault get-apn:status=1 diff A", 1, "diff: not every read succeeded"},
        {"--json --simulate get mqtt-port bracelet", 0, "", R"({"name":"mqtt-port","value":"1883"}
{"name":"bracelet","fields":{"address":"D43639A10B7E","type":"Halvorn Tessel","period":"10"}}
)"},
        {"--json --simulate --sim-fault 2:status=1 versions", 1, "",
         R"({"module":"fw","version":null}
{"module":"gsm","version":"01.200.01.200"}
{"module":"lble","version":"1.6.2"}
{"module":"gnss","version":"3.01.2"}
{"module":"wifi","version":"3.2.0"}
{"module":"xnb","version":"1.0.3"}
)"},
        {"--json --simulate --sim-fault set-apn:stale load-all B --verify", 3, "",
         R"({"verify":"mismatch","key":"apn","written":"web","device":"internet"}
{"verify":"summary","read":39,"differ":1,"writeOnly":["gas-analyzer","token"],"readOnly":[],"allRead":true}
)"},
        {"--json diff A B", 3, "", R"({"key":"apn","a":"internet","b":"web"}
{"key":"mqtt-port","a":"1883","b":"8883"}
)"},
        // A password that differs is named, its values never shown.
        {"--simulate --sim-fault set-wifi-password:stale set wifi-password=Qz9Qz9 --verify", 3,
         "\r\nverify: wifi-password: differs (secret)\nverify: 1 setting read back, 1 field "
         "differs\n",
         "", -1, "Qz9"},
        {"--json --simulate --sim-fault set-wifi-password:stale set wifi-password=Qz9Qz9 "
         "--verify",
         3, "verify: wifi-password: differs (secret)\n",
         R"({"verify":"mismatch","key":"wifi-password","secret":true}
{"verify":"summary","read":1,"differ":1,"writeOnly":[],"readOnly":[],"allRead":true}
)",
         -1, "Qz9"},
        {"diff A C", 3, "", "wifi-password: differs (secret)\n", -1, "Qz9"},
        {"--json diff C A", 3, "", R"({"key":"wifi-password","secret":true}
)",
         -1, "Qz9"},
    };
    for (const VerifyRow& row : rows) {
        SCOPED_TRACE(row.arguments);
        Args arguments = words(row.arguments);
        for (std::string& word : arguments) {
            word = files.contains(word) ? files.at(word) : word;
        }
        const CliRun run = cli(arguments);
        EXPECT_EQ(run.exitStatus, row.exitStatus) << run.err;
        EXPECT_NE(run.err.find(row.errPart), std::string::npos) << run.err;
        if (!row.absent.empty()) {
            EXPECT_EQ((run.out + run.err).find(row.absent), std::string::npos);
        }
        if (row.logLines >= 0) {
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\r'), row.logLines);
        }
        if (row.arguments.starts_with("--json")) {
            EXPECT_EQ(jsonLines(run.out), jsonLines(row.out)) << run.out;
        } else {
            EXPECT_EQ(run.out, row.out);
        }
    }
}

} // namespace
