#include "share/GdiPlusSession.h"

namespace {

constexpr UINT32 kGdiPlusVersion = 1;
constexpr int kOk = 0;

}  // namespace

template <typename Function>
Function* GdiPlusSession::entry(const char* name) const {
    if (!library_) {
        return nullptr;
    }
    FARPROC address = GetProcAddress(library_, name);
    return address ? reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(address)) : nullptr;
}

GdiPlusSession::GdiPlusSession() : library_(LoadLibraryW(L"gdiplus.dll")) {
    if (auto startup = entry<Startup>("GdiplusStartup")) {
        StartupInput input{kGdiPlusVersion, nullptr, FALSE, FALSE};
        ULONG_PTR token = 0;
        if (startup(&token, &input, nullptr) == kOk) {
            token_ = token;
        }
    }
}

GdiPlusSession::~GdiPlusSession() {
    disposeImage();
    if (token_ != 0) {
        if (auto shutdown = entry<Shutdown>("GdiplusShutdown")) {
            shutdown(token_);
        }
    }
    if (library_) {
        FreeLibrary(library_);
    }
}

void GdiPlusSession::disposeImage() {
    if (image_) {
        if (auto dispose = entry<DisposeImage>("GdipDisposeImage")) {
            dispose(image_);
        }
        image_ = nullptr;
    }
}

int GdiPlusSession::setBitmap(HBITMAP bitmap) {
    disposeImage();
    if (!running()) {
        return kOk;
    }
    auto create = entry<CreateBitmapFromHbitmap>("GdipCreateBitmapFromHBITMAP");
    if (!create) {
        return kOk;
    }
    void* image = nullptr;
    int status = create(bitmap, nullptr, &image);
    if (status == kOk) {
        image_ = image;
    }
    return status;
}

bool GdiPlusSession::save(const wchar_t* path, const CLSID& encoder) {
    auto saveImage = entry<SaveImageToFile>("GdipSaveImageToFile");
    return image_ && saveImage && saveImage(image_, path, &encoder, nullptr) == kOk;
}
