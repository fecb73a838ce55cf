#pragma once

#include "ui/controls.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

// The controls without a window: what the command line fills and reads, and what the tests
// assert on. It behaves like the Win32 controls wherever an operation could tell.
class MemoryControls final : public Controls {
  public:
    explicit MemoryControls(const WireCodePage& codePage = cp1251CodePage())
        : codePage_(codePage) {}

    std::u16string editText(int id, std::size_t maxChars) const override;
    void setEditText(int id, std::u16string_view text) override;
    bool isChecked(int id) const override;
    void setChecked(int id, bool checked) override;
    int listSelection(int id) const override;
    void setListSelection(int id, int index) override;
    void setControlEnabled(int id, bool enabled) override;
    bool isControlEnabled(int id) const override;
    void setMenuItemEnabled(int id, bool enabled) override;
    bool isMenuItemEnabled(int id) const override;
    void appendLog(std::string_view text) override;
    const WireCodePage& codePage() const override { return codePage_; }

    // A list's entries, as the window fills them at creation.
    void setListEntries(int id, std::vector<std::u16string> entries);
    const std::vector<std::u16string>& listEntries(int id) const;

    // The whole text of an edit, lines and all, for assertions.
    const std::u16string& fullText(int id) const;
    const std::string& log() const { return log_; }
    void clearLog() { log_.clear(); }
    // Also hands every log text to `sink` as it is appended (the command line's stderr).
    void setLogSink(std::function<void(std::string_view)> sink) { logSink_ = std::move(sink); }

  private:
    struct Control {
        std::u16string text;
        bool checked = false;
        int selection = kNoSelection;
        std::vector<std::u16string> entries;
        bool enabled = true;
    };
    const Control& find(int id) const;

    const WireCodePage& codePage_;
    std::map<int, Control> controls_;
    std::map<int, bool> menuItems_; // an item never set counts as enabled
    std::string log_;
    std::function<void(std::string_view)> logSink_;
};
