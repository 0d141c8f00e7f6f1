#pragma once
// Support for the look tests: a Windows that Wine is not (the UxTheme functions that tell about
// dark mode, a chosen version and high-contrast setting) played through `darkModeSystem` and
// recording what the program asks of it; windows on a thread of their own; their pixels.

#include <windows.h>

#include "base/WideString.h"
#include "ui/DarkMode.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace dark_test {

struct FakeWindows {
    bool hasVersionFunction = true;
    DWORD major = 10;
    DWORD build = 19045 | 0xF0000000;  // as a release build of Windows reports it
    bool uxThemeMissing = false;
    std::set<WORD> missingOrdinals;
    bool hasCompositionAttribute = true;
    bool appsUseDarkMode = true;
    bool highContrast = false;

    // What the program did.
    std::vector<std::string> calls;                      // "135(1)", "104()"
    std::vector<WORD> ordinalsLookedUp;
    std::set<HWND> darkAllowed;                          // by ordinal 133
    std::vector<std::pair<HWND, DWORD>> compositionDark; // attribute 26: window, value (2 = wrong attribute or size)
    // SetWindowTheme calls, as "subApp|idList" with "(null)" for a missing string; then passed
    // on to Wine's own.
    std::vector<std::pair<HWND, std::wstring>> themeCalls;
    std::vector<std::pair<HWND, DWORD>> dialogTextures;
    int uxThemeLoadCount = 0;
    int uxThemeFreeCount = 0;
};

extern FakeWindows fake;

// Puts the fake table in place and decides dark mode from `fake`.
void initWithFake();
// The real table back, and dark mode off.
void restoreRealSystem();

// Runs `body` on a new thread and waits for it: a creation hook and the windows of that thread
// end with it.
void onFreshThread(const std::function<void()>& body);
void pumpMessages(DWORD milliseconds);

// What a window shows, read back from its DC.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
    COLORREF at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    COLORREF at(POINT point) const { return at(point.x, point.y); }
    // The brightest pixel (by the sum of its channels) in the area.
    COLORREF brightest(const RECT& area) const;
};
Picture capture(HWND window);  // its client area
// Draws with `paint` into a 32-bit bitmap of the given size, first filled white.
Picture drawn(int width, int height, const std::function<void(HDC)>& paint);

std::string colorText(COLORREF color);

// For tests that create the real main dialog: the program's window classes and language texts,
// and settings in a folder of the test's own.
class MainDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;
    HWND showMainDialog();  // visible, painted, its scanner bar stopped so pictures hold still

    WideString folder_;
    WideString savedPath_;
};

}  // namespace dark_test
