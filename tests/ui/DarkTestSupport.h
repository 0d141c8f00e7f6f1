#pragma once
// Support for the dark-mode tests: a Windows that Wine is not (the UxTheme functions that tell
// about dark mode, a chosen version and high-contrast setting) played through `darkModeSystem`,
// recording every call; and helpers that run windows on a thread of their own and read the
// pixels they show.

#include <windows.h>

#include "ui/DarkMode.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace dark_test {

struct FakeWindows {
    bool hasVersionFunction = true;
    DWORD major = 10;
    DWORD minor = 0;
    DWORD build = 19045 | 0xF0000000;  // as a release build of Windows reports it
    bool uxThemeLoads = true;
    std::set<WORD> missingOrdinals;
    bool hasCompositionAttribute = true;
    bool appsUseDarkMode = true;
    bool highContrast = false;

    // What the program did.
    std::vector<std::string> calls;             // "135(1)", "104()", ...
    std::vector<WORD> ordinalsLookedUp;
    std::set<HWND> darkAllowed;                 // by ordinal 133
    std::vector<std::pair<HWND, BOOL>> compositionDark;  // attribute 26 calls: window, value
    std::vector<std::string> compositionErrors;          // calls with another attribute or size
    struct ThemeCall {
        HWND window;
        std::wstring className;
        bool hasSubApp;
        std::wstring subApp;
        bool hasIdList;
        std::wstring idList;
    };
    std::vector<ThemeCall> themeCalls;
    std::vector<std::pair<HWND, DWORD>> dialogTextures;
    int uxThemeLoadCount = 0;
    int uxThemeFreeCount = 0;
};

// The Windows the fake table plays; reset it with `fake = FakeWindows()`.
extern FakeWindows fake;
// A table whose functions answer from `fake` and record into it. SetWindowTheme is recorded
// and then passed to Wine's own, so the controls are themed for real.
DarkModeSystem fakeSystem();

// The colours the fake theme reports for list views and their headers.
inline constexpr COLORREF kFakeItemsViewText = RGB(1, 2, 3);
inline constexpr COLORREF kFakeItemsViewFill = RGB(4, 5, 6);
inline constexpr COLORREF kFakeHeaderText = RGB(7, 8, 9);

// Puts the fake table in place and decides dark mode from it.
void initWithFake();
// The real table back, and dark mode off.
void restoreRealSystem();

// Runs `body` on a new thread and waits for it: a window-creation hook and the windows of that
// thread go with it.
void onFreshThread(const std::function<void()>& body);

// Dispatches the thread's messages for `milliseconds`.
void pumpMessages(DWORD milliseconds);

// A copy of what a window shows. `withFrame`: the whole window, otherwise its client area.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;  // row by row, RGB() values
    COLORREF at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    COLORREF at(POINT point) const { return at(point.x, point.y); }
    // The brightest pixel (by the sum of its channels) in [left, right) x [top, bottom).
    COLORREF brightest(const RECT& area) const;
    // Writes a 24-bit BMP file; for looking at a test's window.
    bool save(const std::wstring& path) const;
};
Picture capture(HWND window, bool withFrame);

// Saves `picture` under the folder named by the environment variable BC_SHOT_FOLDER, if set.
void keepShot(const Picture& picture, const wchar_t* name);

std::string colorText(COLORREF color);

}  // namespace dark_test
