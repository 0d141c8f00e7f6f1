#pragma once
// Which text belongs to a key right now, which language is current, and the language menu.

#include <windows.h>

#include "base/WideString.h"
#include "lang/ArchiveGrammar.h"

#include <atomic>

inline constexpr int kLanguageGerman = 0;
inline constexpr int kLanguageEnglish = 1;

// Index of the current language section. Written only by the dialog's thread; the test worker
// reads it too, hence atomic.
extern std::atomic<int> currentLanguage;
// Set while a translation file loaded from disk supplies the texts; cleared by picking a language.
extern std::atomic<int> loadedTableActive;
// Entries of that file by key; null where the file has no text. Written by the dialog's thread
// while the test worker may be looking texts up.
extern std::atomic<const wchar_t*> loadedTable[kLanguageKeyCount];
// Publishes a parsed file's entries into loadedTable.
void setLoadedTable(const wchar_t* const* table);

// Text of `key` (0..255) in the current language, falling back to English; null when neither has
// one. A present but empty entry is returned as the empty text. In loaded-file mode a missing key
// yields "str:<key>?", kept per thread until that thread's next miss.
const wchar_t* languageText(int key);
// Same, as a wide string (null becomes empty).
WideString languageString(int key);
// The archive's text of `key` in the current language, falling back to English, whether or not a
// loaded file is active: for messages about the loaded file itself.
const wchar_t* archiveLanguageText(int key);

// The start language for a user language identifier, before the stored choice is applied.
int startLanguageFor(LANGID userLanguage);
// Start-up: the user's default UI language decides, unless "lng" holds an earlier choice.
void chooseStartLanguage();

// The second name of the current language (after the last TAB of its name line).
WideString secondLanguageName();

// Menu commands: 10 + section index for a language; then the translators' tools.
inline constexpr int kLanguageMenuFirst = 10;
inline constexpr int kLanguageMenuTranslate = 1000;
inline constexpr int kLanguageMenuLoadFile = 1001;
// The bottom toolbar's button that opens the menu.
inline constexpr int kLanguageButton = 1022;

// Re-applies every text of the main dialog after the language changed.
using ApplyTextsFn = void (*)(HWND dialog);

// The popup menu: one item per named section with its completeness, the current one checked and
// disabled, a second column when there are more than ten, then the translators' items.
HMENU buildLanguageMenu();
// Carries out a menu choice; false when the command is not one of the menu's.
bool applyLanguageMenuChoice(HWND dialog, int command, ApplyTextsFn applyTexts);
// Shows the menu under the toolbar's language button and applies the choice.
void showLanguageMenu(HWND dialog, HWND toolbar, ApplyTextsFn applyTexts);
