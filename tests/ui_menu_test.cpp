#include "tests/support/ui_rig.h"

#include "link/command_index.h"
#include "ui/menu_commands.h"

#include <optional>
#include <sstream>

namespace {

std::string step(const char* what, int id) {
    std::string text = what;
    text += ' ';
    text += std::to_string(id);
    return text;
}

using namespace ui_test;
using namespace command;

// One operation of a read-all or load-all: its command, which of the command's action texts,
// and the request payload it sends when it gets that far.
struct Step {
    CommandCode code;
    std::size_t use = 0;
    Bytes request = {};
};

Step indexed(CommandCode code, std::uint8_t index) {
    return {code, index, Bytes{index}};
}

// The reads of "Считать настройки", in the order the menu runs them.
std::vector<Step> readAllSteps() {
    std::vector<Step> steps = {
        {kGetMasterFlag},
        indexed(kGetButtonNumber, 0),
        indexed(kGetButtonNumber, 1),
        indexed(kGetVolume, 0),
        indexed(kGetVolume, 1),
        {kGetMicGain},
        {kGetImei},
        {kGetImsi},
        {kGetDeviceId},
        {kGetServerAckFlag},
        {kGetDataPeriod},
        {kGetApn},
        {kGetMqttBroker},
        {kGetMqttUsername},
        {kGetMqttPassword},
        {kGetMqttPort},
        indexed(kGetMqttTopic, 0),
        indexed(kGetMqttTopic, 1),
        {kGetLoraEnable},
        {kGetLoraDevEui},
        {kGetLoraAppEui},
        {kGetLoraAppKey},
        {kGetLoraBand},
        {kGetWifiEnable},
        {kGetWifiSsid},
        {kGetWifiPassword},
        {kGetXnbEnable},
        {kGetXnbId},
    };
    for (std::uint8_t siz = 0; siz < 8; ++siz) {
        steps.push_back(indexed(kGetSizAddress, siz));
    }
    for (CommandCode code : {kGetSizRssi, kGetBracelet, kGetBleNamespace, kGetBleScanTime,
                             kGetImmobility, kGetAuxSensors, kGetGnssAlwaysOn, kGetLogFlags}) {
        steps.push_back({code});
    }
    return steps;
}

// The writes of "Загрузить настройки", in order (request payloads are not checked here).
std::vector<Step> loadAllSteps() {
    std::vector<Step> steps = {
        {kSetMasterFlag}, {kSetButtonNumber, 0}, {kSetButtonNumber, 1}, {kSetVolume, 0},
        {kSetVolume, 1},  {kSetMicGain},         {kSetServerAckFlag},   {kSetDataPeriod},
        {kSetApn},        {kSetMqttBroker},      {kSetMqttUsername},    {kSetMqttPassword},
        {kSetMqttPort},   {kSetMqttTopic, 0},    {kSetMqttTopic, 1},    {kSetLoraEnable},
        {kSetLoraDevEui}, {kSetLoraAppEui},      {kSetLoraAppKey},      {kSetLoraBand},
        {kSetWifiEnable}, {kSetWifiSsid},        {kSetWifiPassword},    {kSetXnbEnable},
    };
    for (std::size_t siz = 0; siz < 8; ++siz) {
        steps.push_back({kSetSizAddress, siz});
    }
    for (Step step : std::vector<Step>{{kSetSizRssi},
                                       {kSetBracelet},
                                       {kSetBleNamespace},
                                       {kSetBleScanTime},
                                       {kSetImmobility},
                                       {kSetAuxSensor, 0},
                                       {kSetAuxSensor, 1},
                                       {kSetGnssAlwaysOn},
                                       {kSetLogFlags}}) {
        steps.push_back(step);
    }
    return steps;
}

std::string expectedLog(const std::vector<Step>& steps, const char* result) {
    std::string log;
    for (const Step& step : steps) {
        log += std::string(actionText(step.code, step.use)) + result;
    }
    return log;
}

std::vector<std::string> logLines(const std::string& log) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(log.substr(start, end + 2 - start));
    }
    return lines;
}

// Watches the device buttons while the operations log: a button enabled before the last
// line of the sequence would let another exchange start in the middle.
struct ButtonWatch {
    std::size_t logTexts = 0;
    std::size_t textsWithAButtonEnabled = 0;

    void attach(MemoryControls& controls) {
        controls.setLogSink([this, &controls](std::string_view) {
            ++logTexts;
            for (int id : deviceButtons()) {
                if (controls.isControlEnabled(id)) {
                    ++textsWithAButtonEnabled;
                    return;
                }
            }
        });
    }
};

