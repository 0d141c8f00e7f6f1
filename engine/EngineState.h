#pragma once
// The benchmark engine's shared state: the engine state record, the measured results, the engine
// texts, the pseudo-random generator, the run frame (begin and end of a run), the pass timer,
// status messages, the busy animation text and the two error boxes.

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "base/WideString.h"

// Sizes the engine works with.
inline constexpr uint64_t kTestSizeBytes = 524'288'000;      // 500 MiB per pass
inline constexpr int32_t kPatternBlockBytes = 4'194'304;     // 4 MiB
inline constexpr uint64_t kAccessBufferBytes = 104'857'600;  // 100 MiB
inline constexpr uint64_t kAccessCyclesPerChoice = 80'000;   // times (duration index + 1)
inline constexpr DWORD kSampleIntervalMs = 200;              // a sample needs strictly more

// One row of the duration table, by entry of the duration list. The parallel passes and the
// access-time cycles follow from the entry itself (durationIndex), in their own tests.
struct DurationRow {
    int32_t loopCount;
    int32_t passDurationMs;
};
inline constexpr int kDurationChoices = 4;
// Quick, Short, Long, Very long. Very long keeps Short's 4800 ms; it runs longer through its
// parallel passes and access-time cycles only.
inline constexpr DurationRow kDurationTable[kDurationChoices] = {{4, 2400}, {4, 4800}, {4, 7200}, {4, 4800}};
// With no entry selected: this many counted passes, and the pass duration stays as it was.
inline constexpr int32_t kLoopCountWithoutChoice = 2;

// The operating-system calls behind the engine's memory, threads and clocks. The defaults are
// the real calls; a test replaces single entries to fail an allocation, count releases or drive
// a clock. They never change what the engine does with the answers.
struct EngineSystem {
    // Heap memory; on failure returns null with the last error set.
    void* (*allocate)(size_t bytes);
    void (*release)(void* block);
    // CreateThread with default security and stack size.
    HANDLE (*createThread)(LPTHREAD_START_ROUTINE procedure, void* parameter, DWORD flags);
    // timeGetTime: pass lengths and speed samples.
    DWORD(WINAPI* milliseconds)();
    // QueryPerformanceCounter / QueryPerformanceFrequency: access time and parallel phases.
    BOOL(WINAPI* performanceCounter)(LARGE_INTEGER* count);
    BOOL(WINAPI* performanceFrequency)(LARGE_INTEGER* frequency);
};

EngineSystem defaultEngineSystem();

// The one engine state of the process. The three flags are shared between the dialog's thread,
// the run's worker thread and the parallel copy threads; visibility is all they need.
struct EngineState {
    std::atomic<int32_t> running{0};         // the run may continue
    std::atomic<int32_t> busy{0};            // between run begin and run end
    std::atomic<int32_t> passTimerAlive{0};  // the current timed pass has not yet elapsed
    std::atomic<int32_t> controlsLocked{0};  // from a start request until its worker gave the controls back
    uint64_t testSize = 0;                   // bytes of test memory per pass
    int32_t blockSize = 0;                   // bytes of `patternBlock`
    int32_t blockCount = 0;                  // testSize / blockSize
    int32_t loopCount = 2;                   // configured counted passes
    int32_t loops = 0;                       // copy of loopCount taken at run begin
    int32_t passDurationMs = 1500;
    int32_t durationIndex = 1;               // 0 Quick, 1 Short, 2 Long, 3 Very long
    int32_t parallelPasses = 4;              // passes per thread of the parallel benchmark
    uint8_t* patternBlock = nullptr;         // run begin to run end
    uint8_t* testBuffer = nullptr;           // during the parallel benchmark
    uint8_t* readerBlocks = nullptr;         // during the parallel benchmark: one block per reader
    HWND engineWindow = nullptr;             // the main dialog; its thread serves the pass timer
    int32_t testId = 1;                      // command id of the button that started the last run; 1 before any
    HANDLE workerThread = nullptr;           // the current (or last) run's worker, until released

    // Sizes a run uses. The program keeps these defaults; tests make them small.
    uint64_t runTestSize = kTestSizeBytes;             // what run begin puts into testSize
    uint64_t accessBufferSize = kAccessBufferBytes;    // 65,536 accesses per sweep whatever its size
    uint64_t accessCyclesPerChoice = kAccessCyclesPerChoice;
    // What a start request takes for each entry of the duration list.
    DurationRow durationTable[kDurationChoices] = {kDurationTable[0], kDurationTable[1], kDurationTable[2],
                                                   kDurationTable[3]};

    EngineSystem system = defaultEngineSystem();
};

// Measured results: KiB per millisecond for the sequential and random-block slots, whole MiB per
// second for the parallel slots, nanoseconds per access for the access-time slots. 0 = not run.
struct BenchResults {
    double seqRead = 0;
    double seqWrite = 0;
    double rand4kRead = 0;
    double rand4kWrite = 0;
    double rand1kRead = 0;
    double rand1kWrite = 0;
    double par64Read = 0;
    double par64Write = 0;
    double accessReadNs = 0;
    double accessWriteNs = 0;
};

// Texts the engine shows, English until the dialog hands in the current language.
struct EngineTexts {
    WideString textInitialize = L"... Initialize ";
    WideString textSeqRead = L"Sequential Read";
    WideString textSeqWrite = L"Sequential Write";
    WideString textRandRead = L"Random Read";
    WideString textRandWrite = L"Random Write";
    WideString textAllocError = L"Create-File Error";
    WideString textMemoryError = L"Memory Error";
    WideString textAccessTime = L"Access Time";
    WideString textRunNotStarted = L"The test could not be started.";
};

extern EngineState engineState;
extern BenchResults benchResults;
extern EngineTexts engineTexts;

// Language key -> text, or null when the key has no text.
using LanguageLookup = const wchar_t* (*)(int key);
// Replaces each engine text by the text of its language key (5, 6, 7, 8, 9, 11, 14, 17, 160); a key
// without text keeps the text it had. A null lookup restores the English defaults.
void applyEngineTexts(LanguageLookup lookup);

// The engine's 32-bit generator: state = state * 8,253,729 + 2,396,403 (mod 2^32), returns the
// new state; seeded from timeGetTime() inside the first call. Shared by all threads.
uint32_t nextRandom();
// Sets the generator's state (and counts it as seeded).
void setRandomState(uint32_t state);

// Run frame, on the worker thread. After beginRun(), `running` tells whether the run can go on.
void beginRun();
void endRun();

// Sets `passTimerAlive` and starts the one-shot timer 9653 of `passDurationMs` on `engineWindow`.
void startPassTimer();

// Posts message 1026 with the text to `engineWindow`. The dialog copies the text whenever it gets
// to the message, so the pointer posted stays valid and unchanged for the life of the process.
void postStatus(const WideString& text, bool inLParam = false);

// The animation of a busy result label: twice, 0 to 3 times "..", then three spaces.
WideString busyDotsText();

// Message boxes without owner or caption: the text alone, or the text with the line
// "0x%08X:%s" for the last error and its system message.
void showMemoryError(const WideString& text);
void showSystemError(const WideString& text);
