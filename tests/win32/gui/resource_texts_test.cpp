// The texts of Tarnwick.exe's dialogs and menu, read from its resources in each language:
// the Russian ones against the list they had before there was an English window, the English
// ones against their own list, and the English dialogs against the Russian layout, control by
// control. Arguments: TARNWICK_EXE RUSSIAN_LIST ENGLISH_LIST.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "app/win32/wide_text.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::wstring exePath;
std::string russianListPath;
std::string englishListPath;

constexpr WORD kRussian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);
constexpr WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr int kDialogs[] = {142, 143, 103, 144, 145};
constexpr int kMenu = 109;
constexpr int kAboutHeader = 10000;

struct Item {
    std::uint32_t style, exStyle;
    std::int16_t x, y, cx, cy;
    std::int32_t id;
    std::string kind, text;
    bool operator==(const Item&) const = default;
};

struct Dialog {
    std::string caption;
    std::vector<Item> items;
};

// Reads a DLGTEMPLATEEX: a header, names that are a string or 0xFFFF and a number, the
// items DWORD-aligned.
class TemplateReader {
  public:
    TemplateReader(const BYTE* data, std::size_t size) : data_(data), size_(size) {}
    template <typename T> T take() {
        T value{};
        if (at_ + sizeof(T) <= size_) {
            std::memcpy(&value, data_ + at_, sizeof(T));
        }
        at_ += sizeof(T);
        return value;
    }
    std::string name() {
        if (at_ + 2 <= size_ && data_[at_] == 0xFF && data_[at_ + 1] == 0xFF) {
            at_ += 2;
            return "#" + std::to_string(take<WORD>());
        }
        std::wstring text;
        for (wchar_t c; at_ < size_ && (c = take<wchar_t>()) != L'\0';) {
            text += c;
        }
        return utf8FromWide(text);
    }
    void alignToDword() { at_ = (at_ + 3) & ~std::size_t{3}; }
    void skip(std::size_t bytes) { at_ += bytes; }
    bool ended() const { return at_ > size_; }

