// Port discovery through SetupAPI, on devices of the "Ports" class this test registers itself
// and removes afterwards.
#include "ports/port_directory.h"
#include "tests/win32/port_registration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

struct Row {
    std::wstring portName; // ASCII; empty: no "PortName" value
    std::wstring text;
    DWORD property;
    std::optional<std::string> description; // nothing: must not be listed
    std::wstring usbInstance{};             // empty: ROOT\PORTS\TARNWICKn
    std::wstring hardwareIds{};             // with "Tarnwick Labs" as the maker
    std::string identity = "||||";          // vid|pid|serial|manufacturer|product
};

const std::vector<Row> kPorts = {
    {L"COM201", L"Tarnwick test port", SPDRP_DEVICEDESC, "Tarnwick test port"},
    {L"com202", L"Порт", SPDRP_DEVICEDESC, "\xd0\x9f\xd0\xbe\xd1\x80\xd1\x82"},
    {L"COM", L"three letters", SPDRP_DEVICEDESC, std::nullopt},
    {L"LPT9", L"printer", SPDRP_DEVICEDESC, std::nullopt},
    {L"", L"no name", SPDRP_DEVICEDESC, std::nullopt},
    {L"COM" + std::wstring(300, L'9'), L"name too long", SPDRP_DEVICEDESC, std::nullopt},
    {L"COM207", std::wstring(400, L'd'), SPDRP_DEVICEDESC, std::string(400, 'd')},
    {L"COM208", L"Friendly (COM208)", SPDRP_FRIENDLYNAME, "Friendly (COM208)"},
    {L"COM209", L"", SPDRP_DEVICEDESC, ""},
    {L"COM210", L"T4", SPDRP_DEVICEDESC, "T4", L"USB\\VID_1209&PID_2A1E\\TRK00042",
     L"USB\\VID_1209&PID_2a1e&REV_0100\0USB\\VID_1209&PID_2A1E\0"s,
     "1209|2A1E|TRK00042|Tarnwick Labs|T4"},
    {L"COM211", L"T5", SPDRP_DEVICEDESC, "T5", L"USB\\VID_1209&PID_2A1F&MI_00\\6&2C0F0E8B&0&0000",
     L"ACPI\\PNP0501\0USB\\VID_1209&PID_2A1F&MI_00\0"s, "1209|2A1F||Tarnwick Labs|T5"},
    {L"COM212", L"UART", SPDRP_DEVICEDESC, "UART", {}, L"ACPI\\PNP0501\0"s},
};

std::wstring instance(std::size_t index) {
    return kPorts[index].usbInstance.empty() ? L"ROOT\\PORTS\\TARNWICK" + std::to_wstring(index)
                                             : kPorts[index].usbInstance;
}

class PortDirectoryWin32 : public ::testing::Test {
  protected:
    void SetUp() override {
        for (std::size_t i = 0; i < kPorts.size(); ++i) {
            ASSERT_TRUE(registerPort(instance(i).c_str(), kPorts[i].portName, kPorts[i].text,
                                     kPorts[i].property, true, kPorts[i].hardwareIds,
                                     L"Tarnwick Labs"))
                << "cannot register ports here, error " << GetLastError();
        }
    }
    void TearDown() override {
        for (std::size_t i = 0; i < kPorts.size(); ++i) {
            EXPECT_TRUE(unregisterPort(instance(i).c_str()));
        }
    }
};

TEST_F(PortDirectoryWin32, ListsComPortsOnlyWithTheirDescriptions) {
    const std::vector<PortInfo> ports = listPorts();
    for (const Row& row : kPorts) {
        const std::string name(row.portName.begin(), row.portName.end());
        const auto found = std::find_if(ports.begin(), ports.end(),
                                        [&](const PortInfo& port) { return port.name == name; });
        ASSERT_EQ(found != ports.end(), row.description.has_value()) << name.substr(0, 8);
        if (row.description) {
            EXPECT_EQ(found->description + "|" + found->vid + "|" + found->pid + "|" +
                          found->serial + "|" + found->manufacturer + "|" + found->product,
                      *row.description + "|" + row.identity)
                << name.substr(0, 8);
        }
    }
}

TEST_F(PortDirectoryWin32, PresenceMatchesTheExactNameAndEndsWithTheRegistration) {
    for (const auto& [name, present] : std::vector<std::pair<const char*, bool>>{{"COM201", true},
                                                                                 {"com202", true},
                                                                                 {"COM202", false},
                                                                                 {"com201", false},
                                                                                 {"COM20", false},
                                                                                 {"COM", false},
                                                                                 {"LPT9", false},
                                                                                 {"COM299", false},
                                                                                 {"", false}}) {
        EXPECT_EQ(isPortPresent(name), present) << name;
    }
    ASSERT_TRUE(unregisterPort(instance(0).c_str()));
    EXPECT_FALSE(isPortPresent("COM201"));
    EXPECT_TRUE(isPortPresent("COM208"));
}

} // namespace