void enableAsConnected(UiRig& rig) {
    for (int item : {IDM_DISCONNECT, IDM_READ_ALL, IDM_LOAD_ALL}) {
        rig.controls.setMenuItemEnabled(item, true);
    }
    rig.controls.setMenuItemEnabled(IDM_CHOOSE_PORT, false);
    enableDeviceButtons(rig.controls);
}

const EnablingState kConnectedState{{false, false, true, true, true}, "enabled"};

TEST(ReadAll, DeviceThatNeverAnswersLogsEveryReadAndItsFailureInOrder) {
    const std::vector<Step> steps = readAllSteps();
    ASSERT_EQ(steps.size(), 44u);
    for (const bool portClosed : {true, false}) {
        SCOPED_TRACE(portClosed ? "closed port" : "silent device");
        UiRig rig;
        enableAsConnected(rig);
        if (portClosed) {
            rig.channel.setOpen(false);
        } else {
            for (const CommandEntry& entry : commandIndex()) {
                SimFault silent;
                silent.silent = true;
                rig.device.scriptFault(entry.code, silent, -1);
            }
        }
        ButtonWatch watch;
        watch.attach(rig.controls);

        getAllSettings(rig.ui.settings);

        EXPECT_EQ(rig.controls.log(), expectedLog(steps, "cmd sending error.\r\n"));
        EXPECT_EQ(watch.logTexts, 2 * steps.size());
        EXPECT_EQ(watch.textsWithAButtonEnabled, 0u);
        EXPECT_EQ(enablingState(rig.controls), kConnectedState);
        if (portClosed) {
            EXPECT_TRUE(rig.device.requests().empty());
            continue;
        }
        ASSERT_EQ(rig.device.requests().size(), steps.size());
        for (std::size_t i = 0; i < steps.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(rig.device.requests()[i].code, steps[i].code);
            EXPECT_EQ(rig.device.requests()[i].payload, steps[i].request);
        }
    }
}

TEST(ReadAll, EveryReadOfAHealthyDeviceSucceedsAndFillsThePages) {
    UiRig rig;
    enableAsConnected(rig);

    getAllSettings(rig.ui.settings);

    EXPECT_EQ(rig.controls.log(), expectedLog(readAllSteps(), "success.\r\n"));
    EXPECT_EQ(enablingState(rig.controls), kConnectedState);
    // A few values of the model device, one per page.
    EXPECT_TRUE(rig.controls.isChecked(IDC_MASTER_FLAG));
    EXPECT_EQ(rig.controls.fullText(IDC_BUTTON_NUMBER_2), u"+15551230002");
    EXPECT_EQ(rig.controls.fullText(IDC_MQTT_PORT), u"1883");
    EXPECT_EQ(rig.controls.listSelection(IDC_LORA_BAND), 2);
    EXPECT_EQ(rig.controls.fullText(IDC_WIFI_SSID), u"Tarnwick-Service");
    EXPECT_EQ(rig.controls.fullText(IDC_XNB_ID), u"XNB-00A1F3");
    EXPECT_EQ(rig.controls.fullText(IDC_SIZ_1 + 2 * IDC_SIZ_ROW_STRIDE), u"E45F012A813D");
    EXPECT_EQ(rig.controls.fullText(IDC_IMMOBILITY_T3), u"30");
    EXPECT_EQ(rig.controls.listSelection(IDC_GAS_TYPE), 2);
    EXPECT_EQ(rig.controls.fullText(IDC_GAS_PERIOD), u"15");
    EXPECT_TRUE(rig.controls.isChecked(2009)); // "GSM"
}

TEST(LoadAll, WritesBackWhatWasReadInOrderWithTheButtonsDisabled) {
    UiRig rig;
    enableAsConnected(rig);
    getAllSettings(rig.ui.settings);
    ASSERT_EQ(rig.controls.log(), expectedLog(readAllSteps(), "success.\r\n"));
    std::vector<std::optional<Bytes>> stored;
    for (const Step& step : readAllSteps()) {
        stored.push_back(rig.device.storedValue(
            step.code, step.request.empty() ? -1 : static_cast<int>(step.request[0])));
    }
    rig.controls.clearLog();
    rig.device.clearRequests();
    ButtonWatch watch;
    watch.attach(rig.controls);

    setAllSettings(rig.ui.settings);

    const std::vector<Step> steps = loadAllSteps();
    ASSERT_EQ(steps.size(), 41u);
    EXPECT_EQ(rig.controls.log(), expectedLog(steps, "success.\r\n"));
    EXPECT_EQ(watch.textsWithAButtonEnabled, 0u);
    EXPECT_EQ(enablingState(rig.controls), kConnectedState);
    ASSERT_EQ(rig.device.requests().size(), steps.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rig.device.requests()[i].code, steps[i].code);
    }
    const std::vector<Step> reads = readAllSteps();
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const Step& step = reads[i];
        SCOPED_TRACE(actionText(step.code, step.use));
        EXPECT_EQ(rig.device.storedValue(
                      step.code, step.request.empty() ? -1 : static_cast<int>(step.request[0])),
                  stored[i]);
    }
}

