#pragma once
// Shared by the menu and command-bar tests: the dark palette switched on for one scope, and a
// small icon of one plain colour that is easy to find in a picture.

#include <windows.h>

#include "ui/DarkMode.h"

#include <vector>

namespace menutest {

// The dark palette as the start-up would decide it on a dark Windows; the flags are put back.
class DarkPalette {
public:
    explicit DarkPalette(bool dark) : supported_(darkSupported), enabled_(darkEnabled) {
        darkSupported = dark;
        darkEnabled = dark;
    }
    ~DarkPalette() {
        darkSupported = supported_;
        darkEnabled = enabled_;
    }
    DarkPalette(const DarkPalette&) = delete;
    DarkPalette& operator=(const DarkPalette&) = delete;

private:
    bool supported_;
    bool enabled_;
};

// A small icon filled with `colour` (fully opaque); the caller destroys it.
inline HICON plainIcon(COLORREF colour) {
    const int width = GetSystemMetrics(SM_CXSMICON);
    const int height = GetSystemMetrics(SM_CYSMICON);
    const DWORD pixel = 0xFF000000u | (static_cast<DWORD>(GetRValue(colour)) << 16) |
                        (static_cast<DWORD>(GetGValue(colour)) << 8) | GetBValue(colour);
    std::vector<DWORD> colours(static_cast<size_t>(width) * height, pixel);
    std::vector<BYTE> maskBits(static_cast<size_t>((width + 15) / 16 * 2) * height, 0);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = CreateBitmap(width, height, 1, 32, colours.data());
    info.hbmMask = CreateBitmap(width, height, 1, 1, maskBits.data());
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return icon;
}

}  // namespace menutest
