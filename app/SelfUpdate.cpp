#include "app/SelfUpdate.h"

#include <windows.h>

#include "base/ExecutablePath.h"
#include "app/MainWindow.h"
#include "base/ScopedHandle.h"

#include <vector>

namespace {

constexpr DWORD kQuitReplyTimeoutMs = 5000;
constexpr DWORD kInstanceExitTimeoutMs = 10000;
constexpr int kCopyAttempts = 25;
constexpr DWORD kCopyRetryMs = 200;

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

// The old file may stay locked for a moment after its process has ended.
bool replaceProgram(const WideString& from, const WideString& to) {
    for (int attempt = 0; attempt < kCopyAttempts; ++attempt) {
        if (CopyFileW(from.c_str(), to.c_str(), FALSE)) {
            return true;
        }
        Sleep(kCopyRetryMs);
    }
    return false;
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

bool startProgram(const WideString& path, const WideString& arguments) {
    WideString line = L"\"" + path + L"\"";
    if (!arguments.isEmpty()) {
        line += L" ";
        line += arguments;
    }
    WideString folder = path.left(path.reverseFind(L'\\'));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(path.c_str(), line.writableBuffer(line.length()), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.isEmpty() ? nullptr : folder.c_str(), &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

}  // namespace

WideString installedPathFor(const WideString& updatePath) {
    int nameStart = updatePath.reverseFind(L'\\') + 1;
    WideString name = updatePath.mid(nameStart);
    int mark = name.toLower().find(kAutoUpdateMark);
    if (mark == WideString::npos) {
        return WideString();
    }
    int markLength = static_cast<int>(wcslen(kAutoUpdateMark));
    return updatePath.left(nameStart) + name.left(mark) + name.mid(mark + markLength);
}

bool completeSelfUpdate(const WideString& commandLine) {
    WideString self = executablePath();
    WideString installed = installedPathFor(self);
    if (installed.isEmpty()) {
        return false;
    }
    endRunningInstances();
    if (!replaceProgram(self, installed)) {
        return false;
    }
    // The installed copy is started the way the update was.
    return startProgram(installed, argumentsOf(commandLine));
}
