#include "share/Screenshots.h"

#include <commdlg.h>

#include "app/DialogIds.h"
#include "app/MainDialog.h"
#include "base/ScopedHandle.h"
#include "share/GdiPlusSession.h"

namespace {

constexpr DWORD kExtendedFrameBounds = 9;  // DWMWA_EXTENDED_FRAME_BOUNDS
constexpr DWORD kTopmostSettleMs = 1000;
constexpr int kFileNameChars = 260;

using DwmGetWindowAttributeFunction = HRESULT WINAPI(HWND window, DWORD attribute, void* value, DWORD size);

// The visible frame from the window manager; the window rectangle when it cannot say.
RECT captureBounds(HWND window) {
    RECT bounds{};
    bool known = false;
    if (HMODULE dwm = LoadLibraryW(L"dwmapi.dll")) {
        if (FARPROC address = GetProcAddress(dwm, "DwmGetWindowAttribute")) {
            auto getAttribute =
                reinterpret_cast<DwmGetWindowAttributeFunction*>(reinterpret_cast<void (*)()>(address));
            known = SUCCEEDED(getAttribute(window, kExtendedFrameBounds, &bounds, sizeof(bounds)));
        }
        FreeLibrary(dwm);
    }
    if (!known) {
        GetWindowRect(window, &bounds);
    }
    return bounds;
}

void setTopmost(HWND window, bool topmost) {
    SetWindowPos(window, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

// EnumTimeFormatsEx hands its context to the callback: the first format lands there.
BOOL CALLBACK takeFirstTimeFormat(LPWSTR format, LPARAM context) {
    *reinterpret_cast<WideString*>(context) = format;
    return FALSE;
}

}  // namespace

bool captureWindowToPng(HWND window, const wchar_t* path) {
    // Paint whatever is still pending, so the picture shows the window as it is now.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    SetCapture(window);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    RECT bounds = captureBounds(window);
    int width = bounds.right - bounds.left;
    int height = bounds.bottom - bounds.top;
    HBITMAP bitmap = width > 0 && height > 0 ? CreateCompatibleBitmap(screen, width, height) : nullptr;
    bool copied = false;
    if (bitmap && memory) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, width, height, screen, bounds.left, bounds.top, SRCCOPY) != FALSE;
        // GDI+ takes the bitmap while no device context holds it.
        SelectObject(memory, previous);
    }
    ReleaseCapture();

    bool saved = false;
    if (copied) {
        GdiPlusSession gdiPlus;
        if (gdiPlus.setBitmap(bitmap) == 0) {
            saved = gdiPlus.save(path, kPngEncoder);
        }
    }
    ReleaseDC(nullptr, screen);
    if (memory) {
        DeleteDC(memory);
    }
    if (bitmap) {
        DeleteObject(bitmap);
    }
    return saved;
}

WideString defaultScreenshotName(const SYSTEMTIME& now) {
    WideString timeFormat;
    EnumTimeFormatsEx(takeFirstTimeFormat, LOCALE_NAME_USER_DEFAULT, 0, reinterpret_cast<LPARAM>(&timeFormat));
    wchar_t time[128]{};
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, timeFormat.isEmpty() ? nullptr : timeFormat.c_str(), time, 128);
    WideString name = WideString::format(L"Brindlecrest %04d-%02d-%02d ", now.wYear, now.wMonth, now.wDay);
    name += time;
    // ":" cannot stand in a file name.
    name.replace(L':', L'-');
    return name;
}

WideString withPngExtension(const WideString& name) {
    int dot = name.reverseFind(L'.');
    if (dot == WideString::npos || name.mid(dot).compareNoCase(L".png") != 0) {
        return name + L".png";
    }
    return name;
}

WideString temporaryFilePath(const wchar_t* fileName) {
    WideString folder;
    DWORD length = GetTempPathW(MAX_PATH + 1, folder.writableBuffer(MAX_PATH + 1));
    folder.releaseBuffer(length > MAX_PATH + 1 ? 0 : static_cast<int>(length));
    return folder + fileName;
}

void screenshotToFile() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    WideString name = defaultScreenshotName(now);
    wchar_t file[kFileNameChars]{};
    lstrcpynW(file, name.c_str(), kFileNameChars);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hInstance = GetModuleHandleW(nullptr);
    dialog.lpstrFilter = L"PNG (*.png)\0*.png\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = kFileNameChars;
    if (!GetSaveFileNameW(&dialog)) {
        return;
    }
    WideString path = withPngExtension(file);
    HWND window = mainDialog;
    setTopmost(window, true);
    Sleep(kTopmostSettleMs);
    captureWindowToPng(window, path.c_str());
    setTopmost(window, false);
}

void screenshotToPaint() {
    WideString path = temporaryFilePath(kPaintCopyName);
    captureWindowToPng(mainDialog, path.c_str());

    WideString commandLine = L"mspaint \"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_MAXIMIZE;
    PROCESS_INFORMATION process{};
    // CreateProcessW may write into its command line.
    if (CreateProcessW(nullptr, commandLine.writableBuffer(commandLine.length()), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

void scheduleScreenshot(HWND dialog, int command) {
    if (command == ids::kScreenshotToPaintCommand) {
        SetFocus(dialog);
        SetTimer(dialog, ids::kScreenshotToPaintTimer, ids::kScreenshotToPaintDelayMs, nullptr);
    } else if (command == ids::kScreenshotToFileCommand) {
        SetTimer(dialog, ids::kScreenshotToFileTimer, ids::kScreenshotToFileDelayMs, nullptr);
    }
}

bool handleScreenshotTimer(HWND dialog, UINT_PTR timer) {
    if (timer == ids::kScreenshotToPaintTimer) {
        KillTimer(dialog, timer);
        screenshotToPaint();
        return true;
    }
    if (timer == ids::kScreenshotToFileTimer) {
        KillTimer(dialog, timer);
        screenshotToFile();
        return true;
    }
    return false;
}
