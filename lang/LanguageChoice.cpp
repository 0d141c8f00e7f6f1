#include "lang/LanguageChoice.h"

#include "lang/LanguageArchive.h"
#include "lang/Translation.h"
#include "settings/Settings.h"

#include <commctrl.h>

std::atomic<int> currentLanguage{kLanguageEnglish};
std::atomic<int> loadedTableActive{0};
std::atomic<const wchar_t*> loadedTable[kLanguageKeyCount] = {};

namespace {

// The menu shows section numbers when a translator keeps this file in the current directory.
constexpr wchar_t kTranslatorAidFile[] = L"AAAA_UC.h";

bool validKey(int key) { return key >= 0 && key < kLanguageKeyCount; }

const wchar_t* sectionText(int section, int key) {
    if (section < 0 || section >= kMaxLanguages || section >= archiveTables.languageCount) {
        return nullptr;
    }
    return archiveTables.languageTables[section][key];
}

int nameLength(int section) {
    const wchar_t* name = section >= 0 && section < archiveTables.languageCount ? archiveTables.languageNames[section] : nullptr;
    return name ? static_cast<int>(wcslen(name)) : 0;
}

// Positions of the shipped archive that the user's primary language picks directly.
constexpr int kSectionKorean = 2;
constexpr int kSectionFrench = 3;
constexpr int kSectionChineseTraditional = 4;
constexpr int kSectionBulgarian = 5;
constexpr int kSectionChineseSimplified = 13;

struct NameRule {
    const wchar_t* patterns[2];  // lower case; either may occur in the name line
    WORD primary;
};

// Other languages are found by their section's name, in this order.
constexpr NameRule kNameRules[] = {
    {{L"nederl", L"dutch"}, LANG_DUTCH},
    {{L"espa", L"spanish"}, LANG_SPANISH},
    {{L"itali", nullptr}, LANG_ITALIAN},
    {{L"russian", nullptr}, LANG_RUSSIAN},
    {{L"japan", nullptr}, LANG_JAPANESE},
    {{L"saudi", L"persi"}, LANG_PERSIAN},
    {{L"iran", L"arabic"}, LANG_ARABIC},
    {{L"slovenian", nullptr}, LANG_SLOVENIAN},
    {{L"portug", nullptr}, LANG_PORTUGUESE},
};

bool ruleMatches(const NameRule& rule, const WideString& lowerName, WORD primary, WORD sublanguage) {
    if (rule.primary != primary) {
        return false;
    }
    bool found = false;
    for (const wchar_t* pattern : rule.patterns) {
        if (pattern && lowerName.find(pattern) != WideString::npos) {
            found = true;
        }
    }
    if (!found) {
        return false;
    }
    if (rule.primary == LANG_PORTUGUESE) {
        // Only Brazilian Portuguese has a section; Portugal's users get English.
        return lowerName.find(L"brazil") != WideString::npos && sublanguage == SUBLANG_PORTUGUESE_BRAZILIAN;
    }
    return true;
}

}  // namespace

const wchar_t* languageText(int key) {
    if (!validKey(key)) {
        return nullptr;
    }
    if (loadedTableActive.load(std::memory_order_relaxed)) {
        // Acquire: the file's text was written before its entry was published.
        if (const wchar_t* text = loadedTable[key].load(std::memory_order_acquire)) {
            return text;
        }
        // One placeholder per thread: the worker and the dialog may miss at the same moment.
        // A plain array, because MinGW's thread-local objects with destructors can crash at
        // thread exit.
        thread_local wchar_t placeholder[16];
        _snwprintf(placeholder, 16, L"str:%d?", key);
        placeholder[15] = L'\0';
        return placeholder;
    }
    return archiveLanguageText(key);
}

const wchar_t* archiveLanguageText(int key) {
    if (!validKey(key)) {
        return nullptr;
    }
    int language = currentLanguage.load(std::memory_order_relaxed);
    if (const wchar_t* text = sectionText(language, key)) {
        return text;
    }
    return sectionText(kLanguageEnglish, key);
}

void setLoadedTable(const wchar_t* const* table) {
    for (int key = 0; key < kLanguageKeyCount; ++key) {
        loadedTable[key].store(table[key], std::memory_order_release);
    }
}

WideString languageString(int key) { return WideString(languageText(key)); }

