#include "app/win32/win32_controls.h"

#include "app/win32/wide_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::size_t encodeAnsi(char32_t character, std::uint8_t out[4]) {
    wchar_t units[2] = {};
    int unitCount = 1;
    if (character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF)) {
        out[0] = '?';
        return 1;
    }
    if (character >= 0x10000) {
        const char32_t offset = character - 0x10000;
        units[0] = static_cast<wchar_t>(0xD800 + (offset >> 10));
        units[1] = static_cast<wchar_t>(0xDC00 + (offset & 0x3FF));
        unitCount = 2;
    } else {
        units[0] = static_cast<wchar_t>(character);
    }
    char bytes[8] = {};
    BOOL usedDefault = FALSE;
    // No best fit: a character the code page lacks is '?', not a look-alike.
    const int count = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, unitCount, bytes,
                                          sizeof bytes, "?", &usedDefault);
    if (count <= 0 || count > 4 || usedDefault) {
        out[0] = '?';
        return 1;
    }
    std::memcpy(out, bytes, static_cast<std::size_t>(count));
    return static_cast<std::size_t>(count);
}

std::u16string decodeAnsi(const std::uint8_t* bytes, std::size_t count) {
    if (count == 0 || count > 0x7FFFFFFF) {
        return {};
    }
    const auto source = reinterpret_cast<const char*>(bytes);
    const int size = static_cast<int>(count);
    const int units = MultiByteToWideChar(CP_ACP, 0, source, size, nullptr, 0);
    if (units <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, source, size, wide.data(), units);
    return utf16FromWide(wide);
}

WireCodePage makeAnsiCodePage() {
    static char name[16] = {};
    std::snprintf(name, sizeof name, "cp%u", GetACP());
    return {name, &encodeAnsi, &decodeAnsi};
}

LPARAM textParam(const std::wstring& text) {
    return reinterpret_cast<LPARAM>(text.c_str());
}

BOOL CALLBACK collectChild(HWND child, LPARAM param) {
    auto& children = *reinterpret_cast<std::unordered_map<int, HWND>*>(param);
    children.emplace(GetDlgCtrlID(child), child);
    return TRUE;
}

} // namespace

const WireCodePage& ansiCodePage() {
    // Windows may run with UTF-8 as its ANSI code page; WideCharToMultiByte then takes no
    // default character, and the core's own UTF-8 page does the same job.
    if (GetACP() == CP_UTF8) {
        return utf8CodePage();
    }
    static const WireCodePage codePage = makeAnsiCodePage();
    return codePage;
}

void Win32Controls::attach(HWND dialog, HMENU menu, int logPaneId) {
    dialog_ = dialog;
    menu_ = menu;
    children_.clear();
    EnumChildWindows(dialog, &collectChild, reinterpret_cast<LPARAM>(&children_));
    logPane_ = logPaneId != 0 ? control(logPaneId) : nullptr;
}

void Win32Controls::detach() {
    dialog_ = nullptr;
    menu_ = nullptr;
    logPane_ = nullptr;
    children_.clear();
}

HWND Win32Controls::control(int id) const {
    const auto it = children_.find(id);
    return it == children_.end() ? nullptr : it->second;
}

std::u16string Win32Controls::editText(int id, std::size_t maxChars) const {
    const HWND edit = control(id);
    if (edit == nullptr || maxChars == 0) {
        return {};
    }
    const auto length = static_cast<std::size_t>(SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0));
    const std::size_t wanted = std::min<std::size_t>({maxChars, length, 0xFFFF});
    if (wanted == 0) {
        return {};
    }
    // EM_GETLINE takes the buffer's size in its first word and copies without terminator.
    std::vector<wchar_t> buffer(std::max<std::size_t>(wanted, 2) + 1, L'\0');
    buffer[0] = static_cast<wchar_t>(wanted);
    const LRESULT copied =
        SendMessageW(edit, EM_GETLINE, 0, reinterpret_cast<LPARAM>(buffer.data()));
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(copied), wanted);
    return utf16FromWide(std::wstring_view(buffer.data(), count));
}

