#include "engine/ErrorCheck.h"

#include <commctrl.h>

#include <cstdlib>

#include "base/DynamicCall.h"
#include "engine/ErrorCheckLoops.h"
#include "engine/ResultDisplay.h"
#include "lang/LanguageChoice.h"

namespace {

using GetPerformanceInfoFunction = BOOL WINAPI(PPERFORMANCE_INFORMATION, DWORD);
// Resolved when the job is created; PSAPI may lack it, and then the memory status has no answer.
GetPerformanceInfoFunction* getPerformanceInfo = nullptr;

static_assert(sizeof(void*) != 8 || sizeof(PERFORMANCE_INFORMATION) == kPerformanceInfoBytes,
              "the record GetPerformanceInfo fills on x64");

bool systemMemoryStatus(PERFORMANCE_INFORMATION& info) {
    info = {};
    info.cb = kPerformanceInfoBytes;
    return getPerformanceInfo && getPerformanceInfo(&info, kPerformanceInfoBytes);
}

void* globalAllocateBlock(size_t bytes) { return GlobalAlloc(GMEM_FIXED, bytes); }

bool globalFreeBlock(void* block) { return GlobalFree(block) == nullptr; }

void setItemText(const ErrorCheckJob& job, int id, const WideString& text) {
    // The window may have been closed; the check then goes on without showing anything.
    if (HWND window = job.window.load(std::memory_order_relaxed)) {
        SetDlgItemTextW(window, id, text.c_str());
    }
}

void setProgress(const ErrorCheckJob& job, int perMille) {
    if (HWND window = job.window.load(std::memory_order_relaxed)) {
        SendDlgItemMessageW(window, kErrorCheckProgress, PBM_SETPOS, static_cast<WPARAM>(perMille), 0);
    }
}

bool cancelled(const ErrorCheckJob& job) { return job.cancelRequested.load(std::memory_order_relaxed) != 0; }

// The C runtime's generator starts from the same seed on every new thread, so the first draw on
// the worker, and with it the fill byte, is the same on every run (41).
uint8_t drawFillByte() { return static_cast<uint8_t>(std::rand() % 255); }

DWORD WINAPI errorCheckThread(void* parameter) {
    runErrorCheck(*static_cast<ErrorCheckJob*>(parameter));
    return 0;
}

// Start a check, or ask the running one to stop.
void startOrCancel(ErrorCheckJob& job) {
    if (job.checkRunning()) {
        job.cancelRequested.store(1, std::memory_order_relaxed);
        return;
    }
    job.cancelRequested.store(0, std::memory_order_relaxed);
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, errorCheckThread, &job, 0, &threadId);
    if (thread) {
        // The previous worker has ended; only its handle is let go.
        job.thread.reset(thread);
        job.threadId = threadId;
    }
}

void bringForward(HWND window) {
    if (IsIconic(window)) {
        ShowWindow(window, SW_RESTORE);
    }
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
}

INT_PTR CALLBACK errorCheckProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* job = reinterpret_cast<ErrorCheckJob*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        job->window.store(window, std::memory_order_relaxed);
        SetWindowTextW(window, languageString(error_check_text::kTitle).c_str());
        SetDlgItemTextW(window, kErrorCheckExitButton, languageString(error_check_text::kExit).c_str());
        SendDlgItemMessageW(window, kErrorCheckProgress, PBM_SETRANGE, 0, MAKELPARAM(0, kErrorCheckProgressRange));
        SendDlgItemMessageW(window, kErrorCheckProgress, PBM_SETPOS, kErrorCheckProgressRange, 0);
        if (job->checkRunning()) {
            // The window was closed while the check ran; this one follows it instead of cancelling it.
            SetDlgItemTextW(window, kErrorCheckStartButton, languageString(error_check_text::kCancelTest).c_str());
        } else {
            SendMessageW(window, WM_COMMAND, kErrorCheckStartButton, 0);
        }
        return TRUE;
    }
    case WM_COMMAND: {
        auto* job = reinterpret_cast<ErrorCheckJob*>(GetWindowLongPtrW(window, DWLP_USER));
        switch (LOWORD(wParam)) {
        case kErrorCheckStartButton:
            if (job) {
                startOrCancel(*job);
            }
            return TRUE;
        case kErrorCheckExitButton:
        case IDCANCEL:
            // A modeless window is destroyed, not ended; a running check goes on without it.
            DestroyWindow(window);
            return TRUE;
        default:
            return FALSE;
        }
    }
    case WM_CLOSE:
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    case WM_DESTROY:
        if (auto* job = reinterpret_cast<ErrorCheckJob*>(GetWindowLongPtrW(window, DWLP_USER))) {
            HWND self = window;
            job->window.compare_exchange_strong(self, nullptr, std::memory_order_relaxed);
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

ErrorCheckSystem defaultErrorCheckSystem() {
    ErrorCheckSystem system;
    system.memoryStatus = systemMemoryStatus;
    system.allocateBlock = globalAllocateBlock;
    system.freeBlock = globalFreeBlock;
    return system;
}

ErrorCheckJob::ErrorCheckJob() : system(defaultErrorCheckSystem()) {
    getPerformanceInfo = systemFunction<GetPerformanceInfoFunction>(L"PSAPI.dll", "GetPerformanceInfo");
}

bool ErrorCheckJob::checkRunning() const {
    return thread.valid() && WaitForSingleObject(thread.get(), 0) == WAIT_TIMEOUT;
}

ErrorCheckJob& errorCheckJob() {
    // Never destroyed: a worker may still be running while the process ends.
    static ErrorCheckJob* job = new ErrorCheckJob;
    return *job;
}

HWND openErrorCheck(HWND owner) {
    ErrorCheckJob& job = errorCheckJob();
    HWND open = job.window.load(std::memory_order_relaxed);
    if (open && IsWindow(open)) {
        if (job.checkRunning()) {
            bringForward(open);
            return open;
        }
        // A finished check's window makes way for the new one, so no stale window drives the job.
        DestroyWindow(open);
    }
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kErrorCheckDialog), owner, errorCheckProc,
                              reinterpret_cast<LPARAM>(&job));
}

