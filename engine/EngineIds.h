#pragma once
// Messages, timers and controls that the test engine and the main dialog share. The engine posts
// the messages to and sets the timers on `engineWindow`; the dialog handles them and owns the
// controls the engine writes to.

namespace engine_ids {

// Posted messages (WM_USER + 2 and WM_USER + 3).
inline constexpr unsigned kStatusMessage = 0x0400 + 2;  // wParam or lParam: const wchar_t* status text
inline constexpr unsigned kRunEndedMessage = 0x0400 + 3;  // both parameters 0
// The worker's last act, after the controls are back: its handle may now be closed.
inline constexpr unsigned kWorkerEndedMessage = 0x0400 + 4;  // wParam: the worker's thread id

// Timers on `engineWindow`.
inline constexpr unsigned kPassTimer = 9653;             // one-shot, with the engine's own procedure
inline constexpr unsigned kParallelReadTimer = 21113;    // 50 ms, dialog animates kParallelReadLabel
inline constexpr unsigned kParallelWriteTimer = 21114;   // 50 ms, dialog animates kParallelWriteLabel
inline constexpr unsigned kParallelTimerPeriodMs = 50;

// Controls of the main dialog.
inline constexpr int kStatusLine = 1019;
inline constexpr int kDurationList = 1033;

// Result labels: read column, then write column.
inline constexpr int kSequentialReadLabel = 32791;
inline constexpr int kRandom4kReadLabel = 32792;
inline constexpr int kParallelReadLabel = 32793;
inline constexpr int kAccessReadLabel = 32794;
inline constexpr int kSequentialWriteLabel = 32795;
inline constexpr int kRandom4kWriteLabel = 32796;
inline constexpr int kParallelWriteLabel = 32797;
inline constexpr int kAccessWriteLabel = 32798;
inline constexpr int kRandom1kReadLabel = 32807;
inline constexpr int kRandom1kWriteLabel = 32808;

// Rating labels.
inline constexpr int kReadRatingLabel = 32801;
inline constexpr int kWriteRatingLabel = 32802;
inline constexpr int kTotalRatingLabel = 32803;

}  // namespace engine_ids
