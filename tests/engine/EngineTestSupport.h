#pragma once
// Shared set-up of the engine tests: a fresh engine state with small sizes, a counting allocator
// that can fail a chosen allocation, and the stand-in dialog as `engineWindow`.

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <map>
#include <memory>

#include "engine/EngineState.h"
#include "tests/engine/StandInDialog.h"

namespace engine_test {

inline constexpr uint64_t kMiB = 1'048'576;

struct Allocations {
    int live = 0;
    int total = 0;
    int failAt = 0;     // 1-based number of the allocation that fails; 0: none fails
    int fillByte = -1;  // fill each new block with this byte; -1: leave it as it comes
    std::function<void(size_t bytes)> onAllocate;                  // before the allocation
    std::function<void(void* block, size_t bytes)> onAllocated;    // after a successful one
    std::function<void(void* block, size_t bytes)> onRelease;
    std::map<void*, size_t> sizes;
};
extern Allocations allocations;

void* countingAllocate(size_t bytes);
void countingRelease(void* block);

// True when the user locale of this process is the given one (Wine takes it from LC_ALL).
bool userLocaleIs(LCID locale);

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs `work` on a worker thread while the stand-in dialog is served.
    void onWorker(const std::function<void()>& work) { dialog->runOnWorker(work); }

    std::unique_ptr<StandInDialog> dialog;
};

}  // namespace engine_test
