#include "app/SystemTools.h"

#include <windows.h>

#include <shellapi.h>

#include "app/DialogIds.h"
#include "app/MainDialog.h"
#include "base/DynamicCall.h"
#include "base/ExecutablePath.h"
#include "base/WideString.h"
#include "settings/Settings.h"

namespace {

constexpr wchar_t kControlPanelCall[] = L"shell32.dll,Control_RunDLL";
constexpr wchar_t kAdvancedSystemPage[] = L" sysdm.cpl,,3";

// Opens a program, document or folder with the verb "open" and the show state "show".
void shellOpen(const wchar_t* target, const wchar_t* parameters = nullptr) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // Missing tools are not reported: no error box from the shell either.
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = mainDialog;
    info.lpVerb = L"open";
    info.lpFile = target;
    info.lpParameters = parameters;
    info.nShow = SW_SHOW;
    ShellExecuteExW(&info);
}

// Everything before the last "\"; a folder at the root of a drive keeps its "\" ("C:" alone
// would mean the drive's current folder).
WideString folderOf(const WideString& path) {
    const int slash = path.reverseFind(L'\\');
    if (slash < 0) {
        return WideString();
    }
    WideString folder = path.left(slash);
    if (folder.length() == 2 && folder[1] == L':') {
        folder += L'\\';
    }
    return folder;
}

WideString systemFolder() {
    wchar_t folder[MAX_PATH + 1]{};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
    return length > 0 && length <= MAX_PATH ? WideString(folder, static_cast<int>(length)) : WideString();
}

bool isFile(const WideString& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Newer systems have the optimiser as a program; older ones only as a console snap-in.
void openDriveOptimizer() {
    const wchar_t* target = isFile(systemFolder() + L"\\dfrgui.exe") ? L"dfrgui.exe" : L"dfrg.msc";
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_DOENVSUBST | SEE_MASK_FLAG_NO_UI;
    info.hwnd = mainDialog;
    info.lpFile = target;
    info.lpDirectory = L"%UserProfile%";
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&info);
}

}  // namespace

bool openSystemTool(int command) {
    switch (command) {
    case ids::kTaskManagerCommand:
        shellOpen(L"taskmgr.exe");
        return true;
    case ids::kSystemPropertiesCommand:
        shellOpen(L"rundll32.exe", (WideString(kControlPanelCall) + kAdvancedSystemPage).c_str());
        return true;
    case ids::kSystemInformationCommand:
        shellOpen(L"msinfo32.exe");
        return true;
    case ids::kMemoryDiagnosticsCommand:
        shellOpen(L"mdsched.exe");
        setRedirection(true);
        return true;
    case ids::kResourceMonitorCommand:
        shellOpen(L"resmon.exe");
        setRedirection(true);
        return true;
    case ids::kPerformanceMonitorCommand:
        shellOpen(L"perfmon.exe");
        setRedirection(true);
        return true;
    case ids::kComputerManagementCommand:
        shellOpen(L"compmgmt.msc");
        return true;
    case ids::kDiskManagementCommand:
        shellOpen(L"diskmgmt.msc");
        return true;
    case ids::kDriveOptimizerCommand:
        openDriveOptimizer();
        return true;
    case ids::kOpenSettingsFileCommand:
    case ids::kSettingsFileCommand:
        shellOpen(settingsPath.c_str());
        return true;
    case ids::kProgramFolderCommand:
        shellOpen(folderOf(executablePath()).c_str());
        return true;
    case ids::kSettingsFolderCommand:
        shellOpen(folderOf(settingsPath).c_str());
        return true;
    default:
        return false;
    }
}

void setRedirection(bool enabled) {
    if (!runsUnderWow64) {
        return;
    }
    using EnableRedirection = BOOLEAN WINAPI(BOOLEAN);
    static EnableRedirection* enable = systemFunction<EnableRedirection>(L"kernel32.dll", "Wow64EnableWow64FsRedirection");
    if (enable) {
        enable(enabled ? TRUE : FALSE);
    }
}
