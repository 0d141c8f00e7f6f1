#pragma once
// The main dialog's menu bar: built from the current language and shown by the command bar.

#include <windows.h>

inline constexpr wchar_t kProductName[] = L"Brindlecrest";

// The menu bar the command bar shows now; null until the first one is built.
extern HMENU mainMenu;

// Greys (enabled false) or enables the items a benchmark run locks: Restart, Auto-Update, Exit
// and Uninstall. Accepts a null menu, so a run that starts before any menu exists is harmless.
void setRunLockedItemsEnabled(HMENU menu, bool enabled);

// The two menus in the current language: the program menu (with the folder submenu, item id
// 43118) and the "System" menu. Item 43106 carries the check mark of `hideSerialNumber`.
HMENU buildMainMenu();

// Puts the items' icons into the command bar's image list: shell32's icons by resource number,
// the Task Manager's own small icon for its item.
void assignMenuIcons();

// Dialog initialisation: the command bar, with "E&xit" and "&To-Tray" at its right end.
void createMainCommandBar(HWND dialog);

// Every language switch (and the first texts): a new menu for the command bar, its icons, the
// run-locked items greyed while a run is in progress, and the right-hand buttons in the new
// language ("Donate" is added the first time).
void applyMenuTexts();

// WM_INITMENUPOPUP: the check mark of "Do not display serial number" follows the setting.
void updateMenuChecks();
