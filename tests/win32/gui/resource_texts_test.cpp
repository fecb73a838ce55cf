// The texts of Tarnwick.exe's dialogs and menu, made from its resources in each language:
// the Russian ones against the list they had before there was an English window, the English
// ones against their own list, and the English dialogs against the Russian layout, control by
// control. Arguments: TARNWICK_EXE RUSSIAN_LIST ENGLISH_LIST.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "app/win32/wide_text.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
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

HMODULE exe() {
    static const HMODULE module = LoadLibraryExW(
        exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    return module;
}

const void* resourceOf(int type, int id, WORD language) {
    const HRSRC found =
        FindResourceExW(exe(), MAKEINTRESOURCEW(type), MAKEINTRESOURCEW(id), language);
    const HGLOBAL loaded = found ? LoadResource(exe(), found) : nullptr;
    return loaded ? LockResource(loaded) : nullptr;
}

INT_PTR CALLBACK quietDialog(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// A dialog of one language made from its template, unseen, as the program makes it.
struct LiveDialog {
    HWND window = nullptr;
    LiveDialog(int id, WORD language) {
        if (const void* layout = resourceOf(5 /* RT_DIALOG */, id, language)) {
            window = CreateDialogIndirectParamW(exe(), static_cast<LPCDLGTEMPLATEW>(layout),
                                                nullptr, &quietDialog, 0);
        }
    }
    ~LiveDialog() { DestroyWindow(window); }
    LiveDialog(const LiveDialog&) = delete;
    LiveDialog& operator=(const LiveDialog&) = delete;
};

std::string textOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return utf8FromWide(text);
}

struct Control {
    HWND window;
    int id;
    std::wstring kind;
    LONG style;
    RECT place; // in the dialog's client area
    std::string text;
};

std::vector<Control> controlsOf(HWND dialog) {
    std::vector<Control> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t kind[32] = {};
        GetClassNameW(child, kind, 32);
        RECT place{};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        controls.push_back({child, GetDlgCtrlID(child), kind, GetWindowLongW(child, GWL_STYLE),
                            place, textOf(child)});
    }
    return controls;
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
        const LiveDialog dialog(id, language);
        EXPECT_NE(dialog.window, nullptr) << "dialog " << id;
        lines.push_back("dialog " + std::to_string(id) + " caption " + textOf(dialog.window));
        for (const Control& control : controlsOf(dialog.window)) {
            // The About header is the program's version, not a text of either language.
            if (!control.text.empty() && control.id != kAboutHeader) {
                lines.push_back("dialog " + std::to_string(id) + " " + std::to_string(control.id) +
                                " " + shown(control.text));
            }
        }
    }
    const void* data = resourceOf(4 /* RT_MENU */, kMenu, language);
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
        const LiveDialog russian(id, kRussian);
        const LiveDialog english(id, kEnglish);
        const std::vector<Control> ours = controlsOf(russian.window);
        const std::vector<Control> theirs = controlsOf(english.window);
        ASSERT_EQ(ours.size(), theirs.size()) << "dialog " << id;
        for (std::size_t i = 0; i < ours.size(); ++i) {
            const Control& a = ours[i];
            const Control& b = theirs[i];
            EXPECT_TRUE(a.id == b.id && a.kind == b.kind && a.style == b.style &&
                        EqualRect(&a.place, &b.place) && a.text.empty() == b.text.empty())
                << "dialog " << id << " control " << a.id << " / " << b.id;
        }
    }
}

// How much wider (and taller) a control's text is than the room the control gives it, in
// pixels of the control's own font at this screen's DPI; 0 when it fits.
SIZE overflowOf(const Control& control) {
    const bool isButton = _wcsicmp(control.kind.c_str(), L"Button") == 0;
    const bool isStatic = _wcsicmp(control.kind.c_str(), L"Static") == 0;
    if ((!isButton && !isStatic) || control.text.empty()) {
        return {};
    }
    // What a button's frame, a check box's box and a group box's line take of the room.
    const LONG type = control.style & BS_TYPEMASK;
    int taken = 0;
    if (isButton) {
        taken = type == BS_AUTOCHECKBOX || type == BS_CHECKBOX
                    ? GetSystemMetrics(SM_CXMENUCHECK) + 4
                : type == BS_GROUPBOX ? 16
                                      : 6;
    }
    RECT room{};
    GetClientRect(control.window, &room);
    room.right -= taken;
    const HDC context = GetDC(control.window);
    const HGDIOBJ old = SelectObject(
        context, reinterpret_cast<HFONT>(SendMessageW(control.window, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, room.right, 0};
    DrawTextW(context, wideFromUtf8(control.text).c_str(), -1, &needed,
              DT_CALCRECT | (isStatic ? DT_WORDBREAK | DT_EXPANDTABS : DT_SINGLELINE));
    SelectObject(context, old);
    ReleaseDC(control.window, context);
    return {std::max<LONG>(0, needed.right - room.right),
            std::max<LONG>(0, needed.bottom - room.bottom)};
}

// No text of either language is cut: each fits the control the shared layout gives it.
TEST(ResourceTexts, EveryTextFitsItsControl) {
    for (const WORD language : {kRussian, kEnglish}) {
        for (int id : kDialogs) {
            const LiveDialog dialog(id, language);
            ASSERT_NE(dialog.window, nullptr) << id;
            for (const Control& control : controlsOf(dialog.window)) {
                const SIZE over = overflowOf(control);
                EXPECT_TRUE(over.cx == 0 && over.cy == 0)
                    << "language " << std::hex << language << std::dec << " dialog " << id
                    << " control " << control.id << " is " << over.cx << "x" << over.cy
                    << " pixels short";
            }
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
