#include "app/win32/window_language.h"

#include "resources/resource.h"

namespace {

struct LanguageResources {
    UiLanguage language;
    LANGID resourceLanguage; // as Tarnwick.rc's LANGUAGE statements tag them
    const WindowTexts* texts;
};

constexpr LanguageResources kLanguages[] = {
    {UiLanguage::Russian, MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), &kRussianTexts},
    {UiLanguage::English, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), &kEnglishTexts},
};

const LanguageResources* chosen = &kLanguages[0];

// The resource of the window's language; a build without it would show no window at all,
// so any language of the resource is better than none.
const void* resourceData(HINSTANCE instance, LPCWSTR type, int id) {
    HRSRC found = FindResourceExW(instance, type, MAKEINTRESOURCEW(id), chosen->resourceLanguage);
    if (found == nullptr) {
        found = FindResourceW(instance, MAKEINTRESOURCEW(id), type);
    }
    const HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
    return loaded != nullptr ? LockResource(loaded) : nullptr;
}

} // namespace

void useWindowLanguage(UiLanguage language) {
    for (const LanguageResources& entry : kLanguages) {
        if (entry.language == language) {
            chosen = &entry;
        }
    }
}

UiLanguage userWindowLanguage() {
    return languageForUser(GetUserDefaultUILanguage());
}

const WindowTexts& windowTexts() {
    return *chosen->texts;
}

INT_PTR showDialog(HINSTANCE instance, int dialogId, HWND owner, DLGPROC procedure, LPARAM param) {
    const void* layout = resourceData(instance, MAKEINTRESOURCEW(5) /* RT_DIALOG */, dialogId);
    return layout == nullptr
               ? -1
               : DialogBoxIndirectParamW(instance, static_cast<LPCDLGTEMPLATEW>(layout), owner,
                                         procedure, param);
}

HMENU loadWindowMenu(HINSTANCE instance) {
    const void* menu = resourceData(instance, MAKEINTRESOURCEW(4) /* RT_MENU */, IDR_MAIN_MENU);
    return menu != nullptr ? LoadMenuIndirectW(menu) : nullptr;
}

std::wstring withValue(const wchar_t* text, const std::wstring& value) {
    std::wstring filled = text;
    if (const std::size_t at = filled.find(L"{}"); at != std::wstring::npos) {
        filled.replace(at, 2, value);
    }
    return filled;
}
