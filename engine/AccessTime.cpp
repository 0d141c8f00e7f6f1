#include "engine/AccessTime.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "engine/EngineIds.h"
#include "engine/EngineState.h"
#include "engine/ResultDisplay.h"

namespace {

bool stillRunning() { return engineState.running.load(std::memory_order_relaxed) != 0; }

// Nanoseconds between two performance-counter readings.
double elapsedNs(const LARGE_INTEGER& start, const LARGE_INTEGER& end, const LARGE_INTEGER& frequency) {
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart) * 1'000'000'000;
}

void showBusy(int labelId) {
    if (HWND label = GetDlgItem(engineState.engineWindow, labelId)) {
        SetWindowTextW(label, busyDotsText().c_str());
    }
}

// Sums the sweep times of up to `maxCycles` write-and-read cycles into the two access slots.
// Returns the number of completed cycles, or -1 when a cancel cut a cycle short.
int64_t measureSweeps(uint8_t* buffer, uint64_t stride, uint64_t maxCycles) {
    EngineState& e = engineState;
    BenchResults& r = benchResults;
    auto counter = e.system.performanceCounter;
    LARGE_INTEGER frequency{};
    e.system.performanceFrequency(&frequency);

    // Every access must reach memory: volatile keeps each single-byte store and load.
    volatile uint8_t* bytes = buffer;
    uint8_t lastByte = 0;
    double writeLabelNs = 0;
    double readLabelNs = 0;
    int64_t cycles = 0;
    while (static_cast<uint64_t>(cycles) < maxCycles) {
        if (!stillRunning()) {
            break;
        }
        LARGE_INTEGER t0;
        LARGE_INTEGER t1;
        counter(&t0);
        for (uint64_t offset = 0, k = 0; k < kAccessesPerSweep; ++k, offset += stride) {
            bytes[offset] = lastByte;
        }
        counter(&t1);
        if (!stillRunning()) {
            return -1;
        }
        double writeNs = elapsedNs(t0, t1, frequency);
        writeLabelNs += writeNs;
        if (writeLabelNs > 1'000'000) {
            writeLabelNs = 0;
            showBusy(engine_ids::kAccessReadLabel);
        }

        counter(&t0);
        for (uint64_t offset = 0, k = 0; k < kAccessesPerSweep; ++k, offset += stride) {
            lastByte = bytes[offset];
        }
        counter(&t1);
        if (!stillRunning()) {
            return -1;
        }
        double readNs = elapsedNs(t0, t1, frequency);
        readLabelNs += readNs;
        if (readLabelNs > 1'000'000) {
            readLabelNs = 0;
            showBusy(engine_ids::kAccessWriteLabel);
        }

        r.accessReadNs += readNs;
        r.accessWriteNs += writeNs;
        ++cycles;
        if (accessTimeLimitReached(r.accessReadNs, r.accessWriteNs, e.passDurationMs)) {
            break;
        }
    }
    return cycles;
}

}  // namespace

void runAccessTime() {
    EngineState& e = engineState;
    BenchResults& r = benchResults;
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    r.accessReadNs = r.accessWriteNs = 0;

    // A cancelled run takes no 100 MiB buffer just to find out.
    if (stillRunning()) {
        postStatus(WideString::format(L"... %ls ", engineTexts.textAccessTime.c_str()));

        // (duration index + 1) cycles per choice; no choice, no cycles.
        LRESULT choice = e.engineWindow
                             ? SendDlgItemMessageW(e.engineWindow, engine_ids::kDurationList, CB_GETCURSEL, 0, 0)
                             : CB_ERR;
        uint64_t maxCycles = choice < 0 ? 0 : static_cast<uint64_t>(choice + 1) * e.accessCyclesPerChoice;

        uint64_t bufferBytes = e.accessBufferSize < kAccessesPerSweep ? kAccessesPerSweep : e.accessBufferSize;
        uint64_t stride = bufferBytes >> 16;  // 1600 bytes in 100 MiB
        auto* buffer = static_cast<uint8_t*>(e.system.allocate(static_cast<size_t>(bufferBytes)));
        if (!buffer) {
            showSystemError(engineTexts.textAllocError);
            e.running.store(0, std::memory_order_relaxed);
        } else {
            std::memset(buffer, 0, static_cast<size_t>(bufferBytes));
            int64_t cycles = measureSweeps(buffer, stride, maxCycles);
            if (cycles > 0) {
                r.accessReadNs = r.accessReadNs / static_cast<double>(cycles) * (1.0 / kAccessesPerSweep);
                r.accessWriteNs = r.accessWriteNs / static_cast<double>(cycles) * (1.0 / kAccessesPerSweep);
            } else {
                // Nothing measured (or a cycle cut short): no figure rather than a quotient of 0.
                r.accessReadNs = r.accessWriteNs = 0;
            }
            e.system.release(buffer);
        }
    }
    if (!stillRunning()) {
        r.accessReadNs = r.accessWriteNs = 0;
    }
    refreshResultLabels();
}
