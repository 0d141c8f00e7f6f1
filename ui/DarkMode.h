#pragma once
// Dark mode: decided once at start-up, before any window exists, and read by every piece of
// the program's own drawing (menus, command bar, theming of the standard controls).
//
// The functions that tell whether Windows is in dark mode are undocumented parts of UxTheme,
// reached by ordinal. Every library and function is looked up through `darkModeSystem`, so a
// test can play a Windows that its own system is not (Wine has none of them).

#include <windows.h>

// The system offers the functions dark mode needs.
extern bool darkSupported;
// The user's app mode is dark and high contrast is off.
extern bool darkEnabled;

// Whether the dark palette is in force. Main thread only, like everything that draws.
inline bool isDarkActive() { return darkSupported && darkEnabled; }

// The operating-system functions through which dark mode finds everything else: libraries,
// their functions by name or ordinal, and the high-contrast setting. Holds the real ones
// unless a test has put its own in place (before `initDarkMode`).
struct DarkModeSystem {
    HMODULE(WINAPI* loadLibrary)(LPCWSTR name);
    BOOL(WINAPI* freeLibrary)(HMODULE module);
    // `name` is a function name, or an ordinal made with MAKEINTRESOURCEA.
    FARPROC(WINAPI* getProcAddress)(HMODULE module, LPCSTR name);
    BOOL(WINAPI* systemParametersInfo)(UINT action, UINT param, PVOID data, UINT winIni);
};
extern DarkModeSystem darkModeSystem;
// The table as start-up finds it: the real functions of kernel32 and user32.
DarkModeSystem realDarkModeSystem();

// Reads the Windows version and the UxTheme functions, decides `darkSupported` and
// `darkEnabled`, and when supported allows dark mode for the whole app. Runs once, before any
// window exists; running it again decides everything anew.
void initDarkMode();

// A window-creation hook for the calling thread that themes every window it creates. Does
// nothing unless dark mode is active, or when this thread has the hook already.
void installThemingHook(HINSTANCE instance);
bool themingHookInstalled();

// Styles one newly created window by its class name (the hook calls it for each one).
void themeWindow(HWND window);

// Dark or light title bar for a top-level window, as Windows' app mode and the window's own
// permission say. Only when dark mode is supported.
void applyDarkTitleBar(HWND window);

// The tab-page texture behind the dialog's controls (EnableThemeDialogTexture).
void enableDialogTexture(HWND dialog);

// The dark palette, shared with the program's own drawing.
namespace dark_colors {
inline constexpr COLORREF kBackground = RGB(32, 32, 32);
inline constexpr COLORREF kDialogText = RGB(222, 222, 222);
inline constexpr COLORREF kControlText = RGB(255, 255, 255);
inline constexpr COLORREF kComboArrow = RGB(122, 122, 122);
inline constexpr COLORREF kComboDisabledText = RGB(155, 155, 155);
inline constexpr COLORREF kComboArrowHotBackground = RGB(128, 128, 128);
inline constexpr COLORREF kComboBorder = RGB(192, 192, 192);
inline constexpr COLORREF kComboBorderHot = RGB(165, 164, 64);
inline constexpr COLORREF kComboBorderDisabled = RGB(164, 164, 164);
inline constexpr COLORREF kEditBorder = RGB(164, 164, 164);
inline constexpr COLORREF kFrame = RGB(64, 64, 64);
inline constexpr COLORREF kGroupFrame = RGB(100, 100, 100);
inline constexpr COLORREF kRebarTop = RGB(64, 64, 64);
inline constexpr COLORREF kRebarBottom = RGB(0, 0, 0);
inline constexpr COLORREF kToolbarText = RGB(222, 222, 222);
inline constexpr COLORREF kToolbarHotText = RGB(255, 255, 0);
inline constexpr COLORREF kToolbarMark = RGB(80, 80, 222);
inline constexpr COLORREF kToolbarHighlight = RGB(80, 80, 0);
}  // namespace dark_colors

// The solid brush of the dark background, created once and kept for the whole run.
HBRUSH darkBackgroundBrush();

// A separator line (the dialog's etched lines) in the dark palette: false, and nothing drawn,
// unless dark mode is active.
bool drawDarkSeparator(HDC target, const RECT& area);
