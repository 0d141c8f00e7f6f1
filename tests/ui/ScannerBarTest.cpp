// The scanner bar: single frames drawn into a bitmap and compared pixel by pixel with worked
// examples, the sweep's turning points, and the animation on the real main dialog.
#include "app/DialogIds.h"
#include "app/MainDialog.h"
#include "app/Startup.h"
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "tests/e2e/Driver.h"
#include "tests/ui/DarkTestSupport.h"
#include "ui/ScannerBar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace dark_test;

namespace {

constexpr COLORREF kGap = RGB(32, 32, 32);

// One frame of a bar of the given size, drawn into a 32-bit bitmap, with the light at `position`.
Picture frameAt(double position, int width = 300, int height = 5) {
    scannerPosition = position;
    scannerStep = 0.5;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    // Anything the frame leaves unpainted shows up as this.
    RECT whole{0, 0, width, height};
    FillRect(memory, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    drawScannerFrame(memory, width, height);
    GdiFlush();
    Picture picture;
    picture.width = width;
    picture.height = height;
    const auto* pixels = static_cast<const DWORD*>(bits);
    for (int i = 0; i < width * height; ++i) {
        picture.pixels.push_back(RGB((pixels[i] >> 16) & 0xFF, (pixels[i] >> 8) & 0xFF, pixels[i] & 0xFF));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return picture;
}

// Brightness of segment `segment` of a 300-pixel bar, read in its middle.
int segmentValue(const Picture& frame, int segment) {
    int middle = static_cast<int>(segment * 12.5 + 7);
    COLORREF color = frame.at(middle, 2);
    EXPECT_EQ(GetGValue(color), 32);
    EXPECT_EQ(GetBValue(color), 32);
    return GetRValue(color);
}

// Mistakes caught: the gap on the wrong side, rounding instead of truncating the edges, the
// one-pixel border missing, segment 24 drawn inside the bar.
TEST(ScannerFrame, SegmentsOfA300PixelBarSitWhereTheirEdgesTruncate) {
    Picture frame = frameAt(0);
    for (int x = 0; x < 300; ++x) {
        EXPECT_EQ(frame.at(x, 0), kGap) << "top border at " << x;
        EXPECT_EQ(frame.at(x, 4), kGap) << "bottom border at " << x;
    }
    // Segment 0 covers x 2..11, segment 1 x 14..24, segment 23 x 289..299.
    struct Span {
        int first, last;
    };
    const Span spans[] = {{2, 11}, {14, 24}, {289, 299}};
    for (const Span& span : spans) {
        SCOPED_TRACE(span.first);
        EXPECT_EQ(frame.at(span.first - 1, 2), kGap);
        EXPECT_NE(frame.at(span.first, 2), kGap);
        EXPECT_NE(frame.at(span.last, 2), kGap);
        EXPECT_NE(frame.at(span.first, 3), kGap);
        if (span.last + 1 < 300) {
            EXPECT_EQ(frame.at(span.last + 1, 2), kGap);
        }
    }
    EXPECT_EQ(frame.at(12, 2), kGap);
    EXPECT_EQ(frame.at(13, 2), kGap);
    EXPECT_EQ(frame.at(0, 2), kGap);
    EXPECT_EQ(frame.at(1, 2), kGap);
}

// Mistakes caught: a wrong fade per segment, rounding instead of truncating the brightness, the
// cut-off past distance 11 forgotten (segment 12 would glow at 10).
TEST(ScannerFrame, BrightnessFallsOffFromTheLightAsTheTableSays) {
    Picture frame = frameAt(0);
    const int expected[] = {255, 244, 223, 201, 180, 159, 138, 116, 95, 74, 53, 31};
    for (int segment = 0; segment < 12; ++segment) {
        EXPECT_EQ(segmentValue(frame, segment), expected[segment]) << "segment " << segment;
    }
    for (int segment = 12; segment < 24; ++segment) {
        EXPECT_EQ(segmentValue(frame, segment), 0) << "segment " << segment;
    }
    // Both sides of the light fade alike.
    frame = frameAt(12);
    EXPECT_EQ(segmentValue(frame, 12), 255);
    EXPECT_EQ(segmentValue(frame, 9), 201);
    EXPECT_EQ(segmentValue(frame, 15), 201);
    EXPECT_EQ(segmentValue(frame, 1), 31);
    EXPECT_EQ(segmentValue(frame, 23), 31);
    EXPECT_EQ(segmentValue(frame, 0), 0);
}

// Mistakes caught: flooring instead of truncating towards zero (segment 12 at 12.5 would be at
// distance 1), the end glow on the wrong end or for a dark segment.
TEST(ScannerFrame, HalfPositionsAndTheEndGlow) {
    Picture frame = frameAt(12.5);
    EXPECT_EQ(segmentValue(frame, 12), 255);
    EXPECT_EQ(segmentValue(frame, 13), 255);
    EXPECT_EQ(segmentValue(frame, 11), 244);
    EXPECT_EQ(segmentValue(frame, 14), 244);

    frame = frameAt(-3);
    EXPECT_EQ(segmentValue(frame, 0), 255) << "end glow instead of 201";
    EXPECT_EQ(segmentValue(frame, 1), 180);
    EXPECT_EQ(segmentValue(frame, 3), 138);

    frame = frameAt(27);
    EXPECT_EQ(segmentValue(frame, 23), 255) << "end glow instead of 180";
    EXPECT_EQ(segmentValue(frame, 22), 159);

    // Far past the left end even segment 0 is dark, and no glow lights it.
    frame = frameAt(-14);
    EXPECT_EQ(segmentValue(frame, 0), 0);
}

// Mistakes caught: turning at the wrong bound, > instead of >= at 30, a step other than 0.5.
TEST(ScannerFrame, TheLightSweepsFromMinus6Point5To30In73FramesEachWay) {
    Picture unused = frameAt(0);
    scannerPosition = 0;
    scannerStep = 0;  // as before the first paint
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(memory, 300, 5);
    HGDIOBJ old = SelectObject(memory, bitmap);
    std::vector<double> painted;
    for (int frame = 0; frame < 400; ++frame) {
        painted.push_back(scannerPosition);
        drawScannerFrame(memory, 300, 5);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);

    EXPECT_EQ(painted[0], 0);
    EXPECT_EQ(painted[1], 0.5) << "the first frame starts the light to the right";
    std::vector<size_t> turns;
    for (size_t i = 1; i + 1 < painted.size(); ++i) {
        EXPECT_EQ(std::abs(painted[i] - painted[i - 1]), 0.5);
        bool peak = painted[i] > painted[i - 1] && painted[i] > painted[i + 1];
        bool trough = painted[i] < painted[i - 1] && painted[i] < painted[i + 1];
        if (peak) {
            EXPECT_EQ(painted[i], 30);
            turns.push_back(i);
        }
        if (trough) {
            EXPECT_EQ(painted[i], -6.5);
            turns.push_back(i);
        }
    }
    ASSERT_GE(turns.size(), 4u);
    for (size_t i = 1; i < turns.size(); ++i) {
        EXPECT_EQ(turns[i] - turns[i - 1], 73u) << "frames between turns " << i;
    }
}

HWND watchedBar = nullptr;
int barErases = 0;

LRESULT CALLBACK countBarErases(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->hwnd == watchedBar && call->message == WM_ERASEBKGND) {
        ++barErases;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class ScannerOnDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(registerScannerClass(GetModuleHandleW(nullptr)));
        initCommonControls();
        ASSERT_TRUE(readLanguageArchive(e2e::besideThisExe(L"Brindlecrest.exe").c_str()));
    }
    void SetUp() override {
        folder_ = e2e::makeTempFolder(L"bc_scanner");
        ASSERT_FALSE(folder_.isEmpty());
        savedPath_ = settingsPath;
        settingsPath = folder_ + L"\\Brindlecrest.ini";
        currentLanguage = 1;
    }
    void TearDown() override {
        if (dialog_) {
            DestroyWindow(dialog_);
        }
        if (loneBar_) {
            DestroyWindow(GetParent(loneBar_));
        }
        settingsPath = savedPath_;
        e2e::removeTree(folder_);
    }
    HWND dialog_ = nullptr;
    HWND loneBar_ = nullptr;
    WideString folder_;
    WideString savedPath_;
};

// Mistakes caught: the timer not stopped (the light keeps moving during a run), the position
// reset on restart, the bar erased before each frame (flicker), the animation attached to every
// bar of the class instead of one.
TEST_F(ScannerOnDialog, FreezesWhenStoppedResumesWhereItStoppedAndLeavesOtherBarsWhite) {
    HWND owner = CreateWindowExW(0, L"#32770", L"Other", WS_POPUP | WS_VISIBLE, 0, 0, 200, 40, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    loneBar_ = CreateWindowExW(0, kScannerClassName, L"", WS_CHILD | WS_VISIBLE, 10, 10, 150, 8, owner, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(loneBar_, nullptr);

    dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_DIALOG), nullptr, mainDialogProc, 0);
    ASSERT_NE(dialog_, nullptr);
    HWND bar = GetDlgItem(dialog_, ids::kScannerBar);
    EXPECT_EQ(scannerWindow, bar);
    ShowWindow(dialog_, SW_SHOW);
    pumpMessages(100);
    scannerPosition = 20;
    scannerStep = 0.5;
    // Every frame covers the whole bar: erasing it first (to the class's white) would flicker.
    barErases = 0;
    watchedBar = bar;
    HHOOK spy = SetWindowsHookExW(WH_CALLWNDPROC, countBarErases, nullptr, GetCurrentThreadId());
    pumpMessages(300);
    UnhookWindowsHookEx(spy);
    EXPECT_NE(scannerPosition, 20) << "the light moves while idle";
    EXPECT_EQ(barErases, 0);

    stopScanner();
    pumpMessages(30);  // a tick already queued may still paint
    double stoppedAt = scannerPosition;
    Picture frozen = capture(bar, false);
    pumpMessages(300);
    EXPECT_EQ(scannerPosition, stoppedAt) << "the light stands still while a test runs";
    Picture later = capture(bar, false);
    EXPECT_EQ(frozen.pixels, later.pixels);

    startScanner();
    while (scannerPosition == stoppedAt) {
        pumpMessages(5);
    }
    EXPECT_EQ(std::abs(scannerPosition - stoppedAt), 0.5) << "one step on from where it stopped";

    // The animated bar paints its segments; the other one is still the class's white.
    pumpMessages(100);
    Picture animated = capture(bar, false);
    EXPECT_EQ(animated.at(0, 0), kGap);
    Picture lone = capture(loneBar_, false);
    for (COLORREF pixel : lone.pixels) {
        ASSERT_EQ(pixel, RGB(255, 255, 255));
    }
}

}  // namespace
