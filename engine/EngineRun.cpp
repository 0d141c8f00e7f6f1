// Test runs from a button press to their end; the run frame, the pass timer, status messages and
// the error boxes.
#include "engine/EngineRun.h"

#include <commctrl.h>

#include <mutex>
#include <vector>

#include "engine/AccessTime.h"
#include "engine/BlockBenchmarks.h"
#include "engine/EngineIds.h"
#include "engine/EngineState.h"
#include "engine/ParallelBenchmark.h"
#include "engine/ResultDisplay.h"
#include "settings/Settings.h"

namespace {

// Status texts are posted, and the dialog reads them whenever it gets to the message: a text the
// worker rewrote or freed in the meantime would be read torn or after release. So every distinct
// text is kept once, unchanged, for the life of the process; a run posts only a few dozen.
class LastingTexts {
public:
    const wchar_t* keep(const WideString& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const WideString& kept : texts_) {
            if (kept == text) {
                return kept.c_str();
            }
        }
        // Moving a string keeps its buffer, so pointers handed out earlier stay valid.
        texts_.push_back(text);
        return texts_.back().c_str();
    }

private:
    std::mutex mutex_;
    std::vector<WideString> texts_;
};

LastingTexts& lastingTexts() {
    static LastingTexts texts;
    return texts;
}

void CALLBACK passTimerProc(HWND window, UINT, UINT_PTR id, DWORD) {
    if (id != engine_ids::kPassTimer) {
        return;
    }
    // The timer goes first: once the flag drops, the worker may start its next pass at once, and
    // its new timer under the same id must not be the one killed here.
    KillTimer(window, engine_ids::kPassTimer);
    engineState.passTimerAlive.store(0, std::memory_order_relaxed);
}

bool stillRunning() { return engineState.running.load(std::memory_order_relaxed) != 0; }

void runFullBenchmark() {
    BenchResults& r = benchResults;
    beginRun();
    if (stillRunning()) runSequential();
    if (stillRunning()) runRandomBlocks(4, r.rand4kRead, r.rand4kWrite);
    if (stillRunning()) runRandomBlocks(1, r.rand1kRead, r.rand1kWrite);
    if (stillRunning()) runParallel(r.par64Read, r.par64Write);
    if (stillRunning()) runAccessTime();
    refreshResultLabels();
    endRun();
}

template <class Test>
void runSingleTest(Test test) {
    beginRun();
    if (stillRunning()) {
        test();
        refreshResultLabels();
    }
    endRun();
}

// Closing the handle of a worker that is still finishing (clock, toolbar) does not stop it.
void closeWorkerHandle() {
    if (engineState.workerThread) {
        CloseHandle(engineState.workerThread);
        engineState.workerThread = nullptr;
    }
}

// The worker posts its last message just before it returns; it has nothing left to do.
constexpr DWORD kWorkerEndWaitMs = 1000;

}  // namespace

RunDialogCalls runDialogCalls;

void requestRun(HWND dialog, int commandId) {
    EngineState& e = engineState;
    Sleep(10);
    // A run counts as in progress from this request on, not only once the worker has reached
    // beginRun(), and until its worker has given the controls back: a press in between is a
    // cancel, never a second worker, and no late re-enabling can unlock the next run's controls.
    if (e.busy.load(std::memory_order_relaxed) || e.running.load(std::memory_order_relaxed) ||
        e.controlsLocked.load(std::memory_order_relaxed)) {
        e.running.store(0, std::memory_order_relaxed);
        return;
    }
    closeWorkerHandle();
    e.running.store(1, std::memory_order_relaxed);
    e.controlsLocked.store(1, std::memory_order_relaxed);
    e.engineWindow = dialog;

    LRESULT entry = SendDlgItemMessageW(dialog, engine_ids::kDurationList, CB_GETCURSEL, 0, 0);
    e.loopCount = kLoopCountWithoutChoice;
    if (entry >= 0 && entry < kDurationChoices) {
        e.loopCount = e.durationTable[entry].loopCount;
        e.passDurationMs = e.durationTable[entry].passDurationMs;
    }
    writeIntSetting(kSettingsSection, kSettingTestTime, static_cast<int>(entry));
    e.testId = commandId;

    if (runDialogCalls.setControlsEnabled) {
        runDialogCalls.setControlsEnabled(dialog, false);
    }
    e.workerThread = e.system.createThread(workerMain, nullptr, 0);
    if (!e.workerThread) {
        // Without a worker nothing would ever give the controls back.
        showSystemError(engineTexts.textRunNotStarted);
        e.running.store(0, std::memory_order_relaxed);
        if (runDialogCalls.setControlsEnabled) {
            runDialogCalls.setControlsEnabled(dialog, true);
        }
        e.controlsLocked.store(0, std::memory_order_relaxed);
    }
}

