#pragma once
// The last step of a self-update, run at every start. A downloaded update is started under a name
// that carries "_autoupdate"; that copy ends the running instances, puts itself in place of the
// old program and starts it.

#include "base/WideString.h"
#include "update/UpdateFiles.h"

// True when this start has been handed to the installed copy and the process should end now.
// Returns false and does nothing else when the executable's file name carries no mark (the
// installed program then removes an update that has just put itself in place) or when no
// installed program lies beside the update. When the update cannot be put in place or started,
// it says so and returns false: this process runs on and the installed program stays as it was.
bool completeSelfUpdate(const WideString& commandLine);
