#pragma once
// The last step of a self-update, run at every start. A downloaded update is started under a name
// that carries "_autoupdate"; that copy ends the running instances, puts itself in place of the
// old program and starts it.

#include "base/WideString.h"

inline constexpr wchar_t kAutoUpdateMark[] = L"_autoupdate";

// True when this start has been handed to the installed copy and the process should end now.
// Does nothing and returns false unless the executable's file name carries the mark, or when
// the copy cannot be put in place or started (then this process simply runs on).
bool completeSelfUpdate(const WideString& commandLine);

// The installed program's path for an update's path: the mark taken out of the file name
// (any case); empty when the file name has no mark.
WideString installedPathFor(const WideString& updatePath);
