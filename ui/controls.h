#pragma once

#include "settings/wire_text.h"

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr int kNoSelection = -1;

// The page controls as the operations see them, by dialog control ID: the Win32 dialog, or
// the in-memory model of the command line and the tests.
class Controls {
  public:
    virtual ~Controls() = default;

    // The first line of an edit, at most `maxChars` characters of it.
    virtual std::u16string editText(int id, std::size_t maxChars) const = 0;
    virtual void setEditText(int id, std::u16string_view text) = 0;
    virtual bool isChecked(int id) const = 0;
    virtual void setChecked(int id, bool checked) = 0;
    // kNoSelection when no entry is chosen; entry 0 is the blank one.
    virtual int listSelection(int id) const = 0;
    virtual void setListSelection(int id, int index) = 0;

    // Push buttons are disabled while no device is connected; menu items by command ID.
    virtual void setControlEnabled(int id, bool enabled) = 0;
    virtual bool isControlEnabled(int id) const = 0;
    virtual void setMenuItemEnabled(int id, bool enabled) = 0;
    virtual bool isMenuItemEnabled(int id) const = 0;

    virtual void appendLog(std::string_view text) = 0;
    // How the controls' text maps to the device's 8-bit text.
    virtual const WireCodePage& codePage() const = 0;
};
