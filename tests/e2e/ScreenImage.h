#pragma once
// Pictures for tests that check what a user sees: a copy of part of the screen, or of what some
// drawing code painted into a bitmap, as 32-bit pixels that can be read and saved.

#include <windows.h>

#include "base/WideString.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace e2e {

class ScreenImage {
public:
    ScreenImage() = default;
    ScreenImage(int width, int height) : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height) {}

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return pixels_.empty(); }
    // The colour at (x, y) as a COLORREF (red in the low byte); black outside the picture.
    COLORREF at(int x, int y) const;
    uint32_t* data() { return pixels_.data(); }

    // A part of this picture; the rectangle is clipped to it.
    ScreenImage crop(const RECT& rect) const;
    // Writes a 32-bit BMP file.
    bool saveBmp(const WideString& path) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;  // 0x00RRGGBB, top row first
};

// What the screen shows in `rect` (screen coordinates), windows of other processes included.
ScreenImage captureScreen(const RECT& rect);
// What `paint` draws into a fresh bitmap of that size, first filled with `background`.
ScreenImage paintToImage(int width, int height, COLORREF background, const std::function<void(HDC)>& paint);

// Colours are compared channel by channel with a tolerance (anti-aliased text, rounding).
bool nearColour(COLORREF a, COLORREF b, int tolerance = 0);
// Whether any pixel of the rectangle is within `tolerance` of `colour`.
bool containsColour(const ScreenImage& image, const RECT& rect, COLORREF colour, int tolerance = 0);
// Saves `image` as NAME.bmp into the folder named by the environment variable
// BRINDLECREST_SHOTS_DIR, when it is set; so a developer can look at what a test saw.
void keepForInspection(const ScreenImage& image, const wchar_t* name);

}  // namespace e2e