int startLanguageFor(LANGID userLanguage) {
    WORD primary = userLanguage & 0x3FF;
    WORD sublanguage = userLanguage >> 10;
    switch (primary) {
    case LANG_GERMAN:
        return kLanguageGerman;
    case LANG_ENGLISH:
        return kLanguageEnglish;
    case LANG_KOREAN:
        return kSectionKorean;
    case LANG_FRENCH:
        return kSectionFrench;
    case LANG_BULGARIAN:
        return kSectionBulgarian;
    case LANG_CHINESE:
        // Mainland China and Singapore write simplified characters; Taiwan, Hong Kong and Macau
        // traditional ones.
        return sublanguage == SUBLANG_CHINESE_SIMPLIFIED || sublanguage == SUBLANG_CHINESE_SINGAPORE
                   ? kSectionChineseSimplified
                   : kSectionChineseTraditional;
    default:
        break;
    }
    for (int section = 0; section < archiveTables.languageCount && section < kMaxLanguages; ++section) {
        if (nameLength(section) <= 3) {
            continue;
        }
        WideString lowerName = WideString(archiveTables.languageNames[section]).toLower();
        for (const NameRule& rule : kNameRules) {
            if (ruleMatches(rule, lowerName, primary, sublanguage)) {
                return section;
            }
        }
    }
    return kLanguageEnglish;
}

void chooseStartLanguage() {
    int choice = startLanguageFor(GetUserDefaultLangID());
    // A language the user once picked wins. It is not range-checked: an index without a section
    // simply falls back to English everywhere.
    currentLanguage = readIntSetting(kSettingsSection, kSettingLanguage, choice);
}

WideString secondLanguageName() {
    int language = currentLanguage.load(std::memory_order_relaxed);
    if (language < 0 || language >= kMaxLanguages || language >= archiveTables.languageCount || !archiveTables.languageNames[language]) {
        return WideString(L"English");
    }
    WideString name(archiveTables.languageNames[language]);
    int tab = name.reverseFind(L'\t');
    if (tab != WideString::npos) {
        return name.mid(tab + 1).trim();
    }
    return name.isEmpty() ? WideString(L"English") : name;
}

HMENU buildLanguageMenu() {
    HMENU menu = CreatePopupMenu();
    if (!menu) {
        return nullptr;
    }
    bool numbered = GetFileAttributesW(kTranslatorAidFile) != INVALID_FILE_ATTRIBUTES;
    int language = currentLanguage.load(std::memory_order_relaxed);
    int items = 0;
    for (int section = 0; section < archiveTables.languageCount && section < kMaxLanguages; ++section) {
        if (nameLength(section) <= 5) {
            continue;  // unnamed sections (and stubs) are not offered
        }
        WideString text = numbered
                              ? WideString::format(L"%d.) %ls / %d %%", section, archiveTables.languageNames[section], archiveTables.completeness[section])
                              : WideString::format(L"%ls / %d %%", archiveTables.languageNames[section], archiveTables.completeness[section]);
        UINT flags = MF_STRING;
        if (section == language) {
            flags |= MF_CHECKED | MF_GRAYED;
        }
        AppendMenuW(menu, flags, static_cast<UINT_PTR>(kLanguageMenuFirst + section), text.c_str());
        ++items;
    }
    if (items > 10) {
        // An empty item that starts a second column.
        InsertMenuW(menu, static_cast<UINT>(items / 2 + 2), MF_BYPOSITION | MF_MENUBREAK | MF_MENUBARBREAK | MF_RIGHTJUSTIFY,
                    0, L"");
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kLanguageMenuTranslate, L"Translate");
    AppendMenuW(menu, MF_STRING, kLanguageMenuLoadFile, L"Load from File (Unicode)");
    return menu;
}

bool applyLanguageMenuChoice(HWND dialog, int command, ApplyTextsFn applyTexts) {
    if (command >= kLanguageMenuFirst && command < kLanguageMenuFirst + kMaxLanguages) {
        loadedTableActive = 0;
        currentLanguage = command - kLanguageMenuFirst;
        if (applyTexts) {
            applyTexts(dialog);
        }
        writeIntSetting(kSettingsSection, kSettingLanguage, command - kLanguageMenuFirst);
        return true;
    }
    if (command == kLanguageMenuTranslate) {
        exportTranslation();
        return true;
    }
    if (command == kLanguageMenuLoadFile) {
        if (loadTranslationFile() && applyTexts) {
            applyTexts(dialog);
        }
        return true;
    }
    return false;
}

void showLanguageMenu(HWND dialog, HWND toolbar, ApplyTextsFn applyTexts) {
    HMENU menu = buildLanguageMenu();
    if (!menu) {
        return;
    }
    POINT corner{0, 0};
    if (toolbar) {
        LRESULT index = SendMessageW(toolbar, TB_COMMANDTOINDEX, kLanguageButton, 0);
        RECT button{};
        if (index >= 0 && SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&button))) {
            corner = {button.left, button.bottom};
        }
        ClientToScreen(toolbar, &corner);
        SendMessageW(toolbar, TB_PRESSBUTTON, kLanguageButton, MAKELPARAM(TRUE, 0));
    } else {
        GetCursorPos(&corner);
    }
    int command = static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD, corner.x, corner.y, 0, dialog, nullptr));
    if (toolbar) {
        SendMessageW(toolbar, TB_PRESSBUTTON, kLanguageButton, MAKELPARAM(FALSE, 0));
    }
    DestroyMenu(menu);
    if (command != 0) {
        applyLanguageMenuChoice(dialog, command, applyTexts);
    }
}
