#include "tests/engine/StandInDialog.h"

#include "engine/EngineIds.h"
#include "engine/EngineRun.h"
#include "engine/EngineState.h"

namespace {

constexpr wchar_t kClassName[] = L"BrindlecrestEngineStandIn";

constexpr int kLabelIds[] = {
    engine_ids::kSequentialReadLabel, engine_ids::kRandom4kReadLabel,    engine_ids::kParallelReadLabel,
    engine_ids::kAccessReadLabel,     engine_ids::kSequentialWriteLabel, engine_ids::kRandom4kWriteLabel,
    engine_ids::kParallelWriteLabel,  engine_ids::kAccessWriteLabel,     engine_ids::kRandom1kReadLabel,
    engine_ids::kRandom1kWriteLabel,  engine_ids::kReadRatingLabel,      engine_ids::kWriteRatingLabel,
    engine_ids::kTotalRatingLabel,
};

WNDPROC staticProc = nullptr;

void registerClass() {
    static bool registered = false;
    if (registered) {
        return;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcW;  // replaced per window in the constructor
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);
    registered = true;
}

std::wstring windowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

StandInDialog* dialogOf(HWND window) {
    return reinterpret_cast<StandInDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace

StandInDialog::StandInDialog() {
    registerClass();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    window_ = CreateWindowExW(0, kClassName, L"Brindlecrest engine stand-in", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                              nullptr, nullptr, instance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StandInDialog::windowProc));

    int y = 0;
    for (int id : kLabelIds) {
        HWND label = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_RIGHT, 10, y, 200, 18, window_,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        WNDPROC previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StandInDialog::labelProc)));
        if (!staticProc) {
            staticProc = previous;
        }
        y += 20;
    }
    CreateWindowExW(0, L"STATIC", L"... I'm ready", WS_CHILD | WS_VISIBLE, 10, y, 400, 18, window_,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(engine_ids::kStatusLine)), instance, nullptr);
    HWND durations = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 220, 0, 150, 200,
                                     window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(engine_ids::kDurationList)),
                                     instance, nullptr);
    for (const wchar_t* item : {L"Quick", L"Short", L"Long", L"Very long"}) {
        SendMessageW(durations, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    SendMessageW(durations, CB_SETCURSEL, 1, 0);
    engineState.engineWindow = window_;
    runDialogCalls.setControlsEnabled = &StandInDialog::setControlsEnabled;
    runDialogCalls.runFinished = &StandInDialog::runFinished;
}

StandInDialog::~StandInDialog() {
    if (engineState.engineWindow == window_) {
        engineState.engineWindow = nullptr;
    }
    runDialogCalls = RunDialogCalls{};
    DestroyWindow(window_);
    drainMessages();
}

std::wstring StandInDialog::text(int controlId) const { return windowText(GetDlgItem(window_, controlId)); }

void StandInDialog::selectDuration(int index) {
    SendDlgItemMessageW(window_, engine_ids::kDurationList, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int StandInDialog::setTextCount(int controlId) const {
    auto found = setTextCounts_.find(controlId);
    return found == setTextCounts_.end() ? 0 : found->second;
}

int StandInDialog::timerTicks(UINT_PTR timerId) const {
    auto found = timerTicks_.find(timerId);
    return found == timerTicks_.end() ? 0 : found->second;
}

LRESULT CALLBACK StandInDialog::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    StandInDialog* self = dialogOf(window);
    switch (message) {
    case engine_ids::kStatusMessage:
        // wParam first, then lParam, so lParam wins when both carry a text.
        for (auto pointer : {static_cast<UINT_PTR>(wParam), static_cast<UINT_PTR>(lParam)}) {
            if (pointer) {
                const auto* status = reinterpret_cast<const wchar_t*>(pointer);
                SetDlgItemTextW(window, engine_ids::kStatusLine, status);
                self->statusTexts_.emplace_back(status);
                if (self->onStatus) {
                    self->onStatus(self->statusTexts_.back());
                }
            }
        }
        return 1;
    case engine_ids::kRunEndedMessage:
        ++self->runEndedCount_;
        return 1;
    case engine_ids::kWorkerEndedMessage:
        ++self->workerEndedCount_;
        releaseFinishedWorker(static_cast<DWORD>(wParam));
        return 1;
    case WM_TIMER:
        ++self->timerTicks_[wParam];
        if (wParam == engine_ids::kParallelReadTimer) {
            SetDlgItemTextW(window, engine_ids::kParallelReadLabel, busyDotsText().c_str());
        } else if (wParam == engine_ids::kParallelWriteTimer) {
            SetDlgItemTextW(window, engine_ids::kParallelWriteLabel, busyDotsText().c_str());
        }
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK StandInDialog::labelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) {
        if (StandInDialog* self = dialogOf(GetParent(label))) {
            ++self->setTextCounts_[GetDlgCtrlID(label)];
        }
    }
    return CallWindowProcW(staticProc, label, message, wParam, lParam);
}

void StandInDialog::drainMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void StandInDialog::pump(DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        drainMessages();
    }
}

void StandInDialog::closeMessageBoxes(DWORD threadId) {
    for (auto it = boxesSeen_.begin(); it != boxesSeen_.end();) {
        it = IsWindow(*it) ? std::next(it) : boxesSeen_.erase(it);
    }
    EnumThreadWindows(
        threadId,
        [](HWND box, LPARAM context) -> BOOL {
            auto* self = reinterpret_cast<StandInDialog*>(context);
            wchar_t className[16] = {};
            GetClassNameW(box, className, 16);
            if (wcscmp(className, L"#32770") != 0 || !IsWindowVisible(box) || self->boxesSeen_.count(box)) {
                return TRUE;
            }
            std::wstring texts;
            EnumChildWindows(
                box,
                [](HWND child, LPARAM collected) -> BOOL {
                    wchar_t childClass[16] = {};
                    GetClassNameW(child, childClass, 16);
                    if (_wcsicmp(childClass, L"Static") == 0) {
                        *reinterpret_cast<std::wstring*>(collected) += windowText(child);
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&texts));
            self->messageBoxTexts_.push_back(texts);
            self->boxesSeen_.insert(box);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(this));
}

void StandInDialog::setControlsEnabled(HWND window, bool enabled) {
    if (StandInDialog* self = dialogOf(window)) {
        // From the worker too: the records are read only once the worker has ended.
        self->controlsEnabledCalls_.push_back(enabled);
        self->controlsEnabledThreads_.push_back(GetCurrentThreadId());
    }
}

void StandInDialog::runFinished(HWND window) {
    if (StandInDialog* self = dialogOf(window)) {
        ++self->runFinishedCount_;
        if (self->onRunFinished) {
            self->onRunFinished();
        }
    }
}

bool StandInDialog::serveUntilEnded(HANDLE thread, DWORD timeoutMs) {
    DWORD threadId = GetThreadId(thread);
    DWORD start = GetTickCount();
    for (;;) {
        DWORD woken = MsgWaitForMultipleObjects(1, &thread, FALSE, 10, QS_ALLINPUT);
        drainMessages();
        closeMessageBoxes(threadId);
        if (woken == WAIT_OBJECT_0) {
            break;
        }
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
    }
    drainMessages();
    return true;
}

void StandInDialog::runOnWorker(const std::function<void()>& work) {
    DWORD threadId = 0;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            (*static_cast<const std::function<void()>*>(parameter))();
            return 0;
        },
        const_cast<std::function<void()>*>(&work), 0, &threadId);
    if (!thread) {
        return;
    }
    serveUntilEnded(thread, INFINITE);
    CloseHandle(thread);
}
