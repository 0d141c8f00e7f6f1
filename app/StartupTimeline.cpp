#include "app/StartupTimeline.h"

#include <windows.h>

namespace {

// Written and read on the first thread only.
bool recording = false;
int64_t marks[static_cast<int>(StartupStep::count)] = {};

}  // namespace

void recordStartupTimeline() { recording = true; }

void markStartup(StartupStep step) {
    if (!recording) {
        return;
    }
    int64_t& mark = marks[static_cast<int>(step)];
    if (mark == 0) {
        LARGE_INTEGER now{};
        QueryPerformanceCounter(&now);
        mark = now.QuadPart;
    }
}

int64_t startupMark(StartupStep step) { return marks[static_cast<int>(step)]; }
