#pragma once

#include "controls/wire_text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kNoSelection = -1;

// The WM_COMMAND notification codes the page dispatch acts on.
inline constexpr int kEditChange = 0x0300;     // EN_CHANGE
inline constexpr int kListSelectionChange = 1; // CBN_SELCHANGE

// How an edit deletes a selected range: EM_REPLACESEL with no text, or WM_CLEAR.
enum class EditDeletion : std::uint8_t { ReplaceSelection, ClearSelection };

// To the end of an edit's text, as the end of a deleted range.
inline constexpr std::size_t kTextEnd = std::u16string::npos;

// The page controls as the operations see them, by dialog control ID: the Win32 dialog, or
// the in-memory model of the command line and the tests.
class Controls {
  public:
    virtual ~Controls() = default;

    // The first line of an edit, at most `maxChars` characters of it.
    virtual std::u16string editText(int id, std::size_t maxChars) const = 0;
    // The whole text of an edit, lines and all: what a profile saves.
    virtual std::u16string wholeText(int id) const = 0;
    virtual void setEditText(int id, std::u16string_view text) = 0;
    // Selects characters [from, to) of an edit and deletes them. The edit reports the change
    // at once, inside the caller, so a filter that deletes runs again nested on the result.
    virtual void deleteEditText(int id, std::size_t from, std::size_t to, EditDeletion how) = 0;
    virtual bool isChecked(int id) const = 0;
    virtual void setChecked(int id, bool checked) = 0;
    // kNoSelection when no entry is chosen; entry 0 is the blank one. Setting it from the
    // program is not a user's choice: no selection change is reported.
    virtual int listSelection(int id) const = 0;
    virtual void setListSelection(int id, int index) = 0;
    // Fills a list once, at window creation; it then has no selection.
    virtual void setListEntries(int id, const std::vector<std::u16string>& entries) = 0;
    // The most characters a user can type into an edit; a read may put more there.
    virtual void setTextLimit(int id, std::size_t chars) = 0;

    // Push buttons are disabled while no device is connected; menu items by command ID.
    virtual void setControlEnabled(int id, bool enabled) = 0;
    virtual bool isControlEnabled(int id) const = 0;
    virtual void setMenuItemEnabled(int id, bool enabled) = 0;
    virtual bool isMenuItemEnabled(int id) const = 0;
    // The pages share one dialog: a tab switch hides one page's controls and shows another's.
    virtual void setControlVisible(int id, bool visible) = 0;
    virtual bool isControlVisible(int id) const = 0;

    virtual void appendLog(std::string_view text) = 0;
    // How the controls' text maps to the device's 8-bit text.
    virtual const WireCodePage& codePage() const = 0;
};