TEST(LoadAll, EmptyFieldsAreRefusedOneByOneAndTheSequenceGoesOn) {
    UiRig rig;
    enableAsConnected(rig);
    rig.channel.setOpen(false);

    setAllSettings(rig.ui.settings);

    const std::vector<Step> steps = loadAllSteps();
    const std::vector<std::string> lines = logLines(rig.controls.log());
    ASSERT_EQ(lines.size(), steps.size()) << rig.controls.log();
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        EXPECT_TRUE(lines[i].starts_with(actionText(steps[i].code, steps[i].use)));
    }
    EXPECT_EQ(enablingState(rig.controls), kConnectedState);
}

// Records every change the clearing makes, so that its order can be checked.
class JournalControls final : public Controls {
  public:
    std::vector<std::string> journal;
    MemoryControls inner;

    std::u16string editText(int id, std::size_t maxChars) const override {
        return inner.editText(id, maxChars);
    }
    void setEditText(int id, std::u16string_view text) override {
        note(text.empty() ? "empty" : "text", id);
        inner.setEditText(id, text);
    }
    void deleteEditText(int id, std::size_t from, std::size_t to, EditDeletion how) override {
        const bool all = from == 0 && to == kTextEnd;
        note(how == EditDeletion::ClearSelection && all ? "clear" : "delete", id);
        inner.deleteEditText(id, from, to, how);
    }
    bool isChecked(int id) const override { return inner.isChecked(id); }
    void setChecked(int id, bool checked) override {
        note(checked ? "check" : "uncheck", id);
        inner.setChecked(id, checked);
    }
    int listSelection(int id) const override { return inner.listSelection(id); }
    void setListSelection(int id, int index) override {
        note(index == 0 ? "entry0" : "select", id);
        inner.setListSelection(id, index);
    }
    void setListEntries(int id, const std::vector<std::u16string>& entries) override {
        inner.setListEntries(id, entries);
    }
    void setTextLimit(int id, std::size_t chars) override { inner.setTextLimit(id, chars); }
    void setControlEnabled(int id, bool enabled) override {
        note("enable", id);
        inner.setControlEnabled(id, enabled);
    }
    bool isControlEnabled(int id) const override { return inner.isControlEnabled(id); }
    void setMenuItemEnabled(int id, bool enabled) override {
        note("menu", id);
        inner.setMenuItemEnabled(id, enabled);
    }
    bool isMenuItemEnabled(int id) const override { return inner.isMenuItemEnabled(id); }
    void setControlVisible(int id, bool visible) override {
        note("show", id);
        inner.setControlVisible(id, visible);
    }
    bool isControlVisible(int id) const override { return inner.isControlVisible(id); }
    void appendLog(std::string_view text) override {
        journal.push_back("log");
        inner.appendLog(text);
    }
    const WireCodePage& codePage() const override { return inner.codePage(); }

  private:
    void note(const char* what, int id) { journal.push_back(step(what, id)); }
};

std::vector<std::string> expectedClearing() {
    std::vector<std::string> steps;
    auto add = [&](const char* what, std::initializer_list<int> ids) {
        for (int id : ids) {
            steps.push_back(step(what, id));
        }
    };
    add("uncheck", {600});
    add("empty", {1004, 1005, 1012, 1013, 1019, 1023, 1026});
    add("uncheck", {1028});
    add("empty", {1101});
    add("uncheck", {1103});
    add("empty", {1107, 1112, 1117, 1121, 1125, 1129, 1133, 1137});
    add("uncheck", {1200});
    add("clear", {1204, 1209, 1213});
    add("entry0", {1224});
    add("uncheck", {1300});
    add("empty", {1304, 1308});
    add("uncheck", {1400});
    add("empty", {1404});
    add("empty", {1501, 1505, 1509, 1513, 1517, 1521, 1525, 1529});
    add("entry0", {1533});
    add("empty", {1537});
    add("entry0", {1538});
    add("empty", {1542, 1544, 1548});
    add("uncheck", {1601});
    add("empty", {1603, 1605, 1607});
    add("uncheck", {1610});
    add("empty", {1703});
    add("entry0", {1705});
    add("empty", {1707, 1711});
    add("entry0", {1713});
    add("empty", {1715});
    add("uncheck", {1900});
    for (int id = 2006; id <= 2013; ++id) {
        add("uncheck", {id});
    }
    for (int id = 2029; id <= 2032; ++id) {
        add("uncheck", {id});
    }
    for (int id = 2014; id <= 2026; ++id) {
        add("uncheck", {id});
    }
    return steps;
}