std::u16string Win32Controls::wholeText(int id) const {
    const HWND edit = control(id);
    if (edit == nullptr) {
        return {};
    }
    std::vector<wchar_t> buffer(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    const int copied = GetWindowTextW(edit, buffer.data(), static_cast<int>(buffer.size()));
    return utf16FromWide(std::wstring_view(buffer.data(), static_cast<std::size_t>(copied)));
}

void Win32Controls::setEditText(int id, std::u16string_view text) {
    if (const HWND edit = control(id)) {
        // The edit reports EN_CHANGE from inside this call; the filters run nested.
        SendMessageW(edit, WM_SETTEXT, 0, textParam(wideFromUtf16(text)));
    }
}

void Win32Controls::deleteEditText(int id, std::size_t from, std::size_t to, EditDeletion how) {
    const HWND edit = control(id);
    if (edit == nullptr) {
        return;
    }
    const auto end = to == kTextEnd ? static_cast<LPARAM>(-1) : static_cast<LPARAM>(to);
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(from), end);
    if (how == EditDeletion::ClearSelection) {
        SendMessageW(edit, WM_CLEAR, 0, 0);
    } else {
        SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
    }
}

bool Win32Controls::isChecked(int id) const {
    const HWND box = control(id);
    return box != nullptr && SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Controls::setChecked(int id, bool checked) {
    if (const HWND box = control(id)) {
        SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

int Win32Controls::listSelection(int id) const {
    const HWND list = control(id);
    if (list == nullptr) {
        return kNoSelection;
    }
    const LRESULT selection = SendMessageW(list, CB_GETCURSEL, 0, 0);
    return selection == CB_ERR ? kNoSelection : static_cast<int>(selection);
}

void Win32Controls::setListSelection(int id, int index) {
    if (const HWND list = control(id)) {
        // CB_SETCURSEL reports no CBN_SELCHANGE: a choice of the program, not of the user.
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index < 0 ? -1 : index), 0);
    }
}

void Win32Controls::setControlEnabled(int id, bool enabled) {
    if (const HWND window = control(id)) {
        EnableWindow(window, enabled ? TRUE : FALSE);
    }
}

bool Win32Controls::isControlEnabled(int id) const {
    const HWND window = control(id);
    return window != nullptr && IsWindowEnabled(window) != FALSE;
}

void Win32Controls::setMenuItemEnabled(int id, bool enabled) {
    if (menu_ != nullptr) {
        EnableMenuItem(menu_, static_cast<UINT>(id),
                       MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    }
}

bool Win32Controls::isMenuItemEnabled(int id) const {
    if (menu_ == nullptr) {
        return false;
    }
    const UINT state = GetMenuState(menu_, static_cast<UINT>(id), MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
}

void Win32Controls::setControlVisible(int id, bool visible) {
    if (const HWND window = control(id)) {
        ShowWindow(window, visible ? SW_SHOW : SW_HIDE);
    }
}

bool Win32Controls::isControlVisible(int id) const {
    // The control's own flag: the dialog itself is still hidden while it is being created.
    const HWND window = control(id);
    return window != nullptr && (GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32Controls::appendLog(std::string_view text) {
    appendLogText(wideFromUtf8(text));
}

void Win32Controls::appendLogText(const std::wstring& text) {
    if (logPane_ == nullptr || text.empty()) {
        return;
    }
    // A full pane drops its oldest lines, whole, to make room: EM_REPLACESEL would otherwise
    // cut the newest text at the edit's limit.
    const auto limit = static_cast<std::size_t>(SendMessageW(logPane_, EM_GETLIMITTEXT, 0, 0));
    const std::wstring_view tail =
        text.size() > limit ? std::wstring_view(text).substr(text.size() - limit) : text;
    const auto length = static_cast<std::size_t>(GetWindowTextLengthW(logPane_));
    if (length + tail.size() > limit) {
        const std::size_t excess = length + tail.size() - limit;
        const LRESULT line = SendMessageW(logPane_, EM_LINEFROMCHAR, excess, 0);
        LRESULT cut = SendMessageW(logPane_, EM_LINEINDEX, static_cast<WPARAM>(line + 1), 0);
        if (cut < 0 || static_cast<std::size_t>(cut) < excess) {
            cut = static_cast<LRESULT>(length);
        }
        SendMessageW(logPane_, EM_SETSEL, 0, cut);
        SendMessageW(logPane_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
    }
    const std::wstring piece(tail);
    SendMessageW(logPane_, EM_SETSEL, 0, -1);
    SendMessageW(logPane_, EM_SETSEL, static_cast<WPARAM>(-1), 0);
    SendMessageW(logPane_, EM_REPLACESEL, FALSE, textParam(piece));
}

void Win32Controls::setListEntries(int id, const std::vector<std::u16string>& entries) {
    const HWND list = control(id);
    if (list == nullptr) {
        return;
    }
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const std::u16string& entry : entries) {
        const std::wstring text = wideFromUtf16(entry);
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void Win32Controls::setTextLimit(int id, std::size_t chars) {
    if (const HWND edit = control(id)) {
        SendMessageW(edit, EM_LIMITTEXT, static_cast<WPARAM>(chars), 0);
    }
}
