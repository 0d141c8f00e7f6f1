#pragma once

#include "base/WideString.h"

// Full path of the running program's file, however long; empty when the system gives none.
WideString executablePath();

// Starts the program at `path` in its own folder, with `arguments` after its quoted path, and
// lets it run on its own. False when it could not be started.
bool startProgram(const WideString& path, const WideString& arguments = WideString());
