#pragma once
// The process from its first instruction to its exit code: the start-up steps that WinMain runs
// in order, and the values they leave for the rest of the program.

#include <windows.h>

#include "base/WideString.h"

// The module instance, stored before any window exists.
extern HINSTANCE appInstance;
// A copy of the whole command line. The program has no switches of its own.
extern WideString commandLine;

// Exit codes of the process.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitAfterStoppedRun = 4660;   // the close handling found a stopped run
inline constexpr int kExitRestarted = 65278;        // a new instance replaces this one
inline constexpr int kExitQuitMessage = 17767;      // another program sent `quitMessage`

// The whole run of the program: the start-up steps in their order, then the message loop until
// the quit message. Returns the exit code.
int runProgram(HINSTANCE instance);

// Calls SetProcessDPIAware when this Windows has it; true when the call succeeded.
bool makeProcessDpiAware();

// The common-control classes the dialogs use (list view, tree view, bars, tabs, up-down,
// progress, hot key, animate, date, ComboBoxEx, cool bars), then the classic set.
void initCommonControls();

// Gets every message of the thread, offers it to the accelerators of the window it is for,
// otherwise translates and dispatches it. Returns the quit message's code.
int runMessageLoop(HACCEL accelerators);
