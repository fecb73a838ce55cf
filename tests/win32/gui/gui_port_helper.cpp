// tarnwick-gui-port: makes a COM port known to SetupAPI the way a plugged-in USB serial adapter
// is, so that the window's own port enumeration lists it, and takes it away again.
//
//   tarnwick-gui-port add INSTANCE NAME DESCRIPTION   e.g. add ROOT\PORTS\TARNWICKE2E COM8 "..."
//   tarnwick-gui-port remove INSTANCE                 no error when it is not registered
//
// Needs the rights to install devices: an administrator on Windows, anyone under Wine.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <setupapi.h>

#include <cstdio>
#include <string>

namespace {

bool portsClass(GUID& guid) {
    DWORD count = 0;
    return SetupDiClassGuidsFromNameW(L"Ports", &guid, 1, &count) && count >= 1;
}

// True when the instance is gone afterwards, whether or not it was there.
bool removeInstance(HDEVINFO set, const wchar_t* instanceId) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    if (!SetupDiOpenDeviceInfoW(set, instanceId, nullptr, 0, &device)) {
        return true;
    }
    return SetupDiRemoveDevice(set, &device) != FALSE;
}

bool addInstance(HDEVINFO set, const GUID& guid, const wchar_t* instanceId,
                 const std::wstring& portName, const std::wstring& description) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    if (!SetupDiCreateDeviceInfoW(set, instanceId, &guid, nullptr, nullptr, 0, &device)) {
        return false;
    }
    const auto descriptionBytes = static_cast<DWORD>((description.size() + 1) * sizeof(wchar_t));
    if (!SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_DEVICEDESC,
                                           reinterpret_cast<const BYTE*>(description.c_str()),
                                           descriptionBytes)) {
        return false;
    }
    if (!SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr)) {
        return false;
    }
    const HKEY key =
        SetupDiCreateDevRegKeyW(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
    if (key == INVALID_HANDLE_VALUE) {
        return false;
    }
    const auto nameBytes = static_cast<DWORD>((portName.size() + 1) * sizeof(wchar_t));
    const LONG status = RegSetValueExW(key, L"PortName", 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(portName.c_str()), nameBytes);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

int usage() {
    std::fputs("usage: tarnwick-gui-port add INSTANCE NAME DESCRIPTION | remove INSTANCE\n",
               stderr);
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        return usage();
    }
    const std::wstring command = argv[1];
    const wchar_t* instanceId = argv[2];
    if (!(command == L"remove" || (command == L"add" && argc == 5))) {
        return usage();
    }
    GUID guid{};
    if (!portsClass(guid)) {
        std::fputs("tarnwick-gui-port: no Ports device class\n", stderr);
        return 1;
    }
    const HDEVINFO set = SetupDiCreateDeviceInfoList(&guid, nullptr);
    if (set == INVALID_HANDLE_VALUE) {
        std::fputs("tarnwick-gui-port: SetupDiCreateDeviceInfoList failed\n", stderr);
        return 1;
    }
    // An instance left by an earlier run would make the creation fail.
    bool ok = removeInstance(set, instanceId);
    if (ok && command == L"add") {
        ok = addInstance(set, guid, instanceId, argv[3], argv[4]);
    }
    const DWORD error = GetLastError();
    SetupDiDestroyDeviceInfoList(set);
    if (!ok) {
        std::fprintf(stderr, "tarnwick-gui-port: %ls failed, error %lu\n", command.c_str(),
                     static_cast<unsigned long>(error));
        return 1;
    }
    return 0;
}
