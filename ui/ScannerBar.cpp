#include "ui/ScannerBar.h"

#include <cmath>

HWND scannerWindow = nullptr;
double scannerPosition = 0;
double scannerStep = 0;

namespace {

constexpr COLORREF kScannerBackground = RGB(32, 32, 32);
// 24 segments cover the width; the 25th starts past the right edge.
constexpr int kVisibleSegments = 24;
constexpr int kSegments = 25;
constexpr double kSegmentGap = 2;
// Farther than this from the light a segment is dark.
constexpr int kLitDistance = 11;
constexpr int kUnlitDistance = 24;
constexpr double kFullBrightness = 265.625;
constexpr double kFadePerSegment = 10.625 * 2;
constexpr double kStepSize = 0.5;
// The light overshoots both ends before it turns.
constexpr double kTurnAtRight = 30;
constexpr double kTurnAtLeft = -6;

LRESULT CALLBACK plainScannerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        // Nothing is drawn: the animation paints once it is attached. BeginPaint still has the
        // white class background erased, so a bar that never moves stays white.
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

int segmentBrightness(int segment) {
    int distance = std::abs(static_cast<int>(std::trunc(segment - scannerPosition)));
    if (distance > kLitDistance) {
        distance = kUnlitDistance;
    }
    double value = std::trunc(kFullBrightness - distance * kFadePerSegment);
    int brightness = value < 0 ? 0 : value > 255 ? 255 : static_cast<int>(value);
    // Past either end the end segments glow at full strength.
    bool glow = (scannerPosition < 0 && segment == 0) ||
                (scannerPosition > kVisibleSegments && (segment == kVisibleSegments - 1 || segment == kVisibleSegments));
    if (glow && brightness != 0) {
        brightness = 255;
    }
    return brightness;
}

void advanceLight() {
    scannerPosition += scannerStep;
    if (scannerPosition >= kTurnAtRight) {
        scannerStep = -kStepSize;
    }
    if (scannerPosition < kTurnAtLeft) {
        scannerStep = kStepSize;
    }
}

LRESULT CALLBACK scannerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_TIMER:
        // No erase: the frame covers the whole bar, and erasing first would flicker.
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC windowDc = BeginPaint(window, &paint);
        RECT client{};
        GetClientRect(window, &client);
        HDC memoryDc = CreateCompatibleDC(windowDc);
        HBITMAP bitmap = CreateCompatibleBitmap(windowDc, client.right, client.bottom);
        if (memoryDc && bitmap) {
            HGDIOBJ oldBitmap = SelectObject(memoryDc, bitmap);
            drawScannerFrame(memoryDc, client.right, client.bottom);
            BitBlt(windowDc, 0, 0, client.right, client.bottom, memoryDc, 0, 0, SRCCOPY);
            SelectObject(memoryDc, oldBitmap);
        }
        if (bitmap) {
            DeleteObject(bitmap);
        }
        if (memoryDc) {
            DeleteDC(memoryDc);
        }
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        if (previous) {
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        }
        if (window == scannerWindow) {
            scannerWindow = nullptr;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

bool registerScannerClass(HINSTANCE instance) {
    WNDCLASSW windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = plainScannerProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kScannerClassName;
    return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void attachScanner(HWND bar) {
    if (!bar) {
        return;
    }
    scannerWindow = bar;
    LONG_PTR current = GetWindowLongPtrW(bar, GWLP_WNDPROC);
    if (current != reinterpret_cast<LONG_PTR>(scannerProc)) {
        SetWindowLongPtrW(bar, GWLP_USERDATA, current);
        SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(scannerProc));
    }
    startScanner();
}

void startScanner() {
    if (scannerWindow) {
        SetTimer(scannerWindow, kScannerTimer, kScannerPeriodMs, nullptr);
    }
}

void stopScanner() {
    if (scannerWindow) {
        KillTimer(scannerWindow, kScannerTimer);
    }
}

void drawScannerFrame(HDC target, int width, int height) {
    if (scannerStep == 0) {
        scannerStep = kStepSize;  // the first frame starts the light moving to the right
    }
    HGDIOBJ oldBrush = SelectObject(target, GetStockObject(DC_BRUSH));
    auto fill = [target](const RECT& rect, COLORREF color) {
        SetDCBrushColor(target, color);
        FillRect(target, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    };
    fill(RECT{0, 0, width, height}, kScannerBackground);
    double segmentWidth = width / static_cast<double>(kVisibleSegments);
    for (int segment = 0; segment < kSegments; ++segment) {
        RECT rect{static_cast<LONG>(std::trunc(segment * segmentWidth + kSegmentGap)), 1,
                  static_cast<LONG>(std::trunc((segment + 1) * segmentWidth)), height - 1};
        fill(rect, RGB(segmentBrightness(segment), 32, 32));
    }
    SelectObject(target, oldBrush);
    advanceLight();
}