  private:
    const BYTE* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

HMODULE exe() {
    static const HMODULE module = LoadLibraryExW(
        exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    return module;
}

bool resourceBytes(LPCWSTR type, int id, WORD language, const BYTE*& data, std::size_t& size) {
    const HRSRC found = FindResourceExW(exe(), type, MAKEINTRESOURCEW(id), language);
    const HGLOBAL loaded = found ? LoadResource(exe(), found) : nullptr;
    data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    size = found ? SizeofResource(exe(), found) : 0;
    return data != nullptr;
}

bool readDialog(int id, WORD language, Dialog& dialog) {
    const BYTE* data = nullptr;
    std::size_t size = 0;
    if (!resourceBytes(MAKEINTRESOURCEW(5) /* RT_DIALOG */, id, language, data, size)) {
        return false;
    }
    TemplateReader in(data, size);
    in.skip(2 + 2 + 4); // version, signature, help ID
    in.take<DWORD>();   // extended style
    const DWORD style = in.take<DWORD>();
    const WORD count = in.take<WORD>();
    in.skip(4 * 2);
    in.name(); // menu
    in.name(); // class
    dialog.caption = in.name();
    if (style & DS_SETFONT) {
        in.skip(2 + 2 + 1 + 1);
        in.name();
    }
    for (WORD i = 0; i < count && !in.ended(); ++i) {
        in.alignToDword();
        Item item{};
        in.take<DWORD>(); // help ID
        item.exStyle = in.take<DWORD>();
        item.style = in.take<DWORD>();
        item.x = in.take<std::int16_t>();
        item.y = in.take<std::int16_t>();
        item.cx = in.take<std::int16_t>();
        item.cy = in.take<std::int16_t>();
        item.id = in.take<std::int32_t>();
        item.kind = in.name();
        item.text = in.name();
        in.skip(in.take<WORD>());
        dialog.items.push_back(item);
    }
    return !in.ended();
}

// "\r\n" inside a label stays visible in a list line.
std::string shown(std::string text) {
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) {
        text.replace(at, 2, "\\r\\n");
    }
    return text;
}

void listMenu(HMENU menu, const std::string& path, std::vector<std::string>& lines) {
    for (int i = 0, count = GetMenuItemCount(menu); i < count; ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING | MIIM_FTYPE | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = 127;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        const std::string name = path + "/" + utf8FromWide(text);
        if (info.hSubMenu != nullptr) {
            lines.push_back("menu " + name);
            listMenu(info.hSubMenu, name, lines);
        } else if (info.fType & MFT_SEPARATOR) {
            lines.push_back("menu " + path + "/-");
        } else {
            lines.push_back("menu " + name + " " + std::to_string(info.wID) +
                            ((info.fState & MFS_GRAYED) ? " grayed" : ""));
        }
    }
}

// Every caption, control text and menu item of one language, one a line.
std::vector<std::string> textsOf(WORD language) {
    std::vector<std::string> lines;
    for (int id : kDialogs) {
        Dialog dialog;
        EXPECT_TRUE(readDialog(id, language, dialog)) << "dialog " << id;
        lines.push_back("dialog " + std::to_string(id) + " caption " + dialog.caption);
        for (const Item& item : dialog.items) {
            // The About header is the program's version, not a text of either language.
            if (!item.text.empty() && item.text[0] != '#' && item.id != kAboutHeader) {
                lines.push_back("dialog " + std::to_string(id) + " " + std::to_string(item.id) +
                                " " + shown(item.text));
            }
        }
    }
    const BYTE* data = nullptr;
    std::size_t size = 0;
    EXPECT_TRUE(resourceBytes(MAKEINTRESOURCEW(4) /* RT_MENU */, kMenu, language, data, size));
    const HMENU menu = data ? LoadMenuIndirectW(data) : nullptr;
    EXPECT_NE(menu, nullptr);
    if (menu != nullptr) {
        listMenu(menu, "", lines);
        DestroyMenu(menu);
    }
    return lines;
}

std::vector<std::string> listIn(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Line by line, so that a failure names the first text that differs.
void expectSameLines(const std::vector<std::string>& actual, const std::string& listPath,
                     const char* name) {
    const std::vector<std::string> expected = listIn(listPath);
    for (std::size_t i = 0; i < std::min(actual.size(), expected.size()); ++i) {
        ASSERT_EQ(actual[i], expected[i]) << name << " line " << i + 1;
    }
    EXPECT_EQ(actual.size(), expected.size()) << name;
}

TEST(ResourceTexts, TheRussianWindowKeepsItsTexts) {
    expectSameLines(textsOf(kRussian), russianListPath, "russian-texts.txt");
}

TEST(ResourceTexts, TheEnglishWindowHasItsOwnTexts) {
    const std::vector<std::string> lines = textsOf(kEnglish);
    expectSameLines(lines, englishListPath, "english-texts.txt");
    for (const std::string& line : lines) {
        for (unsigned char c : line) {
            ASSERT_LT(c, 0x80) << "not English: " << line;
        }
    }
}

TEST(ResourceTexts, BothLanguagesShareEveryControlAndItsPlace) {
    for (int id : kDialogs) {
        Dialog russian;
        Dialog english;
        ASSERT_TRUE(readDialog(id, kRussian, russian)) << id;
        ASSERT_TRUE(readDialog(id, kEnglish, english)) << id;
        ASSERT_EQ(russian.items.size(), english.items.size()) << "dialog " << id;
        for (std::size_t i = 0; i < russian.items.size(); ++i) {
            Item shape = english.items[i];
            shape.text = russian.items[i].text;
            EXPECT_EQ(shape, russian.items[i])
                << "dialog " << id << " control " << english.items[i].id;
            EXPECT_EQ(english.items[i].text.empty(), russian.items[i].text.empty());
        }
    }
}

INT_PTR CALLBACK quietDialog(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// How much wider (and taller) a control's text is than the room the control gives it, in
// pixels of the control's own font at this screen's DPI; 0 when it fits.
SIZE overflowOf(HWND control) {
    wchar_t kind[32] = {};
    GetClassNameW(control, kind, 32);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const LONG type = style & BS_TYPEMASK;
    const bool isButton = _wcsicmp(kind, L"Button") == 0;
    const bool isStatic = _wcsicmp(kind, L"Static") == 0;
    wchar_t text[256] = {};
    GetWindowTextW(control, text, 256);
    RECT room{};
    GetClientRect(control, &room);
    if ((!isButton && !isStatic) || text[0] == L'\0') {
        return {};
    }
    // What a button's frame, a check box's box and a group box's line take of the room.
    const int box = GetSystemMetrics(SM_CXMENUCHECK) + 4;
    int taken = 0;
    if (isButton) {
        taken = type == BS_AUTOCHECKBOX || type == BS_CHECKBOX ? box : type == BS_GROUPBOX ? 16 : 6;
    }
    const HDC context = GetDC(control);
    const HGDIOBJ old =
        SelectObject(context, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, room.right - taken, 0};
    DrawTextW(context, text, -1, &needed,
              DT_CALCRECT | (isStatic ? DT_WORDBREAK | DT_EXPANDTABS : DT_SINGLELINE));
    SelectObject(context, old);
    ReleaseDC(control, context);
    return {std::max<LONG>(0, needed.right - (room.right - taken)),
            std::max<LONG>(0, needed.bottom - room.bottom)};
}

// No text of either language is cut: each fits the control the shared layout gives it.
TEST(ResourceTexts, EveryTextFitsItsControl) {
    for (const WORD language : {kRussian, kEnglish}) {
        for (int id : kDialogs) {
            const BYTE* data = nullptr;
            std::size_t size = 0;
            ASSERT_TRUE(resourceBytes(MAKEINTRESOURCEW(5), id, language, data, size));
            const HWND dialog = CreateDialogIndirectParamW(
                exe(), reinterpret_cast<LPCDLGTEMPLATEW>(data), nullptr, &quietDialog, 0);
            ASSERT_NE(dialog, nullptr) << id << " error " << GetLastError();
            for (HWND child = GetWindow(dialog, GW_CHILD); child;
                 child = GetWindow(child, GW_HWNDNEXT)) {
                const SIZE over = overflowOf(child);
                EXPECT_TRUE(over.cx == 0 && over.cy == 0)
                    << "language " << std::hex << language << std::dec << " dialog " << id
                    << " control " << GetDlgCtrlID(child) << " is " << over.cx << "x" << over.cy
                    << " pixels short";
            }
            DestroyWindow(dialog);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    exePath = wideFromUtf8(argc > 1 ? argv[1] : "");
    russianListPath = argc > 2 ? argv[2] : "";
    englishListPath = argc > 3 ? argv[3] : "";
    if (exe() == nullptr) {
        std::fprintf(stderr, "cannot load %s\n", argc > 1 ? argv[1] : "(no path)");
        return 2;
    }
    return RUN_ALL_TESTS();
}
