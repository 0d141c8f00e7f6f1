#include "tests/e2e/ScreenImage.h"

#include <algorithm>
#include <cstdlib>

namespace e2e {

namespace {

// A top-down 32-bit DIB section selected into a memory DC, read back into `image`.
ScreenImage withBitmap(int width, int height, const std::function<void(HDC)>& paint) {
    ScreenImage image(width, height);
    if (width <= 0 || height <= 0) {
        return ScreenImage();
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!memory || !bitmap || !bits) {
        if (bitmap) {
            DeleteObject(bitmap);
        }
        if (memory) {
            DeleteDC(memory);
        }
        return ScreenImage();
    }
    HGDIOBJ previous = SelectObject(memory, bitmap);
    paint(memory);
    GdiFlush();
    const uint32_t* source = static_cast<const uint32_t*>(bits);
    std::copy(source, source + static_cast<size_t>(width) * height, image.data());
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    for (int i = 0; i < width * height; ++i) {
        image.data()[i] &= 0x00FFFFFF;
    }
    return image;
}

}  // namespace

COLORREF ScreenImage::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return RGB(0, 0, 0);
    }
    const uint32_t pixel = pixels_[static_cast<size_t>(y) * width_ + x];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

ScreenImage ScreenImage::crop(const RECT& rect) const {
    const int left = std::max(0, static_cast<int>(rect.left));
    const int top = std::max(0, static_cast<int>(rect.top));
    const int right = std::min(width_, static_cast<int>(rect.right));
    const int bottom = std::min(height_, static_cast<int>(rect.bottom));
    if (right <= left || bottom <= top) {
        return ScreenImage();
    }
    ScreenImage part(right - left, bottom - top);
    for (int y = top; y < bottom; ++y) {
        std::copy(pixels_.begin() + static_cast<ptrdiff_t>(y) * width_ + left,
                  pixels_.begin() + static_cast<ptrdiff_t>(y) * width_ + right,
                  part.pixels_.begin() + static_cast<ptrdiff_t>(y - top) * part.width_);
    }
    return part;
}

bool ScreenImage::saveBmp(const WideString& path) const {
    if (empty()) {
        return false;
    }
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width_;
    header.biHeight = -height_;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    const DWORD pixelBytes = static_cast<DWORD>(pixels_.size() * sizeof(uint32_t));
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + pixelBytes;
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(out, &file, sizeof(file), &written, nullptr) && WriteFile(out, &header, sizeof(header), &written, nullptr) &&
              WriteFile(out, pixels_.data(), pixelBytes, &written, nullptr) && written == pixelBytes;
    CloseHandle(out);
    return ok;
}

ScreenImage captureScreen(const RECT& rect) {
    return withBitmap(rect.right - rect.left, rect.bottom - rect.top, [&rect](HDC memory) {
        HDC screen = GetDC(nullptr);
        BitBlt(memory, 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT);
        ReleaseDC(nullptr, screen);
    });
}

ScreenImage paintToImage(int width, int height, COLORREF background, const std::function<void(HDC)>& paint) {
    return withBitmap(width, height, [&](HDC memory) {
        RECT all{0, 0, width, height};
        SetBkColor(memory, background);
        ExtTextOutW(memory, 0, 0, ETO_OPAQUE, &all, nullptr, 0, nullptr);
        paint(memory);
    });
}

bool nearColour(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

bool containsColour(const ScreenImage& image, const RECT& rect, COLORREF colour, int tolerance) {
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            if (nearColour(image.at(x, y), colour, tolerance)) {
                return true;
            }
        }
    }
    return false;
}

void keepForInspection(const ScreenImage& image, const wchar_t* name) {
    wchar_t folder[MAX_PATH + 1]{};
    const DWORD length = GetEnvironmentVariableW(L"BRINDLECREST_SHOTS_DIR", folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) {
        return;
    }
    image.saveBmp(WideString(folder) + L"\\" + name + L".bmp");
}

}  // namespace e2e
