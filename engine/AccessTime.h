#pragma once
// The access-time test: the average time of one single-byte store and one single-byte load at
// widely spaced addresses, in nanoseconds, into `accessWriteNs` and `accessReadNs`.

#include <cstdint>

// Accesses of one sweep, whatever the buffer size: the per-access figure divides by this.
inline constexpr uint32_t kAccessesPerSweep = 65'536;

// The whole test including the final label refresh; on the worker thread after beginRun().
void runAccessTime();

// The test stops once both summed sweep times, in milliseconds, are strictly above the pass
// duration.
constexpr bool accessTimeLimitReached(double readTotalNs, double writeTotalNs, int32_t passDurationMs) {
    return readTotalNs / 1'000'000 > passDurationMs && writeTotalNs / 1'000'000 > passDurationMs;
}
