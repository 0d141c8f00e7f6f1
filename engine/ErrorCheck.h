#pragma once
// The RAM error check: its job, its window (dialog 171) and its worker thread. The worker takes the
// free physical memory in fixed blocks, fills each with one byte value, reads the blocks back
// newest first and counts the 32-bit words that no longer hold the pattern.

#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/ScopedHandle.h"
#include "base/WideString.h"
#include "engine/ErrorCheckLoops.h"

// Dialog template and controls of the error check window (res/ErrorCheck.rc).
inline constexpr int kErrorCheckDialog = 171;
inline constexpr int kErrorCheckSummary = 1204;    // "....." until the first check ends
inline constexpr int kErrorCheckProgress = 1063;   // physical memory in use, per mille
inline constexpr int kErrorCheckStatus = 44964;    // speed while checking, then the result
inline constexpr int kErrorCheckIcon = 5;
inline constexpr int kErrorCheckStartButton = 1033;  // start, or cancel while a check runs
inline constexpr int kErrorCheckExitButton = 1037;
// Made at run time beside the template's controls: the report of changed words, and the choice of
// the thorough check.
inline constexpr int kErrorCheckDetailsButton = 1210;
inline constexpr int kErrorCheckThoroughBox = 1211;

// The report window (dialog 172): the report as plain text, a copy button and a close button.
inline constexpr int kErrorReportDialog = 172;
inline constexpr int kErrorReportText = 1301;
inline constexpr int kErrorReportCopyButton = 1302;

// Every block is this size; it is also what this window's speed calls a "GB".
inline constexpr size_t kErrorCheckBlockBytes = 1'024'000'000;
inline constexpr int kErrorCheckProgressRange = 1000;
// The size GetPerformanceInfo is given for its record.
inline constexpr DWORD kPerformanceInfoBytes = 104;

// Language keys of the window's texts.
namespace error_check_text {
inline constexpr int kRead = 21;
inline constexpr int kWrite = 22;
inline constexpr int kTitle = 29;
inline constexpr int kCancelTest = 34;
inline constexpr int kStartTest = 35;
inline constexpr int kSpeed = 36;
inline constexpr int kSeconds = 37;
inline constexpr int kBadBytes = 38;
inline constexpr int kTestAborted = 39;
inline constexpr int kExit = 46;
inline constexpr int kInvalidBytesTotal = 249;
inline constexpr int kDetails = 110;
inline constexpr int kThorough = 111;
inline constexpr int kReportTitle = 112;
inline constexpr int kCopy = 113;
inline constexpr int kClose = 114;
inline constexpr int kChangedWords = 115;
inline constexpr int kBlock = 116;
inline constexpr int kOffset = 117;
inline constexpr int kAddress = 118;
inline constexpr int kExpected = 119;
inline constexpr int kActual = 120;
inline constexpr int kDifferingBits = 121;
inline constexpr int kChangesPerBit = 122;
inline constexpr int kBit = 123;
inline constexpr int kOnlyFirstListed = 124;
inline constexpr int kPass = 125;
inline constexpr int kPassFillByte = 126;
inline constexpr int kPassInvertedByte = 127;
inline constexpr int kPassAddress = 128;
inline constexpr int kChanges = 129;
}  // namespace error_check_text

// The operating-system calls behind the check's memory. The defaults are the real ones; a test
// scripts the memory status, hands out ordinary memory in small blocks and fails calls. They never
// change what the check does with the answers.
struct ErrorCheckSystem {
    size_t blockBytes = kErrorCheckBlockBytes;  // a multiple of 4
    // GetPerformanceInfo; false when there is no answer.
    bool (*memoryStatus)(PERFORMANCE_INFORMATION& info) = nullptr;
    // GlobalAlloc(GMEM_FIXED); null on failure.
    void* (*allocateBlock)(size_t bytes) = nullptr;
    // GlobalFree; false when the system refused.
    bool (*freeBlock)(void* block) = nullptr;
    // GetTickCount: the speeds' millisecond ticks.
    DWORD(WINAPI* ticks)() = nullptr;
};

ErrorCheckSystem defaultErrorCheckSystem();

// The one job of the process: the window's and the worker's shared record.
class ErrorCheckJob {
public:
    ErrorCheckJob();
    ErrorCheckJob(const ErrorCheckJob&) = delete;
    ErrorCheckJob& operator=(const ErrorCheckJob&) = delete;

    // True while the last worker thread has not ended.
    bool checkRunning() const;

    ScopedHandle thread;                    // the worker last started
    DWORD threadId = 0;
    std::atomic<int32_t> cancelRequested{0};  // read by the worker between blocks
    std::atomic<HWND> window{nullptr};        // the open error check window, null once it is closed
    ErrorCheckSystem system;                  // read by each worker when it starts
    std::vector<void*> blocks;                // filled blocks, last in first out; the worker's alone
    // Where the last check found changed words. Written by the worker only; the window reads it
    // once the worker has ended (the Details button is enabled only then).
    ChangedWordReport report;
};

// The job, created on first use and kept until the process ends.
ErrorCheckJob& errorCheckJob();

// Opens the error check window owned by `owner`; it starts a check by itself. While a check runs,
// the open window is brought forward instead, and a window opened after the old one was closed
// follows the running check; two checks never run at once. Returns the window.
HWND openErrorCheck(HWND owner);

// The check, on the worker thread: fill, check, release, finish. Returns the bad-word count.
uint64_t runErrorCheck(ErrorCheckJob& job);

// Sets the progress bar to the share of physical memory in use, per mille.
void updateMemoryLoad(ErrorCheckJob& job);

// Running totals of one speed figure.
struct SpeedTotals {
    uint64_t bytes = 0;
    uint32_t milliseconds = 0;
    uint32_t startTick = 0;  // GetTickCount() just before the timed work
};

// Adds `byteCount` and the ticks since `startTick` to the totals and returns
// "Speed: 9.87 GB / sec." for the average so far, in blocks per second.
WideString speedText(SpeedTotals& totals, uint64_t byteCount);
WideString speedText(SpeedTotals& totals, uint64_t byteCount, uint32_t nowTick);

// The report of changed words as plain text (tab-separated columns, CR LF line ends), as the
// report window shows it and the clipboard receives it.
WideString changedWordReportText(const ChangedWordReport& report);

// Shows the report window for the job's last check, owned by `owner`; returns when it closes.
void showErrorReport(HWND owner, const ChangedWordReport& report);

// The result texts: "Bad bytes:1,234,567" (locale grouping) and "Invalid bytes total: 1234567".
WideString badCountStatusText(uint64_t badCount);
WideString badCountSummaryText(uint64_t badCount);
