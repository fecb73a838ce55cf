// Port discovery through SetupAPI. The test registers its own devices of the "Ports" class
// (possible under Wine and for an administrator on Windows) and removes them afterwards.

#include "ports/port_directory.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <setupapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

struct FakePort {
    const wchar_t* instanceId;
    std::optional<std::wstring> portName; // nothing: no "PortName" value at all
    bool portNameAsNumber = false;        // "PortName" stored as REG_DWORD
    std::optional<std::wstring> deviceDesc;
    std::optional<std::wstring> friendlyName;
};

bool portsClass(GUID& guid) {
    DWORD count = 0;
    return SetupDiClassGuidsFromNameW(L"Ports", &guid, 1, &count) && count >= 1;
}

bool setStringProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property,
                       const std::wstring& text) {
    const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return SetupDiSetDeviceRegistryPropertyW(
               set, &device, property, reinterpret_cast<const BYTE*>(text.c_str()), bytes) != FALSE;
}

void removeIfRegistered(HDEVINFO set, const wchar_t* instanceId) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    if (SetupDiOpenDeviceInfoW(set, instanceId, nullptr, 0, &device)) {
        SetupDiRemoveDevice(set, &device);
    }
}

// Registers the fake ports for the life of one test.
class RegisteredPorts {
  public:
    explicit RegisteredPorts(const std::vector<FakePort>& ports) : ports_(ports) {
        GUID guid{};
        if (!portsClass(guid)) {
            error_ = "no Ports class";
            return;
        }
        set_ = SetupDiCreateDeviceInfoList(&guid, nullptr);
        if (set_ == INVALID_HANDLE_VALUE) {
            error_ = "SetupDiCreateDeviceInfoList failed";
            return;
        }
        for (const auto& port : ports_) {
            removeIfRegistered(set_, port.instanceId);
            if (!add(guid, port)) {
                error_ = "registering a port failed, error " + std::to_string(GetLastError());
                return;
            }
        }
    }

    ~RegisteredPorts() {
        if (set_ == INVALID_HANDLE_VALUE) {
            return;
        }
        for (const auto& port : ports_) {
            removeIfRegistered(set_, port.instanceId);
        }
        SetupDiDestroyDeviceInfoList(set_);
    }

    const std::string& error() const { return error_; }

  private:
    bool add(const GUID& guid, const FakePort& port) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof(device);
        if (!SetupDiCreateDeviceInfoW(set_, port.instanceId, &guid, nullptr, nullptr, 0, &device)) {
            return false;
        }
        if (port.deviceDesc &&
            !setStringProperty(set_, device, SPDRP_DEVICEDESC, *port.deviceDesc)) {
            return false;
        }
        if (port.friendlyName &&
            !setStringProperty(set_, device, SPDRP_FRIENDLYNAME, *port.friendlyName)) {
            return false;
        }
        if (!SetupDiRegisterDeviceInfo(set_, &device, 0, nullptr, nullptr, nullptr)) {
            return false;
        }
        const HKEY key = SetupDiCreateDevRegKeyW(set_, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV,
                                                 nullptr, nullptr);
        if (key == INVALID_HANDLE_VALUE) {
            return false;
        }
        LONG status = ERROR_SUCCESS;
        if (port.portName && port.portNameAsNumber) {
            const DWORD number = 7;
            status = RegSetValueExW(key, L"PortName", 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&number), sizeof(number));
        } else if (port.portName) {
            const auto bytes = static_cast<DWORD>((port.portName->size() + 1) * sizeof(wchar_t));
            status = RegSetValueExW(key, L"PortName", 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(port.portName->c_str()), bytes);
        }
        RegCloseKey(key);
        return status == ERROR_SUCCESS;
    }

    std::vector<FakePort> ports_;
    HDEVINFO set_ = INVALID_HANDLE_VALUE;
    std::string error_;
};

const std::wstring kLongDescription(400, L'd');
const std::wstring kOverlongName = L"COM" + std::wstring(300, L'9');

