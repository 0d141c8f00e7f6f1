#pragma once
// GDI+ for one capture: loaded at run time, started, used for one image, shut down and freed.
// Without gdiplus.dll, GdiplusStartup or an entry point, the step that needs it does nothing.

#include <windows.h>

class GdiPlusSession {
public:
    // Loads "gdiplus.dll" and starts GDI+ version 1.
    GdiPlusSession();
    GdiPlusSession(const GdiPlusSession&) = delete;
    GdiPlusSession& operator=(const GdiPlusSession&) = delete;
    // Disposes the image, shuts GDI+ down and frees the library.
    ~GdiPlusSession();

    bool running() const { return token_ != 0; }
    // Replaces the image by a GDI+ bitmap made from `bitmap` (no palette). Returns GDI+'s status,
    // or 0 without making anything when GDI+ is not running.
    int setBitmap(HBITMAP bitmap);
    // Saves the image with the encoder; true only if an image exists and GDI+ reports success.
    bool save(const wchar_t* path, const CLSID& encoder);

private:
    struct StartupInput {
        UINT32 version;
        void* debugEventCallback;
        BOOL suppressBackgroundThread;
        BOOL suppressExternalCodecs;
    };
    using Startup = int WINAPI(ULONG_PTR* token, const StartupInput* input, void* output);
    using CreateBitmapFromHbitmap = int WINAPI(HBITMAP bitmap, HPALETTE palette, void** image);
    using SaveImageToFile = int WINAPI(void* image, const wchar_t* path, const CLSID* encoder, const void* parameters);
    using DisposeImage = int WINAPI(void* image);
    using Shutdown = void WINAPI(ULONG_PTR token);

    template <typename Function>
    Function* entry(const char* name) const;
    void disposeImage();

    HMODULE library_ = nullptr;
    ULONG_PTR token_ = 0;
    void* image_ = nullptr;
};

// GDI+'s PNG encoder.
inline constexpr CLSID kPngEncoder = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
