#pragma once

#include "base/WideString.h"

// Full path of the running program's file, however long; empty when the system gives none.
WideString executablePath();
