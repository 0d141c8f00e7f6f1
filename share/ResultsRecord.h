#pragma once
// The results record: one text of "key=value" lines with the measured results, the machine and
// the program run, built afresh for every comparison page. Nothing of it is stored.

#include "base/WideString.h"
#include "engine/EngineState.h"
#include "sysinfo/WmiQuery.h"

#include <cstdint>
#include <vector>

// Everything the record reports, gathered at one moment.
struct RecordInputs {
    BenchResults results;
    WideString sessionId;
    bool virtualMachine = false;
    unsigned osMajor = 0;
    unsigned osMinor = 0;
    unsigned osBuild = 0;
    unsigned osProductType = 0;
    WideString hardwareSection;
    uint64_t availableBytes = 0;
    uint64_t totalBytes = 0;
    int durationIndex = 0;
    WideString programTitle;
    int testId = 0;
};

// The record from the current results, the session id, the Windows version read at start, the
// hardware section (three WMI queries: blocks), the information box's last memory figures, the
// duration choice, the program title and the last test run.
WideString buildResultsRecord();

// The operating system, the processor and every memory module as WMI reports them now.
WideString buildHardwareSection();

// The record's text for given inputs.
WideString resultsRecordText(const RecordInputs& inputs);

// The hardware section's text from the first operating-system row, the first processor row and
// the memory-module rows (none: two "Unknown" lines and Memory=1).
WideString hardwareSectionText(WmiRow& operatingSystem, WmiRow& processor, std::vector<WmiRow>& modules);

// "%f" with six decimals and always a point, whatever locale the C library runs in.
WideString fixedSixDecimals(double value);
