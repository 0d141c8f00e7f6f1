#include "app/SelfUpdate.h"

#include <windows.h>

#include "base/ExecutablePath.h"
#include "app/MainWindow.h"
#include "base/ScopedHandle.h"
#include "lang/LanguageChoice.h"
#include "update/UpdateTexts.h"

#include <vector>

namespace {

constexpr DWORD kQuitReplyTimeoutMs = 5000;
constexpr DWORD kInstanceExitTimeoutMs = 10000;
constexpr int kCopyAttempts = 25;
constexpr DWORD kCopyRetryMs = 200;
constexpr wchar_t kReplacementSuffix[] = L".new";

// Asks every running instance to quit and waits until their processes are gone, so that the
// program file is free to be replaced.
void endRunningInstances() {
    std::vector<ScopedHandle> processes;
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, mainWindowClassName(), kMainWindowTitle)) != nullptr) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (processId == GetCurrentProcessId()) {
            continue;
        }
        ScopedHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
        DWORD_PTR reply = 0;
        SendMessageTimeoutW(window, quitMessage, quitMessage, static_cast<LPARAM>(quitMessage), SMTO_ABORTIFHUNG,
                            kQuitReplyTimeoutMs, &reply);
        if (process) {
            processes.push_back(std::move(process));
        }
    }
    DWORD start = GetTickCount();
    for (const ScopedHandle& process : processes) {
        DWORD waited = GetTickCount() - start;
        WaitForSingleObject(process.get(), waited < kInstanceExitTimeoutMs ? kInstanceExitTimeoutMs - waited : 0);
    }
}

// The copy goes to a name of its own first and then takes the program's name in one step, so a
// full disk or a failed copy never leaves a half-written program behind. The old file may stay
// locked for a moment after its process has ended. False (with the system's error kept) when the
// program could not be replaced; it is then as it was.
bool replaceProgram(const WideString& from, const WideString& to) {
    WideString copy = to + kReplacementSuffix;
    if (!CopyFileW(from.c_str(), copy.c_str(), FALSE)) {
        DWORD error = GetLastError();
        DeleteFileW(copy.c_str());
        SetLastError(error);
        return false;
    }
    for (int attempt = 0; attempt < kCopyAttempts; ++attempt) {
        if (MoveFileExW(copy.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        Sleep(kCopyRetryMs);
    }
    DWORD error = GetLastError();
    DeleteFileW(copy.c_str());
    SetLastError(error);
    return false;
}

void reportFailure(int key) {
    DWORD error = GetLastError();
    MessageBoxW(nullptr, withSystemError(languageString(key), error).c_str(), languageString(update_keys::kAutoUpdate).c_str(),
                MB_OK | MB_ICONWARNING);
}

// What follows the program's own name on a command line.
WideString argumentsOf(const WideString& commandLine) {
    int position = 0;
    if (commandLine.at(0) == L'"') {
        int closing = commandLine.find(L'"', 1);
        position = closing == WideString::npos ? commandLine.length() : closing + 1;
    } else {
        while (position < commandLine.length() && commandLine[position] != L' ' && commandLine[position] != L'\t') {
            ++position;
        }
    }
    return commandLine.mid(position).trimLeft();
}

}  // namespace

bool completeSelfUpdate(const WideString& commandLine) {
    WideString self = executablePath();
    WideString installed = installedPathFor(self);
    if (installed.isEmpty()) {
        removeUpdateLeftover(self);
        return false;
    }
    // An update with no program beside it (one kept in the temporary folder, say) has nothing to
    // replace: it simply runs.
    DWORD attributes = GetFileAttributesW(installed.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    endRunningInstances();
    if (!replaceProgram(self, installed)) {
        reportFailure(update_keys::kCannotReplace);
        return false;
    }
    // The installed copy is started the way the update was.
    if (!startProgram(installed, argumentsOf(commandLine))) {
        reportFailure(update_keys::kCannotStart);
        return false;
    }
    return true;
}
