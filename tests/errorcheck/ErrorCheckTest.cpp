// The error check with its real window and worker thread, over a simulated machine: a scripted
// memory status and small blocks of ordinary memory, never the machine's own free memory.
#include "engine/ErrorCheck.h"
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "tests/e2e/Driver.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <ostream>
#include <tuple>
#include <vector>

// Failure messages show texts as UTF-8.
void PrintTo(const WideString& text, std::ostream* out) {
    char buffer[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof(buffer) - 1, nullptr, nullptr);
    *out << '"' << buffer << '"';
}

namespace {

constexpr size_t kPageBytes = 4096;
constexpr size_t kSmallBlockBytes = 4u << 20;
constexpr uint32_t kFilledWord = 0x29292929;  // fill byte 41, four times
constexpr DWORD kTimeoutMs = 60000;

// The simulated machine. The worker touches it only inside the seam's calls; the test thread
// only while the worker waits for an action or after the check has ended.
struct Machine {
    size_t blockBytes = kSmallBlockBytes;
    double freeBlocks = 3.5;          // free physical memory at the start, in blocks
    size_t totalPages = 8192;
    int failAllocation = 0;           // the allocation (counted from 1) that fails
    bool freeFails = false;
    std::vector<int> flips;           // words changed after the fill, by block in allocation order
    std::vector<uint32_t*> allocated;
    std::vector<uint32_t*> freed;     // in release order
    std::vector<uint64_t> offAtFree;  // words off the fill pattern in each block when it was freed
    size_t flippedBlocks = 0;
    int allocations = 0;
    std::function<void(int)> beforeAllocation;  // on the test thread; the allocation's number
    std::function<void(int)> beforeFree;        // on the test thread; blocks freed so far
};
Machine machine;

// Lets the worker have the test thread (the window's thread) carry out an action, as a user would.
std::atomic<const std::function<void()>*> pendingAction{nullptr};
HANDLE actionDone = nullptr;

void onTestThread(const std::function<void()>& action) {
    pendingAction.store(&action);
    if (WaitForSingleObject(actionDone, kTimeoutMs) != WAIT_OBJECT_0) {
        const std::function<void()>* mine = &action;
        pendingAction.compare_exchange_strong(mine, nullptr);  // nobody served it: withdraw it
    }
}

// Serves messages and the worker's actions until `done` or the time-out.
bool pumpUntil(const std::function<bool()>& done) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > kTimeoutMs) {
            return false;
        }
        if (const auto* action = pendingAction.exchange(nullptr)) {
            (*action)();
            SetEvent(actionDone);
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
    }
    return true;
}

size_t liveBlocks() { return machine.allocated.size() - machine.freed.size(); }

// The status query follows every fill, so this is where a filled block's words go bad. Single-bit
// changes at distinct places, the block's last word first.
bool scriptedStatus(PERFORMANCE_INFORMATION& info) {
    size_t words = machine.blockBytes / 4;
    for (; machine.flippedBlocks < machine.allocated.size(); ++machine.flippedBlocks) {
        size_t n = machine.flippedBlocks;
        int count = n < machine.flips.size() ? machine.flips[n] : 0;
        for (int k = 0; k < count; ++k) {
            machine.allocated[n][words - 1 - (size_t{7919} * k) % words] ^= 1u << (k % 32);
        }
    }
    info = {};
    info.cb = kPerformanceInfoBytes;
    info.PageSize = kPageBytes;
    info.PhysicalTotal = machine.totalPages;
    double freePages = (machine.freeBlocks - static_cast<double>(liveBlocks())) * machine.blockBytes / kPageBytes;
    info.PhysicalAvailable = freePages > 0 ? static_cast<size_t>(freePages) : 0;
    return true;
}

void* ordinaryBlock(size_t bytes) {
    int number = ++machine.allocations;
    if (machine.beforeAllocation) {
        onTestThread([number] { machine.beforeAllocation(number); });
    }
    if (number == machine.failAllocation) {
        return nullptr;
    }
    machine.allocated.push_back(static_cast<uint32_t*>(std::malloc(bytes)));
    return machine.allocated.back();
}

bool freeOrdinaryBlock(void* block) {
    if (machine.beforeFree) {
        int freedSoFar = static_cast<int>(machine.freed.size());
        onTestThread([freedSoFar] { machine.beforeFree(freedSoFar); });
    }
    auto* words = static_cast<uint32_t*>(block);
    machine.offAtFree.push_back(static_cast<uint64_t>(std::count_if(words, words + machine.blockBytes / 4,
                                              [](uint32_t word) { return word != kFilledWord; })));
    machine.freed.push_back(words);
    std::free(block);
    return !machine.freeFails;
}

WideString itemText(HWND window, int id) { return e2e::windowText(GetDlgItem(window, id)); }

