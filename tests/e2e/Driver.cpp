#include "tests/e2e/Driver.h"

#include <commctrl.h>
#include <tlhelp32.h>
#include <winternl.h>

#include "base/DynamicCall.h"

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

namespace {

// The classic layout of the system's handle table (information class 16).
struct SystemHandleEntry {
    USHORT processId;
    USHORT creatorBackTraceIndex;
    UCHAR objectType;
    UCHAR flags;
    USHORT handle;
    void* object;
    ACCESS_MASK grantedAccess;
};
constexpr ULONG kSystemHandleInformation = 16;
constexpr NTSTATUS kStatusInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

// One cell of a process's GDI handle table; a free cell has type 0.
struct GdiHandleCell {
    UINT64 object;
    ULONG owner;
    UCHAR extendedType;
    UCHAR generation;
    UCHAR type;
    UCHAR flags;
    UINT64 userPointer;
};
constexpr size_t kGdiHandleCells = 0x10000;
// Where the process environment block keeps the table's address (x64).
constexpr size_t kPebGdiHandleTableOffset = 0xF8;

}  // namespace

int processHandleCount(DWORD processId) {
    using QuerySystemFunction = NTSTATUS NTAPI(ULONG, PVOID, ULONG, PULONG);
    auto query = systemFunction<QuerySystemFunction>(L"ntdll.dll", "NtQuerySystemInformation");
    if (!query) {
        return -1;
    }
    std::vector<unsigned char> buffer(1 << 20);
    NTSTATUS status;
    ULONG needed = 0;
    while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
           kStatusInfoLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) {
        return -1;
    }
    ULONG_PTR count = *reinterpret_cast<const ULONG_PTR*>(buffer.data());
    const auto* entries = reinterpret_cast<const SystemHandleEntry*>(buffer.data() + sizeof(ULONG_PTR));
    int found = 0;
    for (ULONG_PTR i = 0; i < count; ++i) {
        found += entries[i].processId == static_cast<USHORT>(processId) ? 1 : 0;
    }
    return found;
}

int processGdiObjectCount(HANDLE process) {
    using QueryProcessFunction = NTSTATUS NTAPI(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = systemFunction<QueryProcessFunction>(L"ntdll.dll", "NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION basic{};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0) {
        return -1;
    }
    UINT64 table = 0;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<const char*>(basic.PebBaseAddress) + kPebGdiHandleTableOffset, &table,
                           sizeof(table), &read) ||
        !table) {
        return -1;
    }
    std::vector<GdiHandleCell> cells(kGdiHandleCells);
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table), cells.data(), cells.size() * sizeof(GdiHandleCell),
                           &read)) {
        return -1;
    }
    DWORD processId = GetProcessId(process);
    int found = 0;
    for (const GdiHandleCell& cell : cells) {
        // Windows shares one table between processes and names the owner; Wine's is the process's own.
        USHORT owner = static_cast<USHORT>(cell.owner & 0xFFFF);
        found += cell.type != 0 && (owner == 0 || owner == static_cast<USHORT>(processId)) ? 1 : 0;
    }
    return found;
}

std::vector<ToolbarButton> toolbarButtons(HWND toolbar) {
    std::vector<ToolbarButton> buttons;
    DWORD processId = 0;
    GetWindowThreadProcessId(toolbar, &processId);
    ScopedHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!process) {
        return buttons;
    }
    constexpr SIZE_T kLentBytes = 4096;
    constexpr int kTextChars = (kLentBytes - sizeof(TBBUTTON)) / sizeof(wchar_t) - 1;
    auto* lent = static_cast<char*>(VirtualAllocEx(process.get(), nullptr, kLentBytes, MEM_COMMIT, PAGE_READWRITE));
    if (!lent) {
        return buttons;
    }
    char* remoteText = lent + sizeof(TBBUTTON);
    int count = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button{};
        SIZE_T read = 0;
        if (!SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(lent)) ||
            !ReadProcessMemory(process.get(), lent, &button, sizeof(button), &read)) {
            break;
        }
        WideString text;
        int length = static_cast<int>(SendMessageW(toolbar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(button.idCommand), 0));
        if (length > 0 && length <= kTextChars) {
            SendMessageW(toolbar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(button.idCommand),
                         reinterpret_cast<LPARAM>(remoteText));
            ReadProcessMemory(process.get(), remoteText, text.writableBuffer(length), length * sizeof(wchar_t), &read);
            text.releaseBuffer(length);
        }
        buttons.push_back({button.idCommand, text});
    }
    VirtualFreeEx(process.get(), lent, 0, MEM_RELEASE);
    return buttons;
}

HWND waitForMainDialog(const AppProcess& app, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs && app.running()) {
        for (HWND window : app.topLevelWindows(true)) {
            if (windowClassName(window) == L"#32770" && GetDlgItem(window, 32806)) {
                return window;
            }
        }
        Sleep(50);
    }
    return nullptr;
}

WideString processImagePath(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) {
        return WideString();
    }
    wchar_t buffer[MAX_PATH * 2]{};
    DWORD length = MAX_PATH * 2;
    BOOL ok = QueryFullProcessImageNameW(process, 0, buffer, &length);
    CloseHandle(process);
    return ok ? WideString(buffer, static_cast<int>(length)) : WideString();
}

std::string narrow(const WideString& text) {
    std::string out;
    for (int i = 0; i < text.length(); ++i) {
        out += text[i] < 128 ? static_cast<char>(text[i]) : '?';
    }
    return out;
}

}  // namespace e2e
