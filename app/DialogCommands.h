#pragma once
// The main dialog after its initialisation: its commands, the test controls a run locks, the end
// of a run, the close handling, the start-check box, the engine's messages and the busy timers.

#include <windows.h>

// Enables or disables the test buttons, the hidden ComboBoxEx and the duration box; Start reads
// "Start" or "Stop" (language keys 15, 16); the run-locked menu items follow; the scanner bar moves
// only while no run is in progress. Start and the start-check box stay usable. Called on the
// dialog's thread when a run starts and on the run's worker when it ends.
void setTestControlsEnabled(HWND dialog, bool enabled);

// On the run's worker after the controls are back: the clock label shows the run's end, and the
// bottom toolbar gets its comparison button (its thank-you button then shows two spaces).
void finishRunInDialog(HWND dialog);

// At the start of the dialog's initialisation: connects the test runs to this dialog and reads
// the start-check choice ("m_test_ram"); a stored 1 opens the error check once the dialog shows.
void initTestControl(HWND dialog);

// Every command of the dialog that this module carries out; false for any other.
bool handleDialogCommand(HWND dialog, int command);

// The engine's messages, the busy timers of the parallel test and this module's own messages.
// True when the message was one of them; `result` is then the dialog procedure's answer.
bool handleRunMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

// Esc and the close box: ends the program when no run is in progress; otherwise asks the run to
// stop and waits for it, dispatching messages, for at most 100 passes of 20 ms in the whole life
// of the dialog. A run that does not stop in time leaves the dialog open.
void handleCloseRequest(HWND dialog);

inline constexpr int kClosePassLimit = 100;
inline constexpr DWORD kClosePassWaitMs = 20;