class ErrorCheck : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        archiveRead = readLanguageArchive(e2e::besideThisExe(L"Brindlecrest.exe").c_str());
        currentLanguage = kLanguageEnglish;
        actionDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        // Hidden, and kept for the whole suite: under Wine without a window manager, taking a
        // visible window down costs two seconds.
        owner_ = CreateWindowW(L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }

    void SetUp() override {
        ASSERT_TRUE(archiveRead) << "no language archive in Brindlecrest.exe";
        ASSERT_FALSE(job().checkRunning());
        machine = Machine{};
    }

    void TearDown() override {
        EXPECT_TRUE(pumpUntil([] { return !job().checkRunning(); }));
        if (HWND window = job().window.load()) {
            DestroyWindow(window);
        }
    }

    static ErrorCheckJob& job() { return errorCheckJob(); }

    // Opens the window over the simulated machine as it stands now.
    HWND open() {
        useMachine();
        return openErrorCheck(owner_);
    }

    // The seam: small blocks of ordinary memory and the scripted status, never the real ones.
    static void useMachine() {
        ErrorCheckSystem system;
        system.blockBytes = machine.blockBytes;
        system.memoryStatus = scriptedStatus;
        system.allocateBlock = ordinaryBlock;
        system.freeBlock = freeOrdinaryBlock;
        job().system = system;
    }

    static bool finished() { return pumpUntil([] { return !job().checkRunning(); }); }

    static std::vector<uint32_t*> newestFirst() { return {machine.allocated.rbegin(), machine.allocated.rend()}; }

    static bool archiveRead;
    static HWND owner_;
};
bool ErrorCheck::archiveRead = false;
HWND ErrorCheck::owner_ = nullptr;

TEST_F(ErrorCheck, TemplateHoldsTheWindowAndItsControls) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(kErrorCheckDialog), RT_DIALOG);
    ASSERT_NE(found, nullptr);
    const auto* dialog = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(nullptr, found)));
    EXPECT_EQ(std::make_tuple(dialog->style, dialog->cx, dialog->cy), std::make_tuple(0x90C808C0ul, 407, 94));
    ASSERT_EQ(dialog->cdit, 6);
    // Menu, class, caption, font size and name; then the items, each on a DWORD boundary.
    auto skip = [](const WCHAR* p) { return p + (*p == 0xFFFF ? 2 : wcslen(p) + 1); };
    const WCHAR* p = skip(skip(reinterpret_cast<const WCHAR*>(dialog + 1)));
    EXPECT_STREQ(p, L"Dialog");
    p = skip(p);
    EXPECT_EQ(*p, 8);
    EXPECT_STREQ(p + 1, L"MS Sans Serif");
    p = skip(p + 1);
    const DLGITEMTEMPLATE expected[] = {  // style (0: not checked), extended style, x, y, cx, cy, id
        {0, 0, 7, 15, 393, 10, 1204},          {0x50800000, 0, 8, 27, 392, 18, 1063},
        {0x50002882, 0, 184, 49, 216, 12, 44964}, {0x50000003, 0, 42, 63, 20, 20, 5},
        {0, 0, 116, 73, 174, 14, 1033},        {0, 0, 350, 73, 50, 14, 1037},
    };
    for (const DLGITEMTEMPLATE& want : expected) {
        auto address = (reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t{3};
        const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(address);
        EXPECT_EQ(std::make_tuple(item->id, item->x, item->y, item->cx, item->cy),
                  std::make_tuple(want.id, want.x, want.y, want.cx, want.cy));
        if (want.style) {
            EXPECT_EQ(item->style, want.style) << want.id;
        }
        p = skip(reinterpret_cast<const WCHAR*>(item + 1));  // class
        if (want.id == kErrorCheckIcon) {
            EXPECT_TRUE(p[0] == 0xFFFF && p[1] == 107);  // the program's icon
        }
        p = skip(p);
        p += 1 + *p / sizeof(WCHAR);  // creation data
    }
}

