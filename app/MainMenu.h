#pragma once
// The main dialog's menu bar: built from the current language and shown by the command bar.

#include <windows.h>

// The menu bar the command bar shows now; null until the first one is built.
extern HMENU mainMenu;

// Greys (enabled false) or enables the items a benchmark run locks: Restart, Auto-Update, Exit
// and Uninstall. Accepts a null menu, so a run that starts before any menu exists is harmless.
void setRunLockedItemsEnabled(HMENU menu, bool enabled);
