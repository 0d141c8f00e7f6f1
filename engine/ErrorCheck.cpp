#include "engine/ErrorCheck.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <iterator>

#include "base/DynamicCall.h"
#include "engine/ErrorCheckLoops.h"
#include "engine/ResultDisplay.h"
#include "lang/LanguageChoice.h"
#include "settings/Settings.h"

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

void enableItem(const ErrorCheckJob& job, int id, bool enabled) {
    if (HWND window = job.window.load(std::memory_order_relaxed)) {
        EnableWindow(GetDlgItem(window, id), enabled ? TRUE : FALSE);
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
    // The report is the worker's until it ends.
    if (HWND window = job.window.load(std::memory_order_relaxed)) {
        EnableWindow(GetDlgItem(window, kErrorCheckDetailsButton), FALSE);
    }
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

// A control the template does not have, placed in dialog units like the others and given the
// dialog's font.
HWND addControl(HWND window, const wchar_t* className, DWORD style, int id, RECT units, const WideString& text) {
    MapDialogRect(window, &units);
    HWND control = CreateWindowExW(0, className, text.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, units.left,
                                   units.top, units.right - units.left, units.bottom - units.top, window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                   nullptr);
    SendMessageW(control, WM_SETFONT, SendMessageW(window, WM_GETFONT, 0, 0), FALSE);
    return control;
}

// The thorough check box left of the status line, the Details button between Start and Exit.
void addReportControls(HWND window) {
    addControl(window, L"BUTTON", BS_AUTOCHECKBOX, kErrorCheckThoroughBox, RECT{8, 49, 180, 61},
               languageString(error_check_text::kThorough));
    CheckDlgButton(window, kErrorCheckThoroughBox,
                   readIntSetting(kSettingsSection, kSettingRamCheckThorough, 0) == 1 ? BST_CHECKED : BST_UNCHECKED);
    HWND details = addControl(window, L"BUTTON", BS_PUSHBUTTON, kErrorCheckDetailsButton, RECT{294, 73, 346, 87},
                              languageString(error_check_text::kDetails));
    EnableWindow(details, FALSE);
}

INT_PTR CALLBACK errorCheckProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* job = reinterpret_cast<ErrorCheckJob*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        job->window.store(window, std::memory_order_relaxed);
        SetWindowTextW(window, languageString(error_check_text::kTitle).c_str());
        SetDlgItemTextW(window, kErrorCheckExitButton, languageString(error_check_text::kExit).c_str());
        addReportControls(window);
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
        case kErrorCheckThoroughBox:
            // Stored at once; the next check that starts reads it.
            writeIntSetting(kSettingsSection, kSettingRamCheckThorough,
                            IsDlgButtonChecked(window, kErrorCheckThoroughBox) == BST_CHECKED ? 1 : 0);
            return TRUE;
        case kErrorCheckDetailsButton:
            if (job && !job->checkRunning()) {
                showErrorReport(window, job->report);
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
    system.ticks = GetTickCount;
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

namespace {

// One pass of the check: what every word is filled with and compared against.
struct CheckPass {
    CheckPattern pattern;
    uint8_t fillByte;  // the fill passes' byte
    int nameKey;
};

void fillPass(void* block, size_t bytes, const CheckPass& pass) {
    if (pass.pattern == CheckPattern::address) {
        fillAddresses(static_cast<uint32_t*>(block), bytes / sizeof(uint32_t));
    } else {
        fillBlock(block, bytes, pass.fillByte);
    }
}

uint64_t checkPass(const void* block, size_t words, const CheckPass& pass, ChangedWordReport& report,
                   uint32_t blockNumber) {
    const auto* data = static_cast<const uint32_t*>(block);
    if (pass.pattern == CheckPattern::address) {
        return checkAddresses(data, words, &report, blockNumber);
    }
    return checkWords(data, words, pass.fillByte * 0x01010101u, &report, blockNumber);
}

}  // namespace

uint64_t runErrorCheck(ErrorCheckJob& job) {
    const ErrorCheckSystem system = job.system;
    DWORD(WINAPI* const ticks)() = system.ticks ? system.ticks : GetTickCount;
    const size_t wordCount = system.blockBytes / sizeof(uint32_t);
    setItemText(job, kErrorCheckStartButton, languageString(error_check_text::kCancelTest));

    const uint8_t fillByte = drawFillByte();
    uint64_t badCount = 0;
    job.report.clear();

    // The thorough check adds the inverted byte (a bit stuck at the value the fill byte already
    // holds there shows in one of the two) and every word's own address (an address line fault
    // makes words hold another word's address), each over the same blocks.
    const bool thorough = readIntSetting(kSettingsSection, kSettingRamCheckThorough, 0) == 1;
    const CheckPass allPasses[] = {
        {CheckPattern::fillByte, fillByte, error_check_text::kPassFillByte},
        {CheckPattern::invertedByte, static_cast<uint8_t>(~fillByte), error_check_text::kPassInvertedByte},
        {CheckPattern::address, 0, error_check_text::kPassAddress},
    };
    const int passCount = thorough ? 3 : 1;

    // Room for every block the machine could hold, so the list never grows while memory is short.
    PERFORMANCE_INFORMATION info{};
    if (system.memoryStatus(info)) {
        uint64_t physicalBytes = static_cast<uint64_t>(info.PhysicalTotal) * info.PageSize;
        job.blocks.reserve(static_cast<size_t>(physicalBytes / system.blockBytes) + 2);
    }

    bool stopped = false;
    for (int passIndex = 0; passIndex < passCount && !stopped; ++passIndex) {
        const CheckPass& pass = allPasses[passIndex];
        const bool lastPass = passIndex + 1 == passCount;
        // The thorough check names its pass in the summary line and in front of each speed.
        WideString prefix;
        if (thorough) {
            prefix = WideString::format(L"%d/%d ", passIndex + 1, passCount);
            setItemText(job, kErrorCheckSummary,
                        WideString::format(L"%ls %d/%d: %ls", languageString(error_check_text::kPass).c_str(),
                                           passIndex + 1, passCount, languageString(pass.nameKey).c_str()));
        }
        auto showWriteSpeed = [&](SpeedTotals& write) {
            setItemText(job, kErrorCheckStatus,
                        prefix + languageString(error_check_text::kWrite) + L" " +
                            speedText(write, system.blockBytes, ticks()));
        };

        if (passIndex == 0) {
            // Fill: take blocks while more than one block of physical memory is free.
            for (;;) {
                void* block = system.allocateBlock(system.blockBytes);
                if (!block) {
                    break;  // no more memory: the fill ends here
                }
                job.blocks.push_back(block);
                SpeedTotals write;
                write.startTick = ticks();
                fillPass(block, system.blockBytes, pass);
                if (cancelled(job)) {
                    stopped = true;
                    break;
                }
                showWriteSpeed(write);
                updateMemoryLoad(job);
                if (!system.memoryStatus(info) ||
                    static_cast<uint64_t>(info.PhysicalAvailable) * info.PageSize <= system.blockBytes) {
                    break;
                }
            }
        } else {
            // Later passes fill the blocks already taken, in the order they were taken.
            for (void* block : job.blocks) {
                SpeedTotals write;
                write.startTick = ticks();
                fillPass(block, system.blockBytes, pass);
                if (cancelled(job)) {
                    stopped = true;
                    break;
                }
                showWriteSpeed(write);
                updateMemoryLoad(job);
            }
        }
        if (stopped) {
            break;
        }

        // Check, newest block first; the read speed is the average over the blocks checked so far
        // in this pass. The last pass frees each block once it is checked.
        SpeedTotals read;
        for (size_t index = job.blocks.size(); index > 0; --index) {
            if (cancelled(job)) {
                stopped = true;
                break;
            }
            void* block = job.blocks[index - 1];
            read.startTick = ticks();
            badCount += checkPass(block, wordCount, pass, job.report, static_cast<uint32_t>(index));
            setItemText(job, kErrorCheckStatus,
                        prefix + languageString(error_check_text::kRead) + L": " +
                            speedText(read, system.blockBytes, ticks()));
            updateMemoryLoad(job);
            if (lastPass) {
                // A block the system will not take back is still let go of: checking it again
                // would count its bad words twice, and retrying could go on for ever.
                system.freeBlock(block);
                job.blocks.pop_back();
            }
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
    enableItem(job, kErrorCheckDetailsButton, job.report.total != 0);
    return badCount;
}

WideString changedWordReportText(const ChangedWordReport& report) {
    namespace t = error_check_text;
    auto text = [](int key) { return languageString(key); };
    WideString out = text(t::kReportTitle) + L"\r\n";
    out += text(t::kChangedWords) + L": " +
           formatLocaleNumber(WideString::format(L"%llu", static_cast<unsigned long long>(report.total)), 0, true) +
           L"\r\n\r\n";
    out += text(t::kBlock) + L"\t" + text(t::kOffset) + L"\t" + text(t::kAddress) + L"\t" + text(t::kExpected) +
           L"\t" + text(t::kActual) + L"\t" + text(t::kDifferingBits) + L"\r\n";
    for (size_t i = 0; i < report.listedCount; ++i) {
        const ChangedWord& word = report.listed[i];
        out += WideString::format(L"%u\t0x%08llX\t0x%016llX\t0x%08X\t0x%08X\t0x%08X\r\n", word.block,
                                  static_cast<unsigned long long>(word.offset),
                                  static_cast<unsigned long long>(word.address), word.expected, word.actual,
                                  word.mask());
    }
    if (report.total > report.listedCount) {
        out += text(t::kOnlyFirstListed) + L"\r\n";
    }
    out += L"\r\n" + text(t::kChangesPerBit) + L"\r\n" + text(t::kBit) + L"\t" + text(t::kChanges) + L"\r\n";
    for (size_t bit = 0; bit < report.bitCounts.size(); ++bit) {
        out += WideString::format(L"%u\t%llu\r\n", static_cast<unsigned>(bit),
                                  static_cast<unsigned long long>(report.bitCounts[bit]));
    }
    return out;
}

namespace {

// Plain text for other programs; false when the clipboard could not be had.
bool copyToClipboard(HWND owner, const WideString& text) {
    const size_t bytes = (static_cast<size_t>(text.length()) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) {
        return false;
    }
    if (void* target = GlobalLock(memory)) {
        std::memcpy(target, text.c_str(), bytes);
        GlobalUnlock(memory);
    }
    if (!OpenClipboard(owner)) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!placed) {
        GlobalFree(memory);  // the clipboard owns it only once it took it
    }
    return placed;
}

INT_PTR CALLBACK errorReportProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        const auto* text = reinterpret_cast<const WideString*>(lParam);
        SetWindowTextW(window, languageString(error_check_text::kReportTitle).c_str());
        SetDlgItemTextW(window, kErrorReportCopyButton, languageString(error_check_text::kCopy).c_str());
        SetDlgItemTextW(window, IDCANCEL, languageString(error_check_text::kClose).c_str());
        // Columns: block, offset, address, expected, actual, bits (dialog units).
        const int tabStops[] = {28, 76, 164, 212, 260};
        SendDlgItemMessageW(window, kErrorReportText, EM_SETTABSTOPS, std::size(tabStops),
                            reinterpret_cast<LPARAM>(tabStops));
        SetDlgItemTextW(window, kErrorReportText, text->c_str());
        // Focus on Close rather than the text, which a dialog would otherwise select as a whole.
        SetFocus(GetDlgItem(window, IDCANCEL));
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kErrorReportCopyButton:
            copyToClipboard(window, *reinterpret_cast<const WideString*>(GetWindowLongPtrW(window, DWLP_USER)));
            return TRUE;
        case IDCANCEL:
        case IDOK:
            EndDialog(window, LOWORD(wParam));
            return TRUE;
        default:
            return FALSE;
        }
    case WM_CLOSE:
        EndDialog(window, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void showErrorReport(HWND owner, const ChangedWordReport& report) {
    // The text is made once: what the window shows is what the clipboard gets.
    const WideString text = changedWordReportText(report);
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kErrorReportDialog), owner, errorReportProc,
                    reinterpret_cast<LPARAM>(&text));
}