TEST_F(ErrorCheck, FillsChecksNewestFirstAndFreesEveryBlock) {
    machine.flips = {1, 2, 4};
    WideString fillStatus, runningButton;
    std::vector<WideString> checkStatus;
    std::vector<int> checkLoad;
    HWND window = nullptr;
    machine.beforeAllocation = [&](int number) {
        if (number == 2) {
            fillStatus = itemText(window, kErrorCheckStatus);
            runningButton = itemText(window, kErrorCheckStartButton);
        }
    };
    machine.beforeFree = [&](int) {
        checkStatus.push_back(itemText(window, kErrorCheckStatus));
        checkLoad.push_back(static_cast<int>(SendDlgItemMessageW(window, kErrorCheckProgress, PBM_GETPOS, 0, 0)));
    };
    window = open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(e2e::windowText(window), L"RAM Memory is being checked for errors");
    EXPECT_EQ(itemText(window, kErrorCheckExitButton), L"E&xit");
    ASSERT_TRUE(finished());

    ASSERT_EQ(machine.allocated.size(), 3u);
    EXPECT_EQ(machine.freed, newestFirst());
    // Every block held byte 41 throughout, apart from the words changed after its fill.
    EXPECT_EQ(machine.offAtFree, (std::vector<uint64_t>{4, 2, 1}));
    EXPECT_TRUE(job().blocks.empty());

    EXPECT_EQ(runningButton, L"Cancel test");
    EXPECT_EQ(fillStatus.left(13), L"Write Speed: ");
    EXPECT_EQ(fillStatus.right(10), L" GB / sec.");
    ASSERT_EQ(checkStatus.size(), 3u);
    EXPECT_EQ(checkStatus[2].left(13), L"Read: Speed: ");
    EXPECT_EQ(checkStatus[2].right(10), L" GB / sec.");
    // In use: 8192 pages less 0.5, 1.5, then 2.5 free blocks of 1024 pages, truncated per mille.
    EXPECT_EQ(checkLoad, (std::vector<int>{937, 812, 687}));

    EXPECT_EQ(itemText(window, kErrorCheckStatus), L"Bad bytes:7");
    EXPECT_EQ(itemText(window, kErrorCheckSummary), L"Invalid bytes total: 7");
    EXPECT_EQ(itemText(window, kErrorCheckStartButton), L"Start test");
    EXPECT_EQ(SendDlgItemMessageW(window, kErrorCheckProgress, PBM_GETPOS, 0, 0), 1000);
}

TEST_F(ErrorCheck, TakesBlocksWhileMoreThanOneBlockIsFree) {
    struct Case {
        double freeBlocks;
        int failAllocation;
        size_t blocks;
    };
    // Free memory at the start, in blocks: each block taken leaves one block less.
    const Case cases[] = {{0.5, 0, 1}, {1.0, 0, 1}, {2.0, 0, 1}, {2.5, 0, 2},
                          {3.0, 0, 2}, {3.5, 0, 3}, {3.5, 1, 0}, {5.5, 3, 2}};
    // One window for all cases: a press after a check has ended starts the next one.
    HWND window = nullptr;
    for (const Case& c : cases) {
        machine = Machine{};
        machine.freeBlocks = c.freeBlocks;
        machine.failAllocation = c.failAllocation;
        machine.flips = {0, 1, 0};
        if (!window) {
            window = open();
        } else {
            useMachine();
            e2e::pressButton(window, kErrorCheckStartButton);
        }
        ASSERT_TRUE(finished());
        SCOPED_TRACE(testing::Message() << c.freeBlocks << " blocks free, failing allocation " << c.failAllocation);
        EXPECT_EQ(machine.allocations, static_cast<int>(c.blocks) + (c.failAllocation ? 1 : 0));
        EXPECT_EQ(machine.allocated.size(), c.blocks);
        EXPECT_EQ(machine.freed, newestFirst());
        uint64_t bad = c.blocks >= 2 ? 1 : 0;
        EXPECT_EQ(itemText(window, kErrorCheckStatus), WideString::format(L"Bad bytes:%llu", bad));
        EXPECT_EQ(itemText(window, kErrorCheckSummary), WideString::format(L"Invalid bytes total: %llu", bad));
    }
}

TEST_F(ErrorCheck, CancelWhileFillingFreesTheBlocksUnchecked) {
    machine.freeBlocks = 5.5;
    machine.flips = {3};
    HWND window = nullptr;
    machine.beforeAllocation = [&](int number) {
        if (number == 3) {
            e2e::pressButton(window, kErrorCheckStartButton);
        }
    };
    window = open();
    ASSERT_TRUE(finished());
    ASSERT_EQ(machine.allocated.size(), 3u);
    EXPECT_EQ(machine.freed, newestFirst());
    EXPECT_EQ(machine.offAtFree.back(), 3u);  // changed, but never checked
    EXPECT_EQ(itemText(window, kErrorCheckStatus), L"Test aborted");
    EXPECT_EQ(itemText(window, kErrorCheckSummary), L"Invalid bytes total: 0");
    EXPECT_EQ(itemText(window, kErrorCheckStartButton), L"Start test");
}

TEST_F(ErrorCheck, CancelWhileCheckingKeepsTheCountSoFar) {
    machine.flips = {1, 2, 4};
    HWND window = nullptr;
    machine.beforeFree = [&](int freedSoFar) {
        if (freedSoFar == 0) {
            e2e::pressButton(window, kErrorCheckStartButton);
        }
    };
    window = open();
    ASSERT_TRUE(finished());
    EXPECT_EQ(machine.freed, newestFirst());
    EXPECT_EQ(itemText(window, kErrorCheckStatus), L"Test aborted");
    EXPECT_EQ(itemText(window, kErrorCheckSummary), L"Invalid bytes total: 4");
}

