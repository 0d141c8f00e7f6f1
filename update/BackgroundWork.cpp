#include "update/BackgroundWork.h"

#include "base/ScopedHandle.h"

namespace {

DWORD WINAPI runWork(void* parameter) {
    (*static_cast<const std::function<void()>*>(parameter))();
    return 0;
}

}  // namespace

bool runWhileServingMessages(HWND owner, const std::function<void()>& work, std::atomic<int>& cancel) {
    ScopedHandle thread(CreateThread(nullptr, 0, runWork, const_cast<std::function<void()>*>(&work), 0, nullptr));
    if (!thread) {
        // No thread to spare: do it here; the windows wait.
        work();
        return true;
    }
    bool wasEnabled = owner && !EnableWindow(owner, FALSE);
    bool quitRequested = false;
    WPARAM quitCode = 0;
    HANDLE handle = thread.get();
    for (;;) {
        DWORD wait = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT);
        if (wait != WAIT_OBJECT_0 + 1) {
            if (wait != WAIT_OBJECT_0) {
                WaitForSingleObject(handle, INFINITE);  // cannot watch the queue: wait for the work alone
            }
            break;
        }
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quitRequested = true;
                quitCode = message.wParam;
                cancel.store(1, std::memory_order_relaxed);
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (wasEnabled) {
        EnableWindow(owner, TRUE);
    }
    if (quitRequested) {
        PostQuitMessage(static_cast<int>(quitCode));
        return false;
    }
    return true;
}
