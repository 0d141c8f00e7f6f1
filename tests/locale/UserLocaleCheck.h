#pragma once
// Checks that this process's user locale is the one its run asked for, number format included.
//
// Under Wine the user locale comes from LC_ALL, but the number format (decimal and grouping
// separators) comes from HKCU\Control Panel\International, which every Wine process rewrites for
// its own locale when it starts. A process of another locale starting later in the same Wine
// session (a service, the desktop) therefore changes the separators under a running test while
// its locale id stays right. The test scripts run one Wine session per locale; this check proves
// it worked, and says so plainly when it did not.

#include "base/WideString.h"

namespace locale_check {

// Empty when the user locale fits `lcAll` (the value of LC_ALL, or null when unset), else a
// message that says what is wrong. Locales it has no table entry for, and an unset LC_ALL (a
// run on Windows itself), pass unchecked. Creates and destroys one hidden window first, so that
// the desktop and the services it brings are up before the separators are read.
WideString userLocaleProblem(const char* lcAll);

}  // namespace locale_check
