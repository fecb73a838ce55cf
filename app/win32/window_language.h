#pragma once

#include "app/win32/window_texts.h"
#include "ui/ui_language.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

// The language the window speaks, chosen once at start: its dialogs and menu come from the
// resources of that language, its other texts from that language's table.
void useWindowLanguage(UiLanguage language);
UiLanguage userWindowLanguage(); // from the user's Windows UI language
const WindowTexts& windowTexts();

// `text` of a table with its "{}" replaced by `value`.
std::wstring withValue(const wchar_t* text, const std::wstring& value);

// DialogBoxParamW on the dialog of the window's language.
INT_PTR showDialog(HINSTANCE instance, int dialogId, HWND owner, DLGPROC procedure, LPARAM param);
// The main menu of the window's language; the caller owns it.
HMENU loadWindowMenu(HINSTANCE instance);
