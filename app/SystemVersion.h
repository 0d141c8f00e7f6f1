#pragma once
// What the main dialog's caption says about the machine: the Windows version and whether the
// processor runs under a hypervisor.

#include "base/WideString.h"

struct OsVersion {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned build = 0;
    bool workstation = true;  // false on server editions
    unsigned productType = 1;  // 1 workstation, 2 domain controller, 3 server
};

// From RtlGetVersion, which tells the truth whatever the manifest says; from GetVersionExW
// on a system without it.
OsVersion currentOsVersion();
// The version as read at the first call, kept for the rest of the run.
const OsVersion& osVersionAtStart();

// The hypervisor-present bit: bit 31 of ECX of CPUID leaf 1.
bool isVirtualMachine();

// "<title> - x64[ V-PC] - OS:<major>.<minor>.<build>[ Server]".
WideString dialogCaption(const wchar_t* title, bool virtualMachine, const OsVersion& version);
