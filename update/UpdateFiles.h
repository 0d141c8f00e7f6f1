#pragma once
// The files of a self-update: a downloaded update waits beside the program under the program's
// name with "_autoupdate" added; once it has put itself in place, the program removes it.

#include "base/WideString.h"

inline constexpr wchar_t kAutoUpdateMark[] = L"_autoupdate";

// The installed program's path for an update's path: the mark taken out of the file name
// (any case); empty when the file name has no mark.
WideString installedPathFor(const WideString& updatePath);
// Where the update of `installedPath` is kept: the mark put in front of the file name's
// extension ("C:\Tools\Brindlecrest.exe" gives "C:\Tools\Brindlecrest_autoupdate.exe").
WideString updatePathFor(const WideString& installedPath);

// True when both files can be read and hold the same bytes.
bool sameFileContents(const WideString& first, const WideString& second);

// Run by the installed program at start-up: removes the update beside it once it is the same as
// the program itself (so it is the copy that has just put itself in place, not a file of the
// user's). The update may still be ending, so a file in use is tried again for a few seconds.
// True when there was such a file and it is gone.
bool removeUpdateLeftover(const WideString& installedPath);
