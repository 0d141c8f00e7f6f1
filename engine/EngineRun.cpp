// Run begin and end, the pass timer, status messages and the error boxes.
#include <mutex>
#include <vector>

#include "engine/EngineIds.h"
#include "engine/EngineState.h"

namespace {

// Status texts are posted, and the dialog reads them whenever it gets to the message: a text the
// worker rewrote or freed in the meantime would be read torn or after release. So every distinct
// text is kept once, unchanged, for the life of the process; a run posts only a few dozen.
class LastingTexts {
public:
    const wchar_t* keep(const WideString& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const WideString& kept : texts_) {
            if (kept == text) {
                return kept.c_str();
            }
        }
        // Moving a string keeps its buffer, so pointers handed out earlier stay valid.
        texts_.push_back(text);
        return texts_.back().c_str();
    }

private:
    std::mutex mutex_;
    std::vector<WideString> texts_;
};

LastingTexts& lastingTexts() {
    static LastingTexts texts;
    return texts;
}

void CALLBACK passTimerProc(HWND window, UINT, UINT_PTR id, DWORD) {
    if (id != engine_ids::kPassTimer) {
        return;
    }
    engineState.passTimerAlive.store(0, std::memory_order_relaxed);
    KillTimer(window, engine_ids::kPassTimer);
}

}  // namespace

void beginRun() {
    EngineState& e = engineState;
    e.busy.store(1, std::memory_order_relaxed);
    e.loops = e.loopCount;
    e.blockSize = kPatternBlockBytes;
    // A test may ask for a smaller test memory; it stays whole blocks, at least one.
    uint64_t block = static_cast<uint64_t>(e.blockSize);
    e.testSize = e.runTestSize < block ? block : e.runTestSize - e.runTestSize % block;
    e.blockCount = static_cast<int32_t>(e.testSize / block);

    e.patternBlock = static_cast<uint8_t*>(e.system.allocate(static_cast<size_t>(e.blockSize)));
    if (!e.patternBlock) {
        showMemoryError(engineTexts.textMemoryError);
        e.running.store(0, std::memory_order_relaxed);
        return;
    }
    auto* words = reinterpret_cast<uint32_t*>(e.patternBlock);
    for (int32_t i = 0; i < e.blockSize / 4; ++i) {
        words[i] = nextRandom();
    }
    postStatus(engineTexts.textInitialize);
}

void endRun() {
    EngineState& e = engineState;
    if (e.patternBlock) {
        e.system.release(e.patternBlock);
        e.patternBlock = nullptr;
    }
    postStatus(WideString(), true);
    if (e.engineWindow) {
        PostMessageW(e.engineWindow, engine_ids::kRunEndedMessage, 0, 0);
    }
    e.running.store(0, std::memory_order_relaxed);
    e.busy.store(0, std::memory_order_relaxed);
}

void startPassTimer() {
    engineState.passTimerAlive.store(1, std::memory_order_relaxed);
    SetTimer(engineState.engineWindow, engine_ids::kPassTimer, static_cast<UINT>(engineState.passDurationMs),
             passTimerProc);
}

void postStatus(const WideString& text, bool inLParam) {
    HWND window = engineState.engineWindow;
    if (!window) {
        return;
    }
    auto pointer = reinterpret_cast<UINT_PTR>(lastingTexts().keep(text));
    PostMessageW(window, engine_ids::kStatusMessage, inLParam ? 0 : static_cast<WPARAM>(pointer),
                 inLParam ? static_cast<LPARAM>(pointer) : 0);
}

void showMemoryError(const WideString& text) { MessageBoxW(nullptr, text.c_str(), nullptr, MB_OK); }

void showSystemError(const WideString& text) {
    DWORD code = GetLastError();
    wchar_t* systemMessage = nullptr;
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&systemMessage), 0, nullptr);
    WideString box = text + L"\r\n";
    box.appendFormat(L"0x%08X:%ls", static_cast<unsigned>(code), systemMessage ? systemMessage : L"");
    MessageBoxW(nullptr, box.c_str(), nullptr, MB_OK);
    if (systemMessage) {
        LocalFree(systemMessage);
    }
}
