#pragma once

#include "app/win32/win32_controls.h"
#include "link/device_link.h"
#include "link/serial_channel.h"
#include "link/trace_file.h"
#include "ports/device_connection.h"
#include "settings/aux_sensor_cache.h"
#include "ui/ui_context.h"

#include <optional>

// Everything the program keeps from start-up to exit: one link, one channel, one window.
struct AppState {
    HINSTANCE instance = nullptr;
    DeviceLink link;
    std::optional<SerialChannel> channel; // created after the decoder is reset
    TraceFile trace;                      // open with /trace FILE
    Win32Controls controls;
    AuxSensorCache auxSensors;
    DeviceConnection connection;
    UiContext ui{{link, controls, auxSensors}, connection};
    HBRUSH logBrush = nullptr;
    HICON bigIcon = nullptr; // of the window's DPI; destroyed once the window is
    HICON smallIcon = nullptr;
};

// The dialog procedures; each dialog is given the AppState as its creation parameter.
INT_PTR CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK portPickerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK aboutProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Keeps the AppState with a dialog at WM_INITDIALOG and finds it again later; nullptr for a
// message that arrives before WM_INITDIALOG.
AppState* rememberAppState(HWND dialog, LPARAM initParam);
AppState* appStateOf(HWND dialog);

// A dialog procedure's answer to a message whose result is 0 (WM_DEVICECHANGE).
INT_PTR handledWithResult(HWND dialog, LONG_PTR result);
