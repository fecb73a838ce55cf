#pragma once

#include "controls/controls.h"

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
    void deleteEditText(int id, std::size_t from, std::size_t to, EditDeletion how) override;
    bool isChecked(int id) const override;
    void setChecked(int id, bool checked) override;
    int listSelection(int id) const override;
    void setListSelection(int id, int index) override;
    void setControlEnabled(int id, bool enabled) override;
    bool isControlEnabled(int id) const override;
    void setMenuItemEnabled(int id, bool enabled) override;
    bool isMenuItemEnabled(int id) const override;
    void setControlVisible(int id, bool visible) override;
    bool isControlVisible(int id) const override;
    void appendLog(std::string_view text) override;
    const WireCodePage& codePage() const override { return codePage_; }

    // What the window procedure would receive as WM_COMMAND: an edit reports every change of
    // its text (EN_CHANGE) at once, also while the handler of an earlier change still runs.
    using NotificationHandler = std::function<void(int id, int code)>;
    void setNotificationHandler(NotificationHandler handler) { notify_ = std::move(handler); }

    // The user at the keyboard: each character lands at the end and reports a change.
    void typeText(int id, std::u16string_view text);
    // A paste at the end: the whole text lands at once and reports one change.
    void pasteText(int id, std::u16string_view text);

    // A list's entries, as the window fills them at creation.
    void setListEntries(int id, const std::vector<std::u16string>& entries) override;
    void setTextLimit(int id, std::size_t chars) override;
    const std::vector<std::u16string>& listEntries(int id) const;

    std::u16string wholeText(int id) const override { return fullText(id); }
    // The whole text of an edit, lines and all, for assertions.
    const std::u16string& fullText(int id) const;
    // The way the last deletion in an edit was made, for assertions; none before the first.
    const EditDeletion* lastDeletion(int id) const;
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
        bool visible = true;
        bool deleted = false;
        EditDeletion lastDeletion = EditDeletion::ReplaceSelection;
        std::size_t textLimit = std::u16string::npos;
    };
    const Control& find(int id) const;
    void reportChange(int id);

    const WireCodePage& codePage_;
    std::map<int, Control> controls_;
    std::map<int, bool> menuItems_; // an item never set counts as enabled
    std::string log_;
    std::function<void(std::string_view)> logSink_;
    NotificationHandler notify_;
};