DWORD WINAPI workerMain(LPVOID) {
    EngineState& e = engineState;
    HWND dialog = e.engineWindow;
    e.durationIndex = static_cast<int32_t>(SendDlgItemMessageW(dialog, engine_ids::kDurationList, CB_GETCURSEL, 0, 0));

    BenchResults& r = benchResults;
    switch (e.testId) {
    case run_commands::kFullBenchmark:
        runFullBenchmark();
        break;
    case run_commands::kSequential:
        runSingleTest([] { runSequential(); });
        break;
    case run_commands::kRandom4k:
        runSingleTest([&r] { runRandomBlocks(4, r.rand4kRead, r.rand4kWrite); });
        break;
    case run_commands::kRandom1k:
        runSingleTest([&r] { runRandomBlocks(1, r.rand1kRead, r.rand1kWrite); });
        break;
    case run_commands::kParallel:
        runSingleTest([&r] { runParallel(r.par64Read, r.par64Write); });
        break;
    case run_commands::kAccessTime:
        // The access-time test finds a cancelled run itself and shows its empty labels.
        beginRun();
        runAccessTime();
        endRun();
        break;
    default:
        // Not a test command: no run, and the flags go down as after one.
        e.running.store(0, std::memory_order_relaxed);
        break;
    }

    if (runDialogCalls.setControlsEnabled) {
        runDialogCalls.setControlsEnabled(dialog, true);
    }
    // From here on a press starts the next run, even before this worker has returned.
    e.controlsLocked.store(0, std::memory_order_relaxed);
    if (runDialogCalls.runFinished) {
        runDialogCalls.runFinished(dialog);
    }
    if (dialog) {
        PostMessageW(dialog, engine_ids::kWorkerEndedMessage, GetCurrentThreadId(), 0);
    }
    return 0;
}

void releaseFinishedWorker(DWORD workerThreadId) {
    HANDLE thread = engineState.workerThread;
    // The notice of an earlier worker must not make the dialog wait for a newer one.
    if (!thread || GetThreadId(thread) != workerThreadId) {
        return;
    }
    if (WaitForSingleObject(thread, kWorkerEndWaitMs) == WAIT_OBJECT_0) {
        closeWorkerHandle();
    }
}

void beginRun() {
    EngineState& e = engineState;
    e.busy.store(1, std::memory_order_relaxed);
    e.loops = e.loopCount;
    e.blockSize = kPatternBlockBytes;
    // A test may ask for a smaller test memory; it stays whole blocks, at least one.
    uint64_t block = static_cast<uint64_t>(e.blockSize);
    e.testSize = e.runTestSize < block ? block : e.runTestSize - e.runTestSize % block;
    e.blockCount = static_cast<int32_t>(e.testSize / block);

    e.patternBlock = static_cast<uint8_t*>(e.system.allocate(static_cast<size_t>(e.blockSize)));
    if (!e.patternBlock) {
        showMemoryError(engineTexts.textMemoryError);
        e.running.store(0, std::memory_order_relaxed);
        return;
    }
    auto* words = reinterpret_cast<uint32_t*>(e.patternBlock);
    for (int32_t i = 0; i < e.blockSize / 4; ++i) {
        words[i] = nextRandom();
    }
    postStatus(engineTexts.textInitialize);
}

void endRun() {
    EngineState& e = engineState;
    if (e.patternBlock) {
        e.system.release(e.patternBlock);
        e.patternBlock = nullptr;
    }
    postStatus(WideString(), true);
    if (e.engineWindow) {
        PostMessageW(e.engineWindow, engine_ids::kRunEndedMessage, 0, 0);
    }
    e.running.store(0, std::memory_order_relaxed);
    e.busy.store(0, std::memory_order_relaxed);
}

void startPassTimer() {
    engineState.passTimerAlive.store(1, std::memory_order_relaxed);
    SetTimer(engineState.engineWindow, engine_ids::kPassTimer, static_cast<UINT>(engineState.passDurationMs),
             passTimerProc);
}

void postStatus(const WideString& text, bool inLParam) {
    HWND window = engineState.engineWindow;
    if (!window) {
        return;
    }
    auto pointer = reinterpret_cast<UINT_PTR>(lastingTexts().keep(text));
    PostMessageW(window, engine_ids::kStatusMessage, inLParam ? 0 : static_cast<WPARAM>(pointer),
                 inLParam ? static_cast<LPARAM>(pointer) : 0);
}

void showMemoryError(const WideString& text) { MessageBoxW(nullptr, text.c_str(), nullptr, MB_OK); }

void showSystemError(const WideString& text) {
    DWORD code = GetLastError();
    wchar_t* systemMessage = nullptr;
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&systemMessage), 0, nullptr);
    WideString box = text + L"\r\n";
    box.appendFormat(L"0x%08X:%ls", static_cast<unsigned>(code), systemMessage ? systemMessage : L"");
    MessageBoxW(nullptr, box.c_str(), nullptr, MB_OK);
    if (systemMessage) {
        LocalFree(systemMessage);
    }
}
