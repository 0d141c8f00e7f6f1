#pragma once
// A copy of Brindlecrest.exe in a folder of its own with a settings file beside it, so that no
// earlier run and no user setting decides what it shows; started as a process of its own.

#include <windows.h>

#include "base/WideString.h"
#include "tests/e2e/Driver.h"

#include <utility>
#include <vector>

namespace e2e {

class ProgramCopy {
public:
    ProgramCopy() = default;
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;
    // Ends the program if it still runs and removes the folder.
    ~ProgramCopy();

    // Settings written into "Brindlecrest.ini" before the start (section "Program").
    std::vector<std::pair<WideString, WideString>> settings = {{L"lng", L"1"}};

    // Folder, settings, copy, start. On failure, `failure()` says which step failed and with which
    // system error.
    bool start();
    const WideString& failure() const { return failure_; }

    // The main dialog: the visible dialog with the information box; null after `timeoutMs`.
    HWND waitForDialog(DWORD timeoutMs = 30'000);
    // Text of a control of the running program's dialog, by WM_GETTEXT (combo boxes answer with
    // their selection).
    static WideString controlText(HWND dialog, int id);

    // An integer of the settings file, or `missing`.
    int readSetting(const wchar_t* key, int missing) const;

    const WideString& folder() const { return folder_; }
    WideString exePath() const { return folder_ + L"\\Brindlecrest.exe"; }
    AppProcess& app() { return app_; }

private:
    bool fail(const wchar_t* step);

    WideString folder_;
    WideString failure_;
    AppProcess app_;
};

}  // namespace e2e
