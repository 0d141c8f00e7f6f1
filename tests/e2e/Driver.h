#pragma once
// End-to-end driver: starts Brindlecrest.exe as a process of its own and works its windows
// from outside, the way a user or another program would: by class, title and control id,
// through window messages.

#include <windows.h>

#include "base/ScopedHandle.h"
#include "base/WideString.h"

#include <string>
#include <vector>

namespace e2e {

// Full path of a file beside the running test executable (the build puts every exe in one folder).
WideString besideThisExe(const wchar_t* fileName);

// A fresh, empty folder under the temporary folder; removed with its contents by removeTree.
WideString makeTempFolder(const wchar_t* prefix);
bool removeTree(const WideString& folder);
bool copyFile(const WideString& from, const WideString& to);

class AppProcess {
public:
    AppProcess() = default;
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;
    AppProcess(AppProcess&&) = default;
    AppProcess& operator=(AppProcess&&) = default;
    // Ends a process that it started and that is still running, so a failed test leaves nothing behind.
    ~AppProcess();

    // Starts `exePath` with `arguments` in `workingFolder` (empty: the exe's folder). No handles are
    // inherited, so the program never holds on to the test runner's output.
    bool start(const WideString& exePath, const WideString& arguments = WideString(),
               const WideString& workingFolder = WideString());
    // Watches a running process (found by name, for instance); it is left running at the end.
    bool attach(DWORD processId);

    DWORD processId() const { return processId_; }
    HANDLE handle() const { return process_.get(); }
    bool running() const;

    // A top-level window of this process with this class and title (null: any), visible or not
    // as asked; polls until `timeoutMs` has passed.
    HWND waitForWindow(const wchar_t* className, const wchar_t* title, DWORD timeoutMs, bool mustBeVisible = true) const;
    std::vector<HWND> topLevelWindows(bool visibleOnly) const;

    // Waits for the process to end; false on time-out. The exit code is stored on success.
    bool waitForExit(DWORD timeoutMs, DWORD* exitCode);
    void terminate();

private:
    ScopedHandle process_;
    DWORD processId_ = 0;
    bool startedHere_ = false;
};

// Process ids of the running processes whose image file name is `exeName` (no folder, any case).
std::vector<DWORD> findProcesses(const wchar_t* exeName);

WideString windowText(HWND window);
WideString windowClassName(HWND window);
HWND control(HWND dialog, int id);
// Presses a button as a click would (BM_CLICK), waiting until the dialog has handled it.
void pressButton(HWND dialog, int id);
// Posts WM_CLOSE, as the caption's close button does.
void closeWindow(HWND window);

// Kernel handles the process holds now, from the system's handle table; -1 when it cannot be read.
int processHandleCount(DWORD processId);
// GDI objects the process holds now, from its GDI handle table; -1 when it cannot be read.
// `process` needs query and read rights.
int processGdiObjectCount(HANDLE process);

// The buttons of a toolbar in any process: their commands and texts, read through memory lent by
// that process.
struct ToolbarButton {
    int command;
    WideString text;
};
std::vector<ToolbarButton> toolbarButtons(HWND toolbar);

// The program's main dialog (the dialog holding the information box 32806) once it shows; null
// when the process ends first or `timeoutMs` passes.
HWND waitForMainDialog(const AppProcess& app, DWORD timeoutMs);
// The full path of a running process's program file; empty when it cannot be read.
WideString processImagePath(DWORD processId);

// An ASCII view of a text for test messages: every other character reads '?'.
std::string narrow(const WideString& text);

}  // namespace e2e
