#include "tests/e2e/Driver.h"

#include <tlhelp32.h>

namespace e2e {

WideString besideThisExe(const wchar_t* fileName) {
    wchar_t path[MAX_PATH * 2]{};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    WideString full(path, static_cast<int>(n));
    int slash = full.reverseFind(L'\\');
    return full.left(slash + 1) + fileName;
}

WideString makeTempFolder(const wchar_t* prefix) {
    wchar_t temp[MAX_PATH + 1]{};
    GetTempPathW(MAX_PATH + 1, temp);
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        WideString folder = WideString::format(L"%ls%ls_%lu_%lu_%u", temp, prefix, GetCurrentProcessId(), GetTickCount(), attempt);
        if (CreateDirectoryW(folder.c_str(), nullptr)) {
            return folder;
        }
    }
    return WideString();
}

bool removeTree(const WideString& folder) {
    if (folder.isEmpty()) {
        return false;
    }
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            WideString name(data.cFileName);
            if (name == L"." || name == L"..") {
                continue;
            }
            WideString path = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    return RemoveDirectoryW(folder.c_str()) != 0;
}

bool copyFile(const WideString& from, const WideString& to) { return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0; }

AppProcess::~AppProcess() {
    if (startedHere_ && running()) {
        terminate();
    }
}

bool AppProcess::start(const WideString& exePath, const WideString& arguments, const WideString& workingFolder) {
    WideString commandLine = L"\"" + exePath + L"\"";
    if (!arguments.isEmpty()) {
        commandLine += L" ";
        commandLine += arguments;
    }
    WideString folder = workingFolder;
    if (folder.isEmpty()) {
        folder = exePath.left(exePath.reverseFind(L'\\'));
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    WideString mutableLine = commandLine;  // CreateProcessW may write into the command line
    if (!CreateProcessW(exePath.c_str(), mutableLine.writableBuffer(mutableLine.length()), nullptr, nullptr, FALSE, 0,
                        nullptr, folder.c_str(), &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;
    startedHere_ = true;
    return true;
}

bool AppProcess::attach(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId);
    if (!process) {
        return false;
    }
    process_.reset(process);
    processId_ = processId;
    startedHere_ = false;
    return true;
}

bool AppProcess::running() const { return process_.valid() && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

namespace {

struct WindowSearch {
    DWORD processId;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && (!search->visibleOnly || IsWindowVisible(window))) {
        search->found.push_back(window);
    }
    return TRUE;
}

}  // namespace

std::vector<HWND> AppProcess::topLevelWindows(bool visibleOnly) const {
    WindowSearch search{processId_, visibleOnly, {}};
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND AppProcess::waitForWindow(const wchar_t* className, const wchar_t* title, DWORD timeoutMs, bool mustBeVisible) const {
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND window : topLevelWindows(mustBeVisible)) {
            if ((!className || windowClassName(window) == className) && (!title || windowText(window) == title)) {
                return window;
            }
        }
        if (GetTickCount() - start >= timeoutMs || !running()) {
            return nullptr;
        }
        Sleep(50);
    }
}

bool AppProcess::waitForExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!process_.valid() || WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    if (exitCode) {
        *exitCode = code;
    }
    return true;
}

void AppProcess::terminate() {
    if (process_.valid()) {
        TerminateProcess(process_.get(), 0xDEAD);
        WaitForSingleObject(process_.get(), 5000);
    }
}

std::vector<DWORD> findProcesses(const wchar_t* exeName) {
    std::vector<DWORD> ids;
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return ids;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (WideString(entry.szExeFile).compareNoCase(exeName) == 0) {
            ids.push_back(entry.th32ProcessID);
        }
    }
    return ids;
}

WideString windowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    WideString text;
    if (length > 0) {
        int got = GetWindowTextW(window, text.writableBuffer(length), length + 1);
        text.releaseBuffer(got);
    }
    return text;
}

WideString windowClassName(HWND window) {
    wchar_t name[256]{};
    int n = GetClassNameW(window, name, 256);
    return WideString(name, n);
}

HWND control(HWND dialog, int id) { return GetDlgItem(dialog, id); }

void pressButton(HWND dialog, int id) { SendMessageW(control(dialog, id), BM_CLICK, 0, 0); }

void closeWindow(HWND window) { PostMessageW(window, WM_CLOSE, 0, 0); }

}  // namespace e2e
