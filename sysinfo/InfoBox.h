#pragma once
// The information box of the main dialog: installed memory modules and free/total memory.

#include "base/WideString.h"

// First line of the box when no memory module is known, as a virtual machine reports it.
// The main dialog replaces it with the current language's text when it initialises.
extern WideString unknownRamText;