TEST(ClearAll, EmptiesTheValueControlsPageByPageAndNothingElse) {
    JournalControls controls;
    PageRegistry pages;
    fillPageRegistry(pages);

    clearAllFields(controls, pages);

    const std::vector<std::string> expected = expectedClearing();
    EXPECT_EQ(expected.size(), 80u);
    EXPECT_EQ(controls.journal, expected);
}

bool sameEntry(const AuxSensorEntry& a, const AuxSensorEntry& b) {
    return a.macText == b.macText && a.listIndex == b.listIndex && a.valueText == b.valueText;
}

TEST(ClearAll, LeavesTheLogTheCacheTheMenuAndTheConnectionAlone) {
    UiRig rig;
    rig.connectOnCom7();
    getAllSettings(rig.ui.settings);
    ASSERT_EQ(rig.controls.log(), expectedLog(readAllSteps(), "success.\r\n"));
    rig.controls.setChecked(IDC_NO_SIGNAL_VIBRO, true);
    rig.controls.setListSelection(IDC_BRACELET_TYPE, 5);
    const std::string log = rig.controls.log();
    const AuxSensorCache cache = rig.auxSensors;
    ASSERT_EQ(cache.gas[1].valueText, "15");
    ASSERT_EQ(cache.token.valueText, "1");
    rig.device.clearRequests();

    clearAllFields(rig.controls, rig.ui.pages);

    EXPECT_EQ(rig.controls.log(), log);
    for (std::size_t i = 0; i < kGasSlots; ++i) {
        EXPECT_TRUE(sameEntry(rig.auxSensors.gas[i], cache.gas[i])) << i;
    }
    EXPECT_TRUE(sameEntry(rig.auxSensors.token, cache.token));
    EXPECT_EQ(enablingState(rig.controls), kConnected);
    EXPECT_EQ(rig.connection.currentPortName, "COM7");
    EXPECT_TRUE(rig.channel.isOpen());
    EXPECT_TRUE(rig.device.requests().empty());
    // Every value control is empty, unticked or at its blank entry.
    std::vector<SettingField> fields = {{"", IDC_NO_SIGNAL_VIBRO, FieldKind::Check}};
    for (const SettingRow& row : settingCatalogue()) {
        for (const SettingField& field : settingFields(row)) {
            fields.push_back(field);
        }
    }
    for (const SettingField& field : fields) {
        SCOPED_TRACE(field.controlId);
        switch (field.kind) {
        case FieldKind::Check:
            EXPECT_FALSE(rig.controls.isChecked(field.controlId));
            break;
        case FieldKind::Edit:
        case FieldKind::Number:
            EXPECT_EQ(rig.controls.fullText(field.controlId), u"");
            break;
        case FieldKind::List:
        case FieldKind::RssiList:
            EXPECT_EQ(rig.controls.listSelection(field.controlId), 0);
            break;
        }
    }
}

TEST(ClearAll, WithoutADeviceEveryListShowsItsBlankEntryAndTheButtonsStayDisabled) {
    UiRig rig;
    for (int list : {IDC_LORA_BAND, IDC_BRACELET_TYPE, IDC_GAS_TYPE, IDC_TOKEN_TYPE}) {
        ASSERT_EQ(rig.controls.listSelection(list), kNoSelection);
    }

    clearAllFields(rig.controls, rig.ui.pages);

    for (int list :
         {IDC_LORA_BAND, IDC_SIZ_RSSI, IDC_BRACELET_TYPE, IDC_GAS_TYPE, IDC_TOKEN_TYPE}) {
        EXPECT_EQ(rig.controls.listSelection(list), 0) << list;
    }
    EXPECT_EQ(enablingState(rig.controls), kWindowCreated);
    EXPECT_EQ(rig.controls.log(), "");
    EXPECT_TRUE(rig.device.requests().empty());
}

} // namespace
