#include "ports/port_directory.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <setupapi.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

// 256 UTF-16 units: the longest port name or description taken, terminator included.
constexpr DWORD kNameUnits = 256;

std::string toUtf8(const wchar_t* text, std::size_t units) {
    if (units == 0 || units > 0x7FFFFFFF) {
        return {};
    }
    const int count = static_cast<int>(units);
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, count, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, count, result.data(), size, nullptr, nullptr);
    return result;
}

// Reads "PortName" from a device's hardware key; true only for a COM name ("COM" in any case
// followed by at least one character). A value that does not fit the buffer is no COM name.
bool readComPortName(HKEY key, std::wstring& name) {
    wchar_t buffer[kNameUnits] = {};
    DWORD type = 0;
    // One unit is held back so that a value stored without terminator still gets one.
    DWORD bytes = (kNameUnits - 1) * sizeof(wchar_t);
    if (RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                         &bytes) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    buffer[bytes / sizeof(wchar_t)] = L'\0';
    const std::size_t length = wcsnlen(buffer, kNameUnits);
    if (length <= 3 || _wcsnicmp(buffer, L"COM", 3) != 0) {
        return false;
    }
    name.assign(buffer, length);
    return true;
}

bool readStringProperty(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property,
                        std::wstring& text) {
    std::vector<wchar_t> buffer(kNameUnits, L'\0');
    DWORD type = 0;
    DWORD required = 0;
    auto bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    BOOL ok =
        SetupDiGetDeviceRegistryPropertyW(devices, &device, property, &type,
                                          reinterpret_cast<BYTE*>(buffer.data()), bytes, &required);
    if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER && required > bytes) {
        buffer.assign(required / sizeof(wchar_t) + 2, L'\0');
        bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
        ok = SetupDiGetDeviceRegistryPropertyW(devices, &device, property, &type,
                                               reinterpret_cast<BYTE*>(buffer.data()), bytes,
                                               &required);
    }
    if (!ok || type != REG_SZ) {
        return false;
    }
    text.assign(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
    return true;
}

// Walks the present devices of the "Ports" class and calls `step` for each COM port; the walk
// always runs to its end and releases everything it opened.
template <typename Step> void forEachComPort(const Step& step) {
    DWORD guidCount = 0;
    SetupDiClassGuidsFromNameW(L"Ports", nullptr, 0, &guidCount);
    if (guidCount == 0) {
        return;
    }
    std::vector<GUID> guids(guidCount);
    if (!SetupDiClassGuidsFromNameW(L"Ports", guids.data(), guidCount, &guidCount) ||
        guidCount == 0) {
        return;
    }
    const HDEVINFO devices = SetupDiGetClassDevsW(&guids[0], nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) {
        return;
    }
    for (DWORD index = 0; index != 0xFFFFFFFF; ++index) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof(device);
        if (!SetupDiEnumDeviceInfo(devices, index, &device)) {
            break;
        }
        const HKEY key =
            SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == nullptr || key == INVALID_HANDLE_VALUE) {
            continue;
        }
        std::wstring name;
        if (readComPortName(key, name)) {
            step(devices, device, name);
        }
        RegCloseKey(key);
    }
    SetupDiDestroyDeviceInfoList(devices);
}

} // namespace

std::vector<PortInfo> listPorts() {
    std::vector<PortInfo> ports;
    forEachComPort([&](HDEVINFO devices, SP_DEVINFO_DATA& device, const std::wstring& name) {
        std::wstring description;
        if (!readStringProperty(devices, device, SPDRP_DEVICEDESC, description)) {
            readStringProperty(devices, device, SPDRP_FRIENDLYNAME, description);
        }
        ports.push_back(
            {toUtf8(name.data(), name.size()), toUtf8(description.data(), description.size())});
    });
    return ports;
}

bool isPortPresent(const std::string& name) {
    bool present = false;
    forEachComPort([&](HDEVINFO, SP_DEVINFO_DATA&, const std::wstring& portName) {
        if (toUtf8(portName.data(), portName.size()) == name) {
            present = true;
        }
    });
    return present;
}
