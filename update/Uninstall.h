#pragma once
// Uninstall (command 43113): after the user confirms, the settings file this copy uses goes (and
// the per-user folder when that leaves it empty), our farewell page opens, and a batch file in the
// temporary folder removes the program file once the program has ended, then itself. Nothing else
// is ever deleted.

#include <windows.h>

#include "base/ScopedHandle.h"
#include "base/WideString.h"

// The farewell page below our site's home address (the German host while German is the language).
inline constexpr wchar_t kFarewellPagePath[] = L"uninstall.html";

WideString farewellPageAddress();

// The batch file's text (ASCII). Its first argument is the program file; beside it lies a lock
// file of the same name ending in ".lock", held open by the program until it ends: the script
// waits until it can delete that file, then deletes the program file, then itself.
const char* removalScriptText();

// Deletes `settingsFile`, and then its folder when that is `perUserFolder` and is empty. Any
// other folder (a portable copy's, which is the program's own) is left alone.
bool removeSettingsFile(const WideString& settingsFile, const WideString& perUserFolder);

// The per-user settings folder: the roaming application-data folder + "\Brindlecrest".
WideString perUserSettingsFolder();

struct RemovalJob {
    WideString scriptPath;
    WideString lockPath;
    // Open and unshared; the script goes ahead once it is closed. The program keeps it open until
    // it ends, when the system closes it.
    ScopedHandle lock;
};

// Writes the script and the lock into `folder` (named after this process) and starts the script
// hidden. False, with nothing left behind and the system's error kept, when any step fails.
bool startProgramRemoval(const WideString& programPath, const WideString& folder, RemovalJob& job);

// Command 43113, with the main dialog as owner of its messages. True when the user confirmed and
// the program should end now; settingsPath is then empty, so no setting is written any more.
bool runUninstall(HWND dialog);
