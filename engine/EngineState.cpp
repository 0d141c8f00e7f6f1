#include "engine/EngineState.h"

#include <mmsystem.h>  // timeGetTime (left out by WIN32_LEAN_AND_MEAN)

#include <cstdlib>

namespace {

void* heapAllocate(size_t bytes) {
    void* block = HeapAlloc(GetProcessHeap(), 0, bytes);
    if (!block) {
        // HeapAlloc does not set the last error; the error box shows it.
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return block;
}

void heapRelease(void* block) {
    if (block) {
        HeapFree(GetProcessHeap(), 0, block);
    }
}

HANDLE createThread(LPTHREAD_START_ROUTINE procedure, void* parameter, DWORD flags) {
    return CreateThread(nullptr, 0, procedure, parameter, flags, nullptr);
}

// Concurrent callers may interleave their steps; each step is still a whole load and store.
std::atomic<uint32_t> randomState{0};
std::atomic<int32_t> randomSeeded{0};

constexpr uint32_t kRandomMultiplier = 0x7DF121;  // 8,253,729
constexpr uint32_t kRandomIncrement = 0x2490F3;   // 2,396,403

}  // namespace

EngineSystem defaultEngineSystem() {
    return EngineSystem{heapAllocate, heapRelease, createThread, timeGetTime, QueryPerformanceCounter,
                        QueryPerformanceFrequency};
}

EngineState engineState;
BenchResults benchResults;
EngineTexts engineTexts;

void applyEngineTexts(LanguageLookup lookup) {
    engineTexts = EngineTexts{};
    if (!lookup) {
        return;
    }
    struct Entry {
        WideString EngineTexts::*text;
        int key;
    };
    static constexpr Entry entries[] = {
        {&EngineTexts::textInitialize, 5}, {&EngineTexts::textSeqRead, 6},      {&EngineTexts::textSeqWrite, 7},
        {&EngineTexts::textRandRead, 8},   {&EngineTexts::textRandWrite, 9},    {&EngineTexts::textAllocError, 11},
        {&EngineTexts::textMemoryError, 14}, {&EngineTexts::textAccessTime, 17},
        {&EngineTexts::textRunNotStarted, 160},
    };
    for (const Entry& entry : entries) {
        if (const wchar_t* text = lookup(entry.key)) {
            engineTexts.*entry.text = text;
        }
    }
}

uint32_t nextRandom() {
    if (!randomSeeded.load(std::memory_order_relaxed)) {
        randomState.store(timeGetTime(), std::memory_order_relaxed);
        randomSeeded.store(1, std::memory_order_relaxed);
    }
    uint32_t next = randomState.load(std::memory_order_relaxed) * kRandomMultiplier + kRandomIncrement;
    randomState.store(next, std::memory_order_relaxed);
    return next;
}

void setRandomState(uint32_t state) {
    randomState.store(state, std::memory_order_relaxed);
    randomSeeded.store(1, std::memory_order_relaxed);
}

WideString busyDotsText() {
    WideString text;
    for (int twice = 0; twice < 2; ++twice) {
        int pairs = std::rand() % 4;
        for (int i = 0; i < pairs; ++i) {
            text += L"..";
        }
        text += L"   ";
    }
    return text;
}
