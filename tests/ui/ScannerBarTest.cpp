// The scanner bar: single frames of a 300-pixel bar compared pixel by pixel with worked examples,
// the sweep's turning points, and the animation on the real main dialog.
#include "app/DialogIds.h"
#include "tests/ui/DarkTestSupport.h"
#include "ui/ScannerBar.h"

#include <cmath>

using namespace dark_test;

namespace {

constexpr COLORREF kGap = RGB(32, 32, 32);

Picture frameAt(double position) {
    scannerPosition = position;
    scannerStep = 0.5;
    return drawn(300, 5, [](HDC target) { drawScannerFrame(target, 300, 5); });
}

// Red of segment `segment`, read in its middle; the other channels are always 32.
int red(const Picture& frame, int segment) {
    COLORREF color = frame.at(static_cast<int>(segment * 12.5 + 7), 2);
    EXPECT_EQ(color & 0xFFFF00, kGap & 0xFFFF00) << "segment " << segment;
    return GetRValue(color);
}

// Mistakes caught: the gap on the wrong side or rounded edges (segments 0, 1 and 23 span x 2-11,
// 14-24 and 289-299), the border rows missing, a wrong fade or rounding of the brightness, the
// cut-off past distance 11 forgotten (segment 12 would show 10), floor instead of truncation
// (at 12.5 segment 12 would be one away), the end glow missing or on the wrong end.
TEST(ScannerFrame, SegmentsAndBrightnessMatchTheWorkedExamples) {
    Picture frame = frameAt(0);
    for (int x = 0; x < 300; ++x) {
        ASSERT_EQ(frame.at(x, 0), kGap) << x;
        ASSERT_EQ(frame.at(x, 4), kGap) << x;
        bool lit = (x >= 2 && x <= 11) || (x >= 14 && x <= 24) || (x >= 289 && x <= 299);
        bool gap = x < 2 || x == 12 || x == 13 || x == 25 || x == 26 || x == 288;
        if (lit || gap) {
            ASSERT_EQ(frame.at(x, 2) == kGap, gap) << x;
        }
    }
    const int fade[] = {255, 244, 223, 201, 180, 159, 138, 116, 95, 74, 53, 31, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int segment = 0; segment < 24; ++segment) {
        EXPECT_EQ(red(frame, segment), fade[segment]) << segment;
    }
    frame = frameAt(12.5);
    EXPECT_EQ(red(frame, 12), 255);
    EXPECT_EQ(red(frame, 13), 255);
    EXPECT_EQ(red(frame, 11), 244);
    EXPECT_EQ(red(frame, 23), 53);
    frame = frameAt(-3);
    EXPECT_EQ(red(frame, 0), 255) << "end glow instead of 201";
    EXPECT_EQ(red(frame, 3), 138);
    frame = frameAt(27);
    EXPECT_EQ(red(frame, 23), 255) << "end glow instead of 180";
    EXPECT_EQ(red(frame, 22), 159);
    EXPECT_EQ(red(frameAt(-14), 0), 0) << "no glow for a dark segment";
}

// Mistakes caught: turning at the wrong bound, > instead of >= at 30, a step other than 0.5,
// the light not started to the right on the first frame.
TEST(ScannerFrame, TheLightSweepsFromMinus6Point5To30In73FramesEachWay) {
    scannerPosition = 0;
    scannerStep = 0;  // as before the first paint
    std::vector<double> painted;
    drawn(300, 5, [&painted](HDC target) {
        for (int frame = 0; frame < 400; ++frame) {
            painted.push_back(scannerPosition);
            drawScannerFrame(target, 300, 5);
        }
    });
    EXPECT_EQ(painted[1], 0.5);
    std::vector<size_t> turns;
    for (size_t i = 1; i + 1 < painted.size(); ++i) {
        ASSERT_EQ(std::abs(painted[i] - painted[i - 1]), 0.5);
        if ((painted[i] - painted[i - 1]) * (painted[i + 1] - painted[i]) < 0) {
            EXPECT_EQ(painted[i], painted[i] > 0 ? 30 : -6.5);
            EXPECT_TRUE(turns.empty() || i - turns.back() == 73) << "frames since the last turn: " << i - turns.back();
            turns.push_back(i);
        }
    }
    EXPECT_GE(turns.size(), 4u);
}

HWND watchedBar = nullptr;
int barErases = 0;

LRESULT CALLBACK countBarErases(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    barErases += code == HC_ACTION && call->hwnd == watchedBar && call->message == WM_ERASEBKGND ? 1 : 0;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

using ScannerOnDialog = MainDialogTest;

// Mistakes caught: the timer not stopped (the light would move during a run), the position
// reset on restart, the bar erased before each frame (flicker), every bar of the class animated.
TEST_F(ScannerOnDialog, FreezesWhenStoppedResumesWhereItStoppedAndLeavesOtherBarsWhite) {
    HWND owner = CreateWindowExW(0, L"#32770", L"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 40, nullptr, nullptr, nullptr, nullptr);
    HWND loneBar = CreateWindowExW(0, kScannerClassName, L"", WS_CHILD | WS_VISIBLE, 10, 10, 150, 8, owner, nullptr, nullptr, nullptr);
    HWND dialog = showMainDialog();
    ASSERT_NE(dialog, nullptr);
    HWND bar = GetDlgItem(dialog, ids::kScannerBar);
    EXPECT_EQ(scannerWindow, bar);

    startScanner();
    scannerPosition = 20;
    watchedBar = bar;
    barErases = 0;
    HHOOK spy = SetWindowsHookExW(WH_CALLWNDPROC, countBarErases, nullptr, GetCurrentThreadId());
    pumpMessages(300);
    UnhookWindowsHookEx(spy);
    EXPECT_NE(scannerPosition, 20) << "the light moves while idle";
    EXPECT_EQ(barErases, 0);

    stopScanner();
    pumpMessages(30);  // a tick already queued may still paint
    double stoppedAt = scannerPosition;
    Picture frozen = capture(bar);
    pumpMessages(300);
    EXPECT_EQ(scannerPosition, stoppedAt) << "the light stands still while a test runs";
    EXPECT_EQ(capture(bar).pixels, frozen.pixels);

    startScanner();
    for (DWORD start = GetTickCount(); scannerPosition == stoppedAt && GetTickCount() - start < 5000;) {
        pumpMessages(5);
    }
    EXPECT_EQ(std::abs(scannerPosition - stoppedAt), 0.5) << "one step on from where it stopped";
    EXPECT_EQ(capture(bar).at(0, 0), kGap);
    for (COLORREF pixel : capture(loneBar).pixels) {
        ASSERT_EQ(pixel, RGB(255, 255, 255));
    }
    DestroyWindow(dialog);
    DestroyWindow(owner);
}

}  // namespace
