#include "controls/memory_controls.h"

#include <algorithm>

namespace {

const std::vector<std::u16string> kNoEntries;

} // namespace

const MemoryControls::Control& MemoryControls::find(int id) const {
    static const Control kEmpty;
    const auto it = controls_.find(id);
    return it == controls_.end() ? kEmpty : it->second;
}

std::u16string MemoryControls::editText(int id, std::size_t maxChars) const {
    const std::u16string& text = find(id).text;
    const std::size_t lineEnd = text.find_first_of(u"\r\n");
    const std::size_t length = lineEnd == std::u16string::npos ? text.size() : lineEnd;
    return text.substr(0, std::min(length, maxChars));
}

void MemoryControls::setEditText(int id, std::u16string_view text) {
    controls_[id].text = text;
    reportChange(id);
}

void MemoryControls::deleteEditText(int id, std::size_t from, std::size_t to, EditDeletion how) {
    Control& control = controls_[id];
    const std::size_t end = std::min(to, control.text.size());
    if (from >= end) {
        return; // an empty selection deletes nothing, and nothing changed
    }
    control.text.erase(from, end - from);
    control.deleted = true;
    control.lastDeletion = how;
    reportChange(id);
}

void MemoryControls::typeText(int id, std::u16string_view text) {
    for (char16_t c : text) {
        // Like the real edit, a full field takes no more keys.
        if (controls_[id].text.size() >= controls_[id].textLimit) {
            return;
        }
        controls_[id].text.push_back(c);
        reportChange(id);
    }
}

void MemoryControls::pasteText(int id, std::u16string_view text) {
    controls_[id].text += text;
    reportChange(id);
}

void MemoryControls::reportChange(int id) {
    if (notify_) {
        notify_(id, kEditChange);
    }
}

bool MemoryControls::isChecked(int id) const {
    return find(id).checked;
}

void MemoryControls::setChecked(int id, bool checked) {
    controls_[id].checked = checked;
}

int MemoryControls::listSelection(int id) const {
    return find(id).selection;
}

void MemoryControls::setListSelection(int id, int index) {
    Control& control = controls_[id];
    // A list takes no selection beyond its entries, as CB_SETCURSEL clears it then.
    const bool valid = index >= 0 && static_cast<std::size_t>(index) < control.entries.size();
    control.selection = valid ? index : kNoSelection;
}

void MemoryControls::setListEntries(int id, const std::vector<std::u16string>& entries) {
    Control& control = controls_[id];
    control.entries = entries;
    control.selection = kNoSelection;
}

void MemoryControls::setTextLimit(int id, std::size_t chars) {
    controls_[id].textLimit = chars;
}

const std::vector<std::u16string>& MemoryControls::listEntries(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? kNoEntries : it->second.entries;
}

const std::u16string& MemoryControls::fullText(int id) const {
    return find(id).text;
}

const EditDeletion* MemoryControls::lastDeletion(int id) const {
    const Control& control = find(id);
    return control.deleted ? &control.lastDeletion : nullptr;
}

void MemoryControls::setControlEnabled(int id, bool enabled) {
    controls_[id].enabled = enabled;
}

bool MemoryControls::isControlEnabled(int id) const {
    return find(id).enabled;
}

void MemoryControls::setControlVisible(int id, bool visible) {
    controls_[id].visible = visible;
}

bool MemoryControls::isControlVisible(int id) const {
    return find(id).visible;
}

void MemoryControls::setMenuItemEnabled(int id, bool enabled) {
    menuItems_[id] = enabled;
}

bool MemoryControls::isMenuItemEnabled(int id) const {
    const auto it = menuItems_.find(id);
    return it == menuItems_.end() || it->second;
}

void MemoryControls::appendLog(std::string_view text) {
    log_ += text;
    if (logSink_) {
        logSink_(text);
    }
}
