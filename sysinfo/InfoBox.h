#pragma once
// The information box of the main dialog: installed memory modules and free/total memory.

#include <windows.h>

#include "base/WideString.h"
#include "sysinfo/ModuleTable.h"

#include <cstdint>
#include <optional>

// First line of the box when no memory module is known, as a virtual machine reports it.
// The main dialog replaces it with the current language's text when it initialises.
extern WideString unknownRamText;

// Available and total physical memory in bytes as measured by the last refreshInfoBox that could
// measure them; 0 until then. The results record reports these.
extern uint64_t lastAvailableBytes;
extern uint64_t lastTotalBytes;

// Where refreshInfoBox gets its modules: queryModules, the real WMI query. Tests put in their own
// filler to show scripted modules without WMI.
using ModuleSource = void (*)(ModuleTable& table);
extern ModuleSource moduleSource;

// Joins the dialog's thread to COM's multithreaded apartment, once, before its first module query.
void enterDialogApartment();

// Queries the modules, measures memory and sets the box (control 32806) of `dialog`: one line per
// module, then "\n", the usage line, "\n", "\n". Blocks while WMI answers.
void refreshInfoBox(HWND dialog);

// Command 43106: flips hideSerialNumber, stores it as "no_vol_label", refreshes the box.
void toggleSerialNumbers(HWND dialog);

// One line per row of the module table, numbered downward, each ending in "\r\n"; with no rows,
// unknownRamText and "\r\n".
WideString moduleListText();

struct MemoryFigures {
    uint64_t availableBytes = 0;
    uint64_t totalBytes = 0;
};

// GetPerformanceInfo of PSAPI.dll; nothing when the library, the function or the call fails.
std::optional<MemoryFigures> measureMemory();

// The box text from the module lines and the memory figures in the current language. Without
// figures the usage line is left out rather than showing invented ones.
WideString infoBoxText(const WideString& moduleLines, const std::optional<MemoryFigures>& memory);
