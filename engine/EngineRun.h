#pragma once
// Test runs: a press of Start or of a single-test button turns into one worker thread that runs
// the chosen sequence between beginRun() and endRun(); a press while a run is in progress is the
// cancel. The run frame itself (beginRun, endRun, the pass timer, status texts) is in
// EngineState.h.

#include <windows.h>

// Commands that request a run: the Start button and the five single-test buttons.
namespace run_commands {
inline constexpr int kFullBenchmark = 6;
inline constexpr int kSequential = 1028;
inline constexpr int kRandom4k = 1029;
inline constexpr int kParallel = 1030;
inline constexpr int kAccessTime = 1032;
inline constexpr int kRandom1k = 1034;
}  // namespace run_commands

// What the main dialog does around a run. The engine calls these with `engineWindow`; the dialog
// fills them in when it initialises. An empty entry is skipped.
struct RunDialogCalls {
    // Disables (false) or re-enables (true) the test controls and turns Start into Stop and back.
    // Called on the dialog's thread at the start and on the worker at the end of a run.
    void (*setControlsEnabled)(HWND dialog, bool enabled) = nullptr;
    // On the worker after the controls are back: the clock label and the comparison button.
    void (*runFinished)(HWND dialog) = nullptr;
};
extern RunDialogCalls runDialogCalls;

// On the dialog's thread, for a press of Start or of a single-test button (`commandId`): starts a
// run of that command's sequence, or, while a run is in progress, asks it to stop.
void requestRun(HWND dialog, int commandId);

// The worker thread's procedure: the sequence for `testId`, then the controls back, the clock and
// the comparison button, then kWorkerEndedMessage to the dialog. Returns 0.
DWORD WINAPI workerMain(LPVOID);

// On the dialog's thread, for kWorkerEndedMessage (wParam: the worker's thread id): closes the
// handle of that worker once it has returned.
void releaseFinishedWorker(DWORD workerThreadId);
