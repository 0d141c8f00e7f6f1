#pragma once
// Slow work (the network, large files) away from the dialog's thread, which keeps serving its
// windows meanwhile, so the program never stops answering.

#include <windows.h>

#include <atomic>
#include <functional>

// Runs `work` on a thread of its own and dispatches this thread's messages until it has ended.
// `owner` (may be null) is disabled meanwhile, so no other command starts. When a quit request
// arrives, `cancel` is set for the work to notice, the wait goes on until the work has ended, and
// the quit request is posted again for the message loop; the result is then false.
bool runWhileServingMessages(HWND owner, const std::function<void()>& work, std::atomic<int>& cancel);
