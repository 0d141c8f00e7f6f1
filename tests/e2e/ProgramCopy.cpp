#include "tests/e2e/ProgramCopy.h"

namespace e2e {

namespace {

constexpr int kMainDialogInfoBox = 32806;

}  // namespace

ProgramCopy::~ProgramCopy() {
    if (app_.running()) {
        app_.terminate();  // a failed test leaves nothing running
    }
    if (!folder_.isEmpty()) {
        removeTree(folder_);
    }
}

bool ProgramCopy::fail(const wchar_t* step) {
    failure_ = WideString::format(L"%ls failed with error %lu", step, GetLastError());
    return false;
}

bool ProgramCopy::start() {
    static int instances = 0;
    // A short path on drive C:, as a user's own folder would be.
    folder_ = WideString::format(L"C:\\bc_e2e_%lu_%lu_%d", GetCurrentProcessId(), GetTickCount(), ++instances);
    if (!CreateDirectoryW(folder_.c_str(), nullptr)) {
        return fail(L"CreateDirectory");
    }
    WideString ini = folder_ + L"\\Brindlecrest.ini";
    for (const auto& [key, value] : settings) {
        if (!WritePrivateProfileStringW(L"Program", key.c_str(), value.c_str(), ini.c_str())) {
            return fail(L"WritePrivateProfileString");
        }
    }
    if (!copyFile(besideThisExe(L"Brindlecrest.exe"), exePath())) {
        return fail(L"CopyFile");
    }
    if (!app_.start(exePath())) {
        return fail(L"CreateProcess");
    }
    return true;
}

HWND ProgramCopy::waitForDialog(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs && app_.running()) {
        for (HWND window : app_.topLevelWindows(true)) {
            if (windowClassName(window) == L"#32770" && GetDlgItem(window, kMainDialogInfoBox)) {
                return window;
            }
        }
        Sleep(50);
    }
    return nullptr;
}

WideString ProgramCopy::controlText(HWND dialog, int id) {
    wchar_t text[512]{};
    SendMessageW(GetDlgItem(dialog, id), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return WideString(text);
}

int ProgramCopy::readSetting(const wchar_t* key, int missing) const {
    return static_cast<int>(GetPrivateProfileIntW(L"Program", key, missing, (folder_ + L"\\Brindlecrest.ini").c_str()));
}

}  // namespace e2e
