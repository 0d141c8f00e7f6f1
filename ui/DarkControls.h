#pragma once
// Inside the dark-mode module: the dark treatments of the standard controls and the calls into
// UxTheme they need. The rest of the program uses ui/DarkMode.h.

#include <windows.h>

// Through the functions initDarkMode found; each does nothing when they are missing.
void allowDarkForWindow(HWND window);
void setWindowTheme(HWND window, LPCWSTR subAppName, LPCWSTR subIdList);
// A colour of a theme class (state 0); false when the theme or the colour is missing.
bool themeColor(HWND window, LPCWSTR themeClass, int part, int property, COLORREF* color);

// The brushes and pens of the dark palette, made once and kept for the whole run.
void createDarkPalette();

// Each replaces the window's procedure with its dark one; the previous procedure is kept once
// per kind of control.
void subclassDialog(HWND window);
void subclassStatic(HWND window);
void subclassEdit(HWND window);
void subclassCombo(HWND window);
void subclassGroupBox(HWND window);
void subclassRebar(HWND window);
// Colours and the subclass of a control that is still being created.
void setUpStatusBar(HWND window);
void setUpTreeView(HWND window);
void setUpListView(HWND window);