std::vector<FakePort> fakePorts() {
    return {
        {L"ROOT\\PORTS\\TARNWICK01", L"COM201", false, L"Tarnwick test port", std::nullopt},
        {L"ROOT\\PORTS\\TARNWICK02", L"com202", false, L"Последовательный порт", std::nullopt},
        {L"ROOT\\PORTS\\TARNWICK03", L"COM", false, L"three letters only", std::nullopt},
        {L"ROOT\\PORTS\\TARNWICK04", L"LPT9", false, L"printer port", std::nullopt},
        {L"ROOT\\PORTS\\TARNWICK05", L"COM205", true, L"name stored as a number", std::nullopt},
        {L"ROOT\\PORTS\\TARNWICK06", std::nullopt, false, L"no name at all", std::nullopt},
        {L"ROOT\\PORTS\\TARNWICK07", kOverlongName, false, L"name too long", std::nullopt},
        {L"ROOT\\PORTS\\TARNWICK08", L"COM208", false, kLongDescription, std::nullopt},
        {L"ROOT\\PORTS\\TARNWICK09", L"COM209", false, std::nullopt, L"Friendly port (COM209)"},
        {L"ROOT\\PORTS\\TARNWICK10", L"COM210", false, std::nullopt, std::nullopt},
    };
}

std::optional<PortInfo> findPort(const std::vector<PortInfo>& ports, const std::string& name) {
    const auto it = std::find_if(ports.begin(), ports.end(),
                                 [&](const PortInfo& port) { return port.name == name; });
    if (it == ports.end()) {
        return std::nullopt;
    }
    return *it;
}

TEST(PortDirectoryWin32, ListsComPortsOnlyWithTheirDescriptions) {
    RegisteredPorts registered(fakePorts());
    if (!registered.error().empty()) {
        GTEST_SKIP() << "cannot register test ports here (" << registered.error() << ")";
    }
    const auto ports = listPorts();

    struct Row {
        const char* name;
        std::string port;
        std::optional<std::string> description; // nothing: must not be listed
    };
    const std::vector<Row> rows = {
        {"upper-case name", "COM201", "Tarnwick test port"},
        {"lower-case name kept as is, description in UTF-8", "com202",
         "\xd0\x9f\xd0\xbe\xd1\x81\xd0\xbb\xd0\xb5\xd0\xb4\xd0\xbe\xd0\xb2\xd0\xb0\xd1\x82\xd0\xb5"
         "\xd0\xbb\xd1\x8c\xd0\xbd\xd1\x8b\xd0\xb9 \xd0\xbf\xd0\xbe\xd1\x80\xd1\x82"},
        {"just the three letters", "COM", std::nullopt},
        {"not a COM name", "LPT9", std::nullopt},
        {"name that is no string", "COM205", std::nullopt},
        {"name longer than the buffer", "COM" + std::string(300, '9'), std::nullopt},
        {"description longer than the buffer", "COM208", std::string(400, 'd')},
        {"friendly name when there is no description", "COM209", "Friendly port (COM209)"},
        {"no description at all", "COM210", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto found = findPort(ports, row.port);
        ASSERT_EQ(found.has_value(), row.description.has_value());
        if (found) {
            EXPECT_EQ(found->description, *row.description);
        }
    }
    for (const auto& port : ports) {
        SCOPED_TRACE(port.name);
        ASSERT_GT(port.name.size(), 3U);
        EXPECT_EQ(_strnicmp(port.name.c_str(), "COM", 3), 0);
    }
}

TEST(PortDirectoryWin32, PresenceMatchesTheExactName) {
    RegisteredPorts registered(fakePorts());
    if (!registered.error().empty()) {
        GTEST_SKIP() << "cannot register test ports here (" << registered.error() << ")";
    }
    struct Row {
        const char* name;
        const char* port;
        bool present;
    };
    const std::vector<Row> rows = {
        {"registered", "COM201", true},
        {"lower-case name asked in lower case", "com202", true},
        {"lower-case name asked in upper case", "COM202", false},
        {"upper-case name asked in lower case", "com201", false},
        {"prefix of a name", "COM20", false},
        {"three letters only", "COM", false},
        {"not a COM port", "LPT9", false},
        {"name stored as a number", "COM205", false},
        {"never registered", "COM299", false},
        {"empty", "", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(isPortPresent(row.port), row.present);
    }
}

TEST(PortDirectoryWin32, RemovedPortIsGone) {
    {
        RegisteredPorts registered(
            {{L"ROOT\\PORTS\\TARNWICK11", L"COM211", false, L"short-lived", std::nullopt}});
        if (!registered.error().empty()) {
            GTEST_SKIP() << "cannot register test ports here (" << registered.error() << ")";
        }
        ASSERT_TRUE(isPortPresent("COM211"));
    }
    EXPECT_FALSE(isPortPresent("COM211"));
    EXPECT_FALSE(findPort(listPorts(), "COM211").has_value());
}

} // namespace