void updateMemoryLoad(ErrorCheckJob& job) {
    PERFORMANCE_INFORMATION info{};
    if (!job.system.memoryStatus(info) || info.PhysicalTotal == 0) {
        return;  // no figure to show: the bar keeps what it has
    }
    uint64_t total = info.PhysicalTotal;
    uint64_t available = info.PhysicalAvailable;
    uint64_t used = total > available ? total - available : 0;
    double perMille = static_cast<double>(used) / static_cast<double>(total) * kErrorCheckProgressRange;
    setProgress(job, static_cast<int>(perMille));
}

WideString speedText(SpeedTotals& totals, uint64_t byteCount) { return speedText(totals, byteCount, GetTickCount()); }

WideString speedText(SpeedTotals& totals, uint64_t byteCount, uint32_t nowTick) {
    totals.bytes += byteCount;
    totals.milliseconds += nowTick - totals.startTick;
    // Work done within one tick has no measurable time: show 0.00 rather than divide by zero.
    double blocksPerSecond = 0;
    if (totals.milliseconds != 0) {
        blocksPerSecond = static_cast<double>(totals.bytes) / (static_cast<double>(totals.milliseconds) * 1000) / 1024;
    }
    return WideString::format(L"%ls: %.2f GB / %ls", languageString(error_check_text::kSpeed).c_str(), blocksPerSecond,
                              languageString(error_check_text::kSeconds).c_str());
}

WideString badCountStatusText(uint64_t badCount) {
    return languageString(error_check_text::kBadBytes) + L":" +
           formatLocaleNumber(WideString::format(L"%llu", static_cast<unsigned long long>(badCount)), 0, true);
}

WideString badCountSummaryText(uint64_t badCount) {
    return WideString::format(L"%ls: %llu", languageString(error_check_text::kInvalidBytesTotal).c_str(),
                              static_cast<unsigned long long>(badCount));
}

uint64_t runErrorCheck(ErrorCheckJob& job) {
    const ErrorCheckSystem system = job.system;
    const size_t wordCount = system.blockBytes / sizeof(uint32_t);
    setItemText(job, kErrorCheckStartButton, languageString(error_check_text::kCancelTest));

    const uint8_t fillByte = drawFillByte();
    const uint32_t expected = fillByte * 0x01010101u;
    uint64_t badCount = 0;

    // Room for every block the machine could hold, so the list never grows while memory is short.
    PERFORMANCE_INFORMATION info{};
    if (system.memoryStatus(info)) {
        uint64_t physicalBytes = static_cast<uint64_t>(info.PhysicalTotal) * info.PageSize;
        job.blocks.reserve(static_cast<size_t>(physicalBytes / system.blockBytes) + 2);
    }

    // Fill: take blocks while more than one block of physical memory is free.
    bool stopped = false;
    for (;;) {
        void* block = system.allocateBlock(system.blockBytes);
        if (!block) {
            break;  // no more memory: the fill ends here
        }
        job.blocks.push_back(block);
        SpeedTotals write;
        write.startTick = GetTickCount();
        fillBlock(block, system.blockBytes, fillByte);
        if (cancelled(job)) {
            stopped = true;
            break;
        }
        setItemText(job, kErrorCheckStatus,
                    languageString(error_check_text::kWrite) + L" " + speedText(write, system.blockBytes));
        updateMemoryLoad(job);
        if (!system.memoryStatus(info) ||
            static_cast<uint64_t>(info.PhysicalAvailable) * info.PageSize <= system.blockBytes) {
            break;
        }
    }

    // Check, newest block first; the read speed is the average over the blocks checked so far.
    if (!stopped) {
        SpeedTotals read;
        while (!job.blocks.empty()) {
            if (cancelled(job)) {
                break;
            }
            void* block = job.blocks.back();
            read.startTick = GetTickCount();
            badCount += countBadWords(static_cast<const uint32_t*>(block), wordCount, expected);
            setItemText(job, kErrorCheckStatus,
                        languageString(error_check_text::kRead) + L": " + speedText(read, system.blockBytes));
            updateMemoryLoad(job);
            // A block the system will not take back is still let go of: checking it again would
            // count its bad words twice, and retrying could go on for ever.
            system.freeBlock(block);
            job.blocks.pop_back();
        }
    }

    // After a cancel the blocks left are released unchecked, each once.
    while (!job.blocks.empty()) {
        system.freeBlock(job.blocks.back());
        job.blocks.pop_back();
    }

    setProgress(job, kErrorCheckProgressRange);
    setItemText(job, kErrorCheckStartButton, languageString(error_check_text::kStartTest));
    setItemText(job, kErrorCheckStatus,
                cancelled(job) ? languageString(error_check_text::kTestAborted) : badCountStatusText(badCount));
    setItemText(job, kErrorCheckSummary, badCountSummaryText(badCount));
    return badCount;
}