TEST_F(ErrorCheck, BadCountShowsGroupedInTheStatusAndPlainInTheSummary) {
    // Grouping follows the user's locale; the language stays English.
    const bool german = PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID())) == LANG_GERMAN;
    if (const char* locale = std::getenv("LC_ALL"); locale && std::strncmp(locale, "de", 2) == 0) {
        ASSERT_TRUE(german) << "the German run has no German user locale";
    }
    machine.blockBytes = 8u << 20;
    machine.freeBlocks = 1.0;
    machine.flips = {1'234'567};
    HWND window = open();
    ASSERT_TRUE(finished());
    EXPECT_EQ(itemText(window, kErrorCheckStatus), german ? L"Bad bytes:1.234.567" : L"Bad bytes:1,234,567");
    EXPECT_EQ(itemText(window, kErrorCheckSummary), L"Invalid bytes total: 1234567");
    // Counts past 32 bits, which only a machine with over 8 GiB of bad words would reach.
    EXPECT_EQ(badCountSummaryText(5'000'000'000), L"Invalid bytes total: 5000000000");
    EXPECT_EQ(badCountStatusText(5'000'000'000), german ? L"Bad bytes:5.000.000.000" : L"Bad bytes:5,000,000,000");
}

TEST_F(ErrorCheck, SpeedIsBlocksPerSecondAveragedOverTheTotals) {
    SpeedTotals totals;
    totals.startTick = 1000;
    EXPECT_EQ(speedText(totals, kErrorCheckBlockBytes, 1100), L"Speed: 10.00 GB / sec.");
    totals.startTick = 0xFFFFFFCE;  // the tick count wraps between start and end
    EXPECT_EQ(speedText(totals, kErrorCheckBlockBytes, 0x32), L"Speed: 10.00 GB / sec.");
    totals.startTick = 5000;
    EXPECT_EQ(speedText(totals, kErrorCheckBlockBytes, 5200), L"Speed: 7.50 GB / sec.");  // 3 blocks in 400 ms
    EXPECT_EQ(totals.bytes, 3 * uint64_t{kErrorCheckBlockBytes});
    EXPECT_EQ(totals.milliseconds, 400u);
    SpeedTotals withinOneTick;
    withinOneTick.startTick = 77;
    EXPECT_EQ(speedText(withinOneTick, kErrorCheckBlockBytes, 77), L"Speed: 0.00 GB / sec.");
}

TEST_F(ErrorCheck, TheSystemsMemoryStatusAnswers) {
    // Only the question; no test lets the real allocator near the machine's free memory.
    PERFORMANCE_INFORMATION info{};
    ASSERT_TRUE(defaultErrorCheckSystem().memoryStatus(info));
    EXPECT_GT(info.PhysicalTotal, 0u);
    EXPECT_LE(info.PhysicalAvailable, info.PhysicalTotal);
    EXPECT_EQ(info.PageSize, 4096u);
}

TEST_F(ErrorCheck, AFailedReleaseIsNotRetried) {
    machine.freeFails = true;
    machine.flips = {1, 1, 1};
    HWND window = open();
    ASSERT_TRUE(finished());
    EXPECT_EQ(machine.freed, newestFirst());
    EXPECT_EQ(itemText(window, kErrorCheckSummary), L"Invalid bytes total: 3");
}

TEST_F(ErrorCheck, ClosingLetsTheCheckFinishAndOpeningAgainFollowsIt) {
    machine.freeBlocks = 4.5;
    machine.flips = {1, 1, 1, 1};
    HWND first = nullptr, second = nullptr;
    machine.beforeAllocation = [&](int number) {
        if (number == 2) {
            EXPECT_EQ(openErrorCheck(owner_), first);  // brought forward, not cancelled
        } else if (number == 3) {
            SendMessageW(first, WM_CLOSE, 0, 0);
            EXPECT_FALSE(IsWindow(first));
            EXPECT_EQ(job().window.load(), nullptr);
        } else if (number == 4) {
            second = openErrorCheck(owner_);
            EXPECT_EQ(itemText(second, kErrorCheckStartButton), L"Cancel test");
        }
    };
    first = open();
    DWORD thread = job().threadId;
    ASSERT_TRUE(finished());
    EXPECT_EQ(job().threadId, thread);
    EXPECT_EQ(job().cancelRequested.load(), 0);
    EXPECT_EQ(machine.allocated.size(), 4u);
    EXPECT_EQ(machine.freed, newestFirst());
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(itemText(second, kErrorCheckSummary), L"Invalid bytes total: 4");
}

}  // namespace
