#include "update/Uninstall.h"

#include <shellapi.h>
#include <shlobj.h>

#include "base/ExecutablePath.h"
#include "base/ScopedHandle.h"
#include "lang/LanguageChoice.h"
#include "settings/Settings.h"
#include "update/UpdateTexts.h"

#include <cstring>

namespace {


// Waits (up to two minutes) until the program has let go of the lock, then deletes the program
// file (trying again for a few seconds while the system still holds it), then itself. "ping" is
// the sleep that every Windows has. The paths come in as arguments, so the script stays ASCII
// whatever the paths hold.
constexpr char kRemovalScript[] =
    "@echo off\r\n"
    "rem Removes Brindlecrest's program file once the program has ended, then this script.\r\n"
    "set tries=0\r\n"
    ":wait\r\n"
    "del \"%~dpn0.lock\" 2>nul\r\n"
    "if not exist \"%~dpn0.lock\" goto remove\r\n"
    "set /a tries+=1\r\n"
    "if %tries% geq 120 goto done\r\n"
    "ping -n 2 127.0.0.1 >nul\r\n"
    "goto wait\r\n"
    ":remove\r\n"
    "set tries=0\r\n"
    ":again\r\n"
    "del /f /q \"%~1\" 2>nul\r\n"
    "if not exist \"%~1\" goto done\r\n"
    "set /a tries+=1\r\n"
    "if %tries% geq 10 goto done\r\n"
    "ping -n 2 127.0.0.1 >nul\r\n"
    "goto again\r\n"
    ":done\r\n"
    "del /f /q \"%~f0\"\r\n";

WideString folderOf(const WideString& path) { return path.left(path.reverseFind(L'\\')); }

WideString withTrailingBackslash(WideString path) {
    if (path.isEmpty() || path[path.length() - 1] != L'\\') {
        path += L'\\';
    }
    return path;
}

WideString temporaryFolder() {
    wchar_t buffer[MAX_PATH + 1]{};
    DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    return withTrailingBackslash(WideString(buffer, length > MAX_PATH ? 0 : static_cast<int>(length)));
}

WideString systemFolder() {
    wchar_t buffer[MAX_PATH + 1]{};
    UINT length = GetSystemDirectoryW(buffer, MAX_PATH + 1);
    return WideString(buffer, length > MAX_PATH ? 0 : static_cast<int>(length));
}

bool writeWholeFile(HANDLE file, const char* text) {
    DWORD size = static_cast<DWORD>(strlen(text));
    DWORD written = 0;
    return WriteFile(file, text, size, &written, nullptr) && written == size;
}

// Whether this user may delete the program file at all; its running image allows it wherever the
// folder's rights do.
bool mayDelete(const WideString& path) {
    ScopedHandle file(CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    return file.valid();
}

}  // namespace

WideString farewellPageAddress() { return siteAddress(kFarewellPagePath); }

const char* removalScriptText() { return kRemovalScript; }

WideString perUserSettingsFolder() {
    wchar_t appData[MAX_PATH + 1]{};
    if (!SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE)) {
        return WideString();
    }
    return withTrailingBackslash(WideString(appData)) + kSettingsFolderName;
}

bool removeSettingsFile(const WideString& settingsFile, const WideString& perUserFolder) {
    // Only ever our own file name, whatever the path says.
    if (settingsFile.mid(settingsFile.reverseFind(L'\\') + 1).compareNoCase(kSettingsFileName) != 0) {
        return false;
    }
    bool removed = DeleteFileW(settingsFile.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
    WideString folder = folderOf(settingsFile);
    if (removed && !perUserFolder.isEmpty() && folder.compareNoCase(perUserFolder.c_str()) == 0) {
        RemoveDirectoryW(folder.c_str());  // fails, as it should, while anything else is in it
    }
    return removed;
}

bool startProgramRemoval(const WideString& programPath, const WideString& folder, RemovalJob& job) {
    WideString base = withTrailingBackslash(folder) + WideString::format(L"Brindlecrest_uninstall_%lu", GetCurrentProcessId());
    job.scriptPath = base + L".cmd";
    job.lockPath = base + L".lock";

    ScopedHandle script(CreateFileW(job.scriptPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!script) {
        return false;
    }
    bool written = writeWholeFile(script.get(), kRemovalScript);
    DWORD error = GetLastError();
    script.reset();
    if (!written) {
        DeleteFileW(job.scriptPath.c_str());
        SetLastError(error);
        return false;
    }
    job.lock.reset(CreateFileW(job.lockPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!job.lock) {
        error = GetLastError();
        DeleteFileW(job.scriptPath.c_str());
        SetLastError(error);
        return false;
    }

    // cmd.exe from the system folder, never one found elsewhere on the search path.
    WideString shell = systemFolder() + L"\\cmd.exe";
    WideString line = L"\"" + shell + L"\" /d /s /c \"\"" + job.scriptPath + L"\" \"" + programPath + L"\"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    // The temporary folder as its working folder: the script must not keep the program's folder busy.
    if (!CreateProcessW(shell.c_str(), line.writableBuffer(line.length()), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        folder.c_str(), &startup, &info)) {
        error = GetLastError();
        job.lock.reset();
        DeleteFileW(job.lockPath.c_str());
        DeleteFileW(job.scriptPath.c_str());
        SetLastError(error);
        return false;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

bool runUninstall(HWND dialog) {
    WideString caption = languageString(update_keys::kUninstall);
    if (MessageBoxW(dialog, languageString(update_keys::kAreYouSure).c_str(), caption.c_str(),
                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
        return false;
    }
    WideString program = executablePath();
    if (!mayDelete(program)) {
        MessageBoxW(dialog, withSystemError(languageString(update_keys::kCannotRemoveProgram), GetLastError()).c_str(),
                    caption.c_str(), MB_OK | MB_ICONWARNING);
        return false;
    }
    RemovalJob job;
    if (!startProgramRemoval(program, temporaryFolder(), job)) {
        MessageBoxW(dialog, withSystemError(languageString(update_keys::kCannotPrepareUninstall), GetLastError()).c_str(),
                    caption.c_str(), MB_OK | MB_ICONWARNING);
        return false;
    }
    // Never closed here: the system closes it when this process ends, which is the script's signal.
    job.lock.release();
    removeSettingsFile(settingsPath, perUserSettingsFolder());
    // The dialog still writes as the program ends (the duration box writes its choice on every
    // notification, losing the focus among them); with no path left, nothing brings the file back.
    settingsPath = WideString();
    ShellExecuteW(dialog, L"open", farewellPageAddress().c_str(), nullptr, nullptr, SW_SHOW);
    return true;
}
