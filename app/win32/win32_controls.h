#pragma once

#include "controls/controls.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <unordered_map>

// The system's ANSI code page, the one SendMessageA and the device's 8-bit texts share.
const WireCodePage& ansiCodePage();

// The controls of one dialog, addressed by ID through window messages. The child windows are
// looked up once, when the dialog is attached.
class Win32Controls final : public Controls {
  public:
    // `logPaneId` 0: the dialog has no log pane and appendLog does nothing.
    void attach(HWND dialog, HMENU menu, int logPaneId);
    void detach();
    HWND control(int id) const;
    HWND logPane() const { return logPane_; }

    std::u16string editText(int id, std::size_t maxChars) const override;
    std::u16string wholeText(int id) const override;
    void setEditText(int id, std::u16string_view text) override;
    void deleteEditText(int id, std::size_t from, std::size_t to, EditDeletion how) override;
    bool isChecked(int id) const override;
    void setChecked(int id, bool checked) override;
    int listSelection(int id) const override;
    void setListSelection(int id, int index) override;
    void setListEntries(int id, const std::vector<std::u16string>& entries) override;
    void setTextLimit(int id, std::size_t chars) override;
    void setControlEnabled(int id, bool enabled) override;
    bool isControlEnabled(int id) const override;
    void setMenuItemEnabled(int id, bool enabled) override;
    bool isMenuItemEnabled(int id) const override;
    void setControlVisible(int id, bool visible) override;
    bool isControlVisible(int id) const override;
    void appendLog(std::string_view text) override;
    const WireCodePage& codePage() const override { return ansiCodePage(); }

    // Appends UTF-16 text to the log pane.
    void appendLogText(const std::wstring& text);

  private:
    HWND dialog_ = nullptr;
    HMENU menu_ = nullptr;
    HWND logPane_ = nullptr;
    std::unordered_map<int, HWND> children_;
};
