#include "ports/port_directory.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>

#include <cwchar>
#include <cwctype>
#include <string>
#include <utility>
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

// A REG_SZ property's text, or a REG_MULTI_SZ property's strings each ended by L'\0'.
bool readStringProperty(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property,
                        std::wstring& text) {
    std::vector<wchar_t> buffer(kNameUnits, L'\0');
    DWORD type = 0;
    DWORD required = 0;
    // Two units held back: a value stored without its terminators still ends.
    auto bytes = static_cast<DWORD>((buffer.size() - 2) * sizeof(wchar_t));
    BOOL ok =
        SetupDiGetDeviceRegistryPropertyW(devices, &device, property, &type,
                                          reinterpret_cast<BYTE*>(buffer.data()), bytes, &required);
    if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER && required > bytes) {
        buffer.assign(required / sizeof(wchar_t) + 3, L'\0');
        bytes = static_cast<DWORD>((buffer.size() - 2) * sizeof(wchar_t));
        ok = SetupDiGetDeviceRegistryPropertyW(devices, &device, property, &type,
                                               reinterpret_cast<BYTE*>(buffer.data()), bytes,
                                               &required);
    }
    if (!ok || (type != REG_SZ && type != REG_MULTI_SZ)) {
        return false;
    }
    if (type == REG_SZ) {
        text.assign(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
        return true;
    }
    text.clear();
    for (std::size_t at = 0; at < buffer.size() && buffer[at] != L'\0';) {
        const std::size_t length = wcsnlen(buffer.data() + at, buffer.size() - at);
        text.append(buffer.data() + at, length).push_back(L'\0');
        at += length + 1;
    }
    return true;
}

// The four hex digits after `key` ("VID_") in `text`, upper-cased; empty when there are none.
std::string idAfter(const std::wstring& text, const wchar_t* key) {
    const std::size_t at = text.find(key);
    if (at == std::wstring::npos || text.size() < at + 8) {
        return {};
    }
    std::string id;
    for (std::size_t i = at + 4; i < at + 8; ++i) {
        if (!std::iswxdigit(text[i]) || text[i] > 0x7F) {
            return {};
        }
        id.push_back(static_cast<char>(std::towupper(text[i])));
    }
    return id;
}

// Every hardware ID names the same device ("USB\VID_1209&PID_2A1E&REV_0100",
// "FTDIBUS\COMPORT&VID_0403&PID_6001"): the first that carries both ids will do.
void usbIds(const std::wstring& hardwareIds, std::string& vid, std::string& pid) {
    std::size_t at = 0;
    while (at < hardwareIds.size()) {
        std::size_t end = hardwareIds.find(L'\0', at);
        end = end == std::wstring::npos ? hardwareIds.size() : end;
        const std::wstring entry = hardwareIds.substr(at, end - at);
        vid = idAfter(entry, L"VID_");
        pid = idAfter(entry, L"PID_");
        if (!vid.empty() && !pid.empty()) {
            return;
        }
        at = end + 1;
    }
    vid.clear();
    pid.clear();
}

// "USB\VID_1209&PID_2A1E\TRK00042": a USB device's instance ID ends in its serial. Devices
// without one get an ID Windows makes up ("6&2c0f0e8b&0&1"), and an interface of a composite
// device ("...&MI_00\...") carries its parent's serial, not its own.
std::wstring serialOfInstance(DEVINST instance) {
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (CM_Get_Device_IDW(instance, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) {
        return {};
    }
    const std::wstring text(id, wcsnlen(id, MAX_DEVICE_ID_LEN));
    const std::size_t first = text.find(L'\\');
    const std::size_t last = text.rfind(L'\\');
    if (first != 3 || _wcsnicmp(text.c_str(), L"USB", 3) != 0 || last == first ||
        last + 1 == text.size() || text.find(L'&', last) != std::wstring::npos) {
        return {};
    }
    if (text.find(L"&MI_") < last) {
        DEVINST parent = 0;
        return CM_Get_Parent(&parent, instance, 0) == CR_SUCCESS ? serialOfInstance(parent)
                                                                 : std::wstring();
    }
    return text.substr(last + 1);
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
        PortInfo port;
        port.name = toUtf8(name.data(), name.size());
        port.description = toUtf8(description.data(), description.size());
        std::wstring hardwareIds;
        if (readStringProperty(devices, device, SPDRP_HARDWAREID, hardwareIds)) {
            usbIds(hardwareIds, port.vid, port.pid);
        }
        if (!port.vid.empty()) {
            const std::wstring serial = serialOfInstance(device.DevInst);
            std::wstring maker;
            readStringProperty(devices, device, SPDRP_MFG, maker);
            port.serial = toUtf8(serial.data(), serial.size());
            port.manufacturer = toUtf8(maker.data(), maker.size());
            port.product = port.description;
        }
        ports.push_back(std::move(port));
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
