#pragma once
// A stand-in for the main dialog: a real window with the controls the engine writes to (result and
// rating labels, status line, duration list), which handles the engine's messages 1026, 1027 and
// the worker's end and the animation timers 21113 and 21114 the way the dialog does. It becomes
// `engineWindow` while it lives, and takes the dialog's part around a run (runDialogCalls): it
// records each enabling and disabling of the controls and each finished run.
//
// The engine runs on a worker thread and talks to the window with sent and posted messages, so
// the window's thread must keep serving it: runOnWorker() does that, and closes (and records)
// the message boxes the worker opens.

#include <windows.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

class StandInDialog {
public:
    StandInDialog();
    ~StandInDialog();
    StandInDialog(const StandInDialog&) = delete;
    StandInDialog& operator=(const StandInDialog&) = delete;

    HWND window() const { return window_; }
    std::wstring text(int controlId) const;
    // Selects an entry of the duration list; -1 selects none.
    void selectDuration(int index);

    // WM_SETTEXT messages a label has received since the window was made.
    int setTextCount(int controlId) const;
    // Every status text in the order the window showed it (the empty one of a run's end too).
    const std::vector<std::wstring>& statusTexts() const { return statusTexts_; }
    int runEndedCount() const { return runEndedCount_; }
    int timerTicks(UINT_PTR timerId) const;
    // Called on the window's thread after each status text has been shown.
    std::function<void(const std::wstring&)> onStatus;

    // Runs `work` on a thread of its own while this thread serves the window; returns when the
    // work is done and every message it posted has been handled.
    void runOnWorker(const std::function<void()>& work);
    // Serves the window (and closes the thread's message boxes) until `thread` has ended and
    // every message it posted has been handled. False when it runs past `timeoutMs`. Any other
    // waitable handle works too: then until it is signalled.
    bool serveUntilEnded(HANDLE thread, DWORD timeoutMs = 120'000);

    // The run's calls into the dialog, in order: false when the controls were disabled, true
    // when they were enabled again.
    const std::vector<bool>& controlsEnabledCalls() const { return controlsEnabledCalls_; }
    // Threads that made those calls, in the same order.
    const std::vector<DWORD>& controlsEnabledThreads() const { return controlsEnabledThreads_; }
    int runFinishedCount() const { return runFinishedCount_; }
    // Called on the run's worker at the end of each run, after the controls are back.
    std::function<void()> onRunFinished;
    int workerEndedCount() const { return workerEndedCount_; }
    // Serves the window for a while.
    void pump(DWORD milliseconds);
    // Texts of the message boxes the worker showed (each closed with OK).
    const std::vector<std::wstring>& messageBoxTexts() const { return messageBoxTexts_; }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK labelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam);
    void drainMessages();
    void closeMessageBoxes(DWORD threadId);
    static void setControlsEnabled(HWND window, bool enabled);
    static void runFinished(HWND window);

    HWND window_ = nullptr;
    std::vector<std::wstring> statusTexts_;
    std::vector<std::wstring> messageBoxTexts_;
    std::set<HWND> boxesSeen_;
    std::map<int, int> setTextCounts_;
    std::map<UINT_PTR, int> timerTicks_;
    int runEndedCount_ = 0;
    std::vector<bool> controlsEnabledCalls_;
    std::vector<DWORD> controlsEnabledThreads_;
    int runFinishedCount_ = 0;
    int workerEndedCount_ = 0;
};
