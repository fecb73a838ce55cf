#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// The DPI of the monitor a window is on (the system's before Windows 10, which has no other).
UINT windowDpi(HWND window);
