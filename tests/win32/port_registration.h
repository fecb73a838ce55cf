#pragma once

// A device of the "Ports" class, registered as a plugged-in USB serial adapter would be, so
// that the real SetupAPI enumeration lists it: a COM port for tests under Wine, where anyone
// may install a device (on Windows it takes an administrator).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <setupapi.h>

#include <string>

// Registers `instanceId` (L"ROOT\\PORTS\\...") afresh or, with `add` false, only removes it
// (which works when it is not there). An empty `portName` stores no "PortName", an empty `text`
// no `textProperty`. `hardwareIds` (NUL-ended strings) and `maker` make it a USB device's port.
inline bool registerPort(const wchar_t* instanceId, const std::wstring& portName,
                         const std::wstring& text, DWORD textProperty = SPDRP_DEVICEDESC,
                         bool add = true, const std::wstring& hardwareIds = {},
                         const std::wstring& maker = {}) {
    const auto bytes = [](const std::wstring& s) {
        return reinterpret_cast<const BYTE*>(s.c_str());
    };
    const auto size = [](const std::wstring& s) { return static_cast<DWORD>((s.size() + 1) * 2); };
    GUID guid{};
    DWORD count = 0;
    const HDEVINFO set = SetupDiClassGuidsFromNameW(L"Ports", &guid, 1, &count) && count > 0
                             ? SetupDiCreateDeviceInfoList(&guid, nullptr)
                             : static_cast<HKEY>(INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA device{sizeof(device), {}, 0, 0};
    // A registration left by an earlier run would make the creation fail.
    bool ok = set != INVALID_HANDLE_VALUE &&
              (!SetupDiOpenDeviceInfoW(set, instanceId, nullptr, 0, &device) ||
               SetupDiRemoveDevice(set, &device));
    if (ok && add) {
        ok = SetupDiCreateDeviceInfoW(set, instanceId, &guid, nullptr, nullptr, 0, &device) &&
             (text.empty() || SetupDiSetDeviceRegistryPropertyW(set, &device, textProperty,
                                                                bytes(text), size(text))) &&
             (hardwareIds.empty() ||
              (SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID, bytes(hardwareIds),
                                                 size(hardwareIds)) &&
               SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_MFG, bytes(maker),
                                                 size(maker)))) &&
             SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr);
        const HKEY key = ok ? SetupDiCreateDevRegKeyW(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV,
                                                      nullptr, nullptr)
                            : static_cast<HKEY>(INVALID_HANDLE_VALUE);
        ok = key != INVALID_HANDLE_VALUE &&
             (portName.empty() || RegSetValueExW(key, L"PortName", 0, REG_SZ, bytes(portName),
                                                 size(portName)) == ERROR_SUCCESS);
        if (key != INVALID_HANDLE_VALUE) {
            RegCloseKey(key);
        }
    }
    if (set != INVALID_HANDLE_VALUE) {
        SetupDiDestroyDeviceInfoList(set);
    }
    return ok;
}

inline bool unregisterPort(const wchar_t* instanceId) {
    return registerPort(instanceId, {}, {}, 0, false);
}
