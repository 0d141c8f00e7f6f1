// The error check with its real window and worker thread, over a simulated machine: a scripted
// memory status and small blocks of ordinary memory, never the machine's own free memory.
#include "engine/ErrorCheck.h"
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "settings/Settings.h"
#include "tests/e2e/Driver.h"
#include "tests/engine/GuardedMemory.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
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

// A bit that always reads as `value`, in the word `word` of the block taken `block`-th (from 1).
struct StuckBit {
    int block;
    size_t word;
    int bit;
    bool value;
};

// The simulated machine. The worker touches it only inside the seam's calls; the test thread
// only while the worker waits for an action or after the check has ended.
struct Machine {
    size_t blockBytes = kSmallBlockBytes;
    double freeBlocks = 3.5;          // free physical memory at the start, in blocks
    size_t totalPages = 8192;
    int failAllocation = 0;           // the allocation (counted from 1) that fails
    bool freeFails = false;
    std::vector<int> flips;           // words changed after the fill, by block in allocation order
    std::vector<StuckBit> stuckBits;  // forced again at every status query, so after every fill
    int flipTopBitOfLastWord = 0;     // the block (from 1) whose last word's top bit flips once
    bool aliasFirstTwoBlocks = false; // the second block is the first one's memory seen again
    int statusCalls = 0;
    std::function<void(int)> onStatus;  // on the test thread; the status query's number
    HANDLE aliasMapping = nullptr;
    std::vector<DWORD> tickSteps;     // milliseconds each timed fill or check takes, in turn
    size_t tickCalls = 0;
    DWORD tickNow = 0xFFFFFF00;       // the tick count wraps during the check
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

bool isLive(const uint32_t* block) {
    return std::find(machine.freed.begin(), machine.freed.end(), block) == machine.freed.end();
}

// The check reads the clock just before and just after each timed fill or check; the second
// reading of each pair moves it on by the next scripted step.
DWORD WINAPI scriptedTicks() {
    size_t call = machine.tickCalls++;
    if (call % 2 == 1 && !machine.tickSteps.empty()) {
        machine.tickNow += machine.tickSteps[(call / 2) % machine.tickSteps.size()];
    }
    return machine.tickNow;
}

// The status query follows every fill, so this is where a filled block's words go bad. Single-bit
// changes at distinct places, the block's last word first.
bool scriptedStatus(PERFORMANCE_INFORMATION& info) {
    int call = ++machine.statusCalls;
    if (machine.onStatus) {
        onTestThread([call] { machine.onStatus(call); });
    }
    size_t words = machine.blockBytes / 4;
    for (; machine.flippedBlocks < machine.allocated.size(); ++machine.flippedBlocks) {
        size_t n = machine.flippedBlocks;
        int count = n < machine.flips.size() ? machine.flips[n] : 0;
        for (int k = 0; k < count; ++k) {
            machine.allocated[n][words - 1 - (size_t{7919} * k) % words] ^= 1u << (k % 32);
        }
        if (static_cast<int>(n) + 1 == machine.flipTopBitOfLastWord) {
            machine.allocated[n][words - 1] ^= 0x80000000u;
        }
    }
    for (const StuckBit& stuck : machine.stuckBits) {
        size_t index = static_cast<size_t>(stuck.block - 1);
        if (index < machine.allocated.size() && isLive(machine.allocated[index])) {
            uint32_t& word = machine.allocated[index][stuck.word];
            word = stuck.value ? word | (1u << stuck.bit) : word & ~(1u << stuck.bit);
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
    void* block = nullptr;
    if (machine.aliasFirstTwoBlocks && number <= 2) {
        // Two views of one piece of memory: what is stored through one shows through the other.
        if (number == 1) {
            machine.aliasMapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                      static_cast<DWORD>(bytes), nullptr);
        }
        block = MapViewOfFile(machine.aliasMapping, FILE_MAP_WRITE, 0, 0, bytes);
    } else {
        // Ends at a no-access page: a pass that runs one word too far crashes the test.
        block = guarded_memory::allocate(bytes);
    }
    machine.allocated.push_back(static_cast<uint32_t*>(block));
    return block;
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
    if (machine.aliasFirstTwoBlocks && (words == machine.allocated[0] || words == machine.allocated[1])) {
        UnmapViewOfFile(block);
        if (std::find(machine.freed.begin(), machine.freed.end(), machine.allocated[0]) != machine.freed.end() &&
            std::find(machine.freed.begin(), machine.freed.end(), machine.allocated[1]) != machine.freed.end()) {
            CloseHandle(machine.aliasMapping);
        }
    } else {
        guarded_memory::release(block);
    }
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
        // The thorough choice lives in the settings: a file of the test's own.
        settingsFolder_ = e2e::makeTempFolder(L"errorcheck");
        settingsPath = settingsFolder_ + L"\\Brindlecrest.ini";
    }

    static void TearDownTestSuite() { e2e::removeTree(settingsFolder_); }

    void SetUp() override {
        ASSERT_TRUE(archiveRead) << "no language archive in Brindlecrest.exe";
        ASSERT_FALSE(job().checkRunning());
        DeleteFileW(settingsPath.c_str());
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
        system.ticks = scriptedTicks;
        job().system = system;
    }

    static bool finished() { return pumpUntil([] { return !job().checkRunning(); }); }

    static std::vector<uint32_t*> newestFirst() { return {machine.allocated.rbegin(), machine.allocated.rend()}; }

    static bool archiveRead;
    static HWND owner_;
    static WideString settingsFolder_;
};
bool ErrorCheck::archiveRead = false;
HWND ErrorCheck::owner_ = nullptr;
WideString ErrorCheck::settingsFolder_;

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
    // Fills take 1, 2 and 4 ms; checks, newest block first, 1, 3 and 4 ms.
    machine.tickSteps = {1, 2, 4, 1, 3, 4};
    WideString secondFillStatus;
    WideString fillStatus, runningButton;
    std::vector<WideString> checkStatus;
    std::vector<int> checkLoad;
    HWND window = nullptr;
    machine.beforeAllocation = [&](int number) {
        if (number == 2) {
            fillStatus = itemText(window, kErrorCheckStatus);
            runningButton = itemText(window, kErrorCheckStartButton);
        } else if (number == 3) {
            secondFillStatus = itemText(window, kErrorCheckStatus);
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
    // A write speed is the block just filled (4 MiB in 1 ms, then in 2 ms); the read speed is the
    // average over the blocks checked so far: 4 MiB in 1 ms, 8 MiB in 4 ms, 12 MiB in 8 ms.
    EXPECT_EQ(fillStatus, L"Write Speed: 4.10 GB / sec.");
    EXPECT_EQ(secondFillStatus, L"Write Speed: 2.05 GB / sec.");
    EXPECT_EQ(checkStatus, (std::vector<WideString>{L"Read: Speed: 4.10 GB / sec.", L"Read: Speed: 2.05 GB / sec.",
                                                    L"Read: Speed: 1.54 GB / sec."}));
    EXPECT_EQ(machine.tickCalls, 12u);
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

// ---- Where memory fails, and the thorough check ------------------------------------------------

uint32_t low32(const void* address) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address)); }

void expectWord(const ChangedWord& word, uint32_t block, const uint32_t* blockStart, size_t index, uint32_t expected,
                uint32_t actual) {
    EXPECT_EQ(word.block, block);
    EXPECT_EQ(word.offset, index * 4);
    EXPECT_EQ(word.address, reinterpret_cast<uintptr_t>(blockStart + index));
    EXPECT_EQ(word.expected, expected);
    EXPECT_EQ(word.actual, actual);
    EXPECT_EQ(word.mask(), expected ^ actual);
}

void setThorough(bool thorough) {
    ASSERT_TRUE(writeIntSetting(kSettingsSection, kSettingRamCheckThorough, thorough ? 1 : 0));
}

// Three blocks with three faults: block 2 has bit 0 of word 1000 stuck at 1, which the fill byte
// 0x29 already holds there; block 1 has bit 3 of word 78 stuck at 0; the last word of block 3 has
// its top bit flipped once, after the first fill.
void threeFaults() {
    machine.freeBlocks = 3.5;
    machine.stuckBits = {{2, 1000, 0, true}, {1, 78, 3, false}};
    machine.flipTopBitOfLastWord = 3;
}

TEST_F(ErrorCheck, TheDefaultCheckReportsWhereButMissesABitStuckAtTheFillValue) {
    threeFaults();
    HWND window = open();
    ASSERT_TRUE(finished());
    EXPECT_EQ(itemText(window, kErrorCheckStatus), L"Bad bytes:2");
    EXPECT_EQ(itemText(window, kErrorCheckSummary), L"Invalid bytes total: 2");
    EXPECT_EQ(machine.tickCalls, 12u) << "one fill and one check per block";

    const ChangedWordReport& report = job().report;
    const size_t lastWord = machine.blockBytes / 4 - 1;
    ASSERT_EQ(report.listedCount, 2u);
    // Newest block first.
    expectWord(report.listed[0], 3, machine.allocated[2], lastWord, kFilledWord, kFilledWord ^ 0x80000000u);
    expectWord(report.listed[1], 1, machine.allocated[0], 78, kFilledWord, kFilledWord & ~8u);
    EXPECT_EQ(report.total, 2u);
    std::array<uint64_t, 32> bits{};
    bits[3] = 1;
    bits[31] = 1;
    EXPECT_EQ(report.bitCounts, bits);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, kErrorCheckDetailsButton)));
}

TEST_F(ErrorCheck, TheThoroughCheckFindsStuckBitsInEveryPassThatCanSeeThem) {
    setThorough(true);
    threeFaults();
    std::vector<WideString> summaries;
    std::vector<WideString> statuses;
    HWND window = nullptr;
    machine.beforeFree = [&](int) { statuses.push_back(itemText(window, kErrorCheckStatus)); };
    // Status queries 2, 11 and 17 follow the first fill of each pass.
    machine.onStatus = [&](int query) {
        if (query == 2 || query == 11 || query == 17) {
            summaries.push_back(itemText(window, kErrorCheckSummary));
            statuses.push_back(itemText(window, kErrorCheckStatus));
        }
    };
    window = open();
    ASSERT_TRUE(finished());
    EXPECT_EQ(machine.tickCalls, 36u) << "three passes of three fills and three checks";
    EXPECT_EQ(machine.freed, newestFirst()) << "each block once, after the last pass";
    EXPECT_EQ(summaries, (std::vector<WideString>{L"Pass 1/3: fill byte", L"Pass 2/3: inverted fill byte",
                                                  L"Pass 3/3: own address in every word"}));
    const std::vector<WideString> expectedStatuses = {
        L"1/3 Write Speed: 0.00 GB / sec.", L"2/3 Write Speed: 0.00 GB / sec.", L"3/3 Write Speed: 0.00 GB / sec.",
        L"3/3 Read: Speed: 0.00 GB / sec.", L"3/3 Read: Speed: 0.00 GB / sec.", L"3/3 Read: Speed: 0.00 GB / sec."};
    EXPECT_EQ(statuses, expectedStatuses);

    const ChangedWordReport& report = job().report;
    uint32_t* b1 = machine.allocated[0];
    uint32_t* b2 = machine.allocated[1];
    const size_t lastWord = machine.blockBytes / 4 - 1;
    const uint32_t inverted = ~kFilledWord;
    ASSERT_EQ(report.listedCount, 5u);
    // Fill byte: the flip and the bit stuck at 0.
    expectWord(report.listed[0], 3, machine.allocated[2], lastWord, kFilledWord, kFilledWord ^ 0x80000000u);
    expectWord(report.listed[1], 1, b1, 78, kFilledWord, kFilledWord & ~8u);
    // Inverted byte: the bit stuck at 1.
    expectWord(report.listed[2], 2, b2, 1000, inverted, inverted | 1u);
    // Own addresses: bit 0 of an address is never set, and word 78 of a page-aligned block has
    // bit 3 of its address set.
    ASSERT_NE(low32(b1 + 78) & 8u, 0u);
    expectWord(report.listed[3], 2, b2, 1000, low32(b2 + 1000), low32(b2 + 1000) | 1u);
    expectWord(report.listed[4], 1, b1, 78, low32(b1 + 78), low32(b1 + 78) & ~8u);
    EXPECT_EQ(report.total, 5u);
    std::array<uint64_t, 32> bits{};
    bits[0] = 2;
    bits[3] = 2;
    bits[31] = 1;
    EXPECT_EQ(report.bitCounts, bits);
    EXPECT_EQ(itemText(window, kErrorCheckStatus), L"Bad bytes:5");
    EXPECT_EQ(itemText(window, kErrorCheckSummary), L"Invalid bytes total: 5");
}

TEST_F(ErrorCheck, OnlyTheAddressPassSeesTwoBlocksThatAreOneMemory) {
    machine.freeBlocks = 2.5;
    machine.aliasFirstTwoBlocks = true;
    HWND window = open();
    ASSERT_TRUE(finished());
    EXPECT_EQ(itemText(window, kErrorCheckSummary), L"Invalid bytes total: 0") << "the same byte shows in both";
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, kErrorCheckDetailsButton)));

    machine = Machine{};
    machine.freeBlocks = 2.5;
    machine.aliasFirstTwoBlocks = true;
    setThorough(true);
    useMachine();
    e2e::pressButton(window, kErrorCheckStartButton);
    ASSERT_TRUE(finished());
    // The second block's addresses overwrote the first block's: every word of block 1 is wrong.
    const size_t words = machine.blockBytes / 4;
    const ChangedWordReport& report = job().report;
    EXPECT_EQ(report.total, words);
    EXPECT_EQ(itemText(window, kErrorCheckSummary),
              WideString::format(L"Invalid bytes total: %llu", static_cast<unsigned long long>(words)));
    uint32_t* b1 = machine.allocated[0];
    uint32_t* b2 = machine.allocated[1];
    ASSERT_EQ(report.listedCount, kListedChangedWords);
    for (size_t i = 0; i < kListedChangedWords; ++i) {
        SCOPED_TRACE(i);
        expectWord(report.listed[i], 1, b1, i, low32(b1 + i), low32(b2 + i));
    }
    std::array<uint64_t, 32> bits{};
    for (size_t i = 0; i < words; ++i) {
        for (int bit = 0; bit < 32; ++bit) {
            bits[static_cast<size_t>(bit)] += ((low32(b1 + i) ^ low32(b2 + i)) >> bit) & 1;
        }
    }
    EXPECT_EQ(report.bitCounts, bits);
}

TEST_F(ErrorCheck, CancelStopsEveryPassOfTheThoroughCheckWithinOneBlock) {
    setThorough(true);
    // The memory status is asked once at the start, twice after each fill of pass 1 and once
    // after every later fill and every check: query 11 follows the first fill of pass 2, query
    // 14 the first check of pass 2, query 20 the first check of pass 3.
    struct Case {
        int pressAtQuery;
        size_t tickCalls;  // two per timed fill or check; a fill that finds the cancel has no second
        const wchar_t* summary;
    };
    const Case cases[] = {{11, 12 + 2 + 1, L"Invalid bytes total: 0"},
                          {14, 12 + 6 + 2, L"Invalid bytes total: 1"},
                          {20, 12 + 12 + 6 + 2, L"Invalid bytes total: 2"}};
    HWND window = nullptr;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pressAtQuery);
        machine = Machine{};
        machine.freeBlocks = 3.5;
        machine.stuckBits = {{3, 5, 0, true}};  // block 3: one changed word in passes 2 and 3
        machine.onStatus = [&](int query) {
            if (query == c.pressAtQuery) {
                e2e::pressButton(window, kErrorCheckStartButton);
            }
        };
        if (!window) {
            window = open();
        } else {
            useMachine();
            e2e::pressButton(window, kErrorCheckStartButton);
        }
        ASSERT_TRUE(finished());
        EXPECT_EQ(machine.tickCalls, c.tickCalls);
        EXPECT_EQ(machine.freed, newestFirst());
        EXPECT_EQ(itemText(window, kErrorCheckStatus), L"Test aborted");
        EXPECT_EQ(itemText(window, kErrorCheckSummary), c.summary);
    }
}

TEST_F(ErrorCheck, DetailsShowTheReportAndCopyItAsPlainText) {
    threeFaults();
    HWND window = open();
    ASSERT_TRUE(finished());
    ASSERT_TRUE(IsWindowEnabled(GetDlgItem(window, kErrorCheckDetailsButton)));
    EXPECT_EQ(itemText(window, kErrorCheckDetailsButton), L"&Details");
    EXPECT_EQ(itemText(window, kErrorCheckThoroughBox), L"&Thorough check (3 passes)");

    // The report window is modal: a timer inside its message loop reads it, copies and closes it.
    static WideString shown, copied, title;
    shown = copied = title = WideString();
    OpenClipboard(nullptr);
    EmptyClipboard();
    CloseClipboard();
    SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND report = FindWindowW(nullptr, L"Where the RAM check found changed words");
        if (!report) {
            return;
        }
        KillTimer(nullptr, id);
        title = e2e::windowText(report);
        shown = e2e::windowText(GetDlgItem(report, kErrorReportText));
        SendMessageW(GetDlgItem(report, kErrorReportCopyButton), BM_CLICK, 0, 0);
        if (OpenClipboard(nullptr)) {
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                copied = static_cast<const wchar_t*>(GlobalLock(data));
                GlobalUnlock(data);
            }
            CloseClipboard();
        }
        SendMessageW(report, WM_COMMAND, IDCANCEL, 0);
    });
    SendMessageW(window, WM_COMMAND, kErrorCheckDetailsButton, 0);
    EXPECT_EQ(title, L"Where the RAM check found changed words");
    EXPECT_EQ(shown, changedWordReportText(job().report));
    EXPECT_EQ(copied, shown);
    EXPECT_NE(shown.find(L"3\t0x003FFFFC\t0x"), -1) << "the flipped last word of block 3";
}

TEST_F(ErrorCheck, ReportTextListsTheWordsAndTheCountsPerBit) {
    ChangedWordReport report;
    ChangedWord word;
    word.block = 2;
    word.offset = 0x10;
    word.address = 0x1234567890ull;
    word.expected = 0x29292929;
    word.actual = 0x2929292B;
    report.add(word);
    report.add(word);
    WideString text = changedWordReportText(report);
    const wchar_t* expectedStart =
        L"Where the RAM check found changed words\r\n"
        L"Changed words: 2\r\n\r\n"
        L"Block\tOffset\tAddress\tExpected\tActual\tDiffering bits\r\n"
        L"2\t0x00000010\t0x0000001234567890\t0x29292929\t0x2929292B\t0x00000002\r\n"
        L"2\t0x00000010\t0x0000001234567890\t0x29292929\t0x2929292B\t0x00000002\r\n"
        L"\r\nChanges per bit\r\nBit\tChanges\r\n0\t0\r\n1\t2\r\n2\t0\r\n";
    EXPECT_EQ(text.left(static_cast<int>(wcslen(expectedStart))), expectedStart);
    EXPECT_EQ(text.right(8), L"\r\n31\t0\r\n");
    EXPECT_EQ(text.find(L"Only the first 64"), -1);

    for (int i = 0; i < 70; ++i) {
        report.add(word);
    }
    text = changedWordReportText(report);
    EXPECT_NE(text.find(L"Changed words: 72\r\n"), -1);
    EXPECT_NE(text.find(L"0x00000002\r\nOnly the first 64 changed words are listed.\r\n\r\n"), -1);
    EXPECT_NE(text.find(L"\r\n1\t72\r\n"), -1);
}

TEST_F(ErrorCheck, TheThoroughChoiceIsStoredAndReadWhenACheckStarts) {
    HWND window = open();
    ASSERT_TRUE(finished());
    EXPECT_EQ(IsDlgButtonChecked(window, kErrorCheckThoroughBox), BST_UNCHECKED);
    EXPECT_EQ(machine.tickCalls, 12u) << "no setting: one pass";
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, kErrorCheckDetailsButton))) << "a clean check has no details";

    e2e::pressButton(window, kErrorCheckThoroughBox);
    EXPECT_EQ(IsDlgButtonChecked(window, kErrorCheckThoroughBox), BST_CHECKED);
    EXPECT_EQ(GetPrivateProfileIntW(kSettingsSection, kSettingRamCheckThorough, -1, settingsPath.c_str()), 1);

    machine = Machine{};
    useMachine();
    e2e::pressButton(window, kErrorCheckStartButton);
    ASSERT_TRUE(finished());
    EXPECT_EQ(machine.tickCalls, 36u) << "the next start reads the stored choice";

    // A new window shows the stored choice and starts its first check with it.
    DestroyWindow(window);
    machine = Machine{};
    window = open();
    EXPECT_EQ(IsDlgButtonChecked(window, kErrorCheckThoroughBox), BST_CHECKED);
    ASSERT_TRUE(finished());
    EXPECT_EQ(machine.tickCalls, 36u);

    e2e::pressButton(window, kErrorCheckThoroughBox);
    EXPECT_EQ(GetPrivateProfileIntW(kSettingsSection, kSettingRamCheckThorough, -1, settingsPath.c_str()), 0);
}

TEST(CompareLoops, ListTheFirst64ChangedWordsAndCountEveryOne) {
    // Not a whole number of stretches nor of 16-word steps, and ending at a no-access page: the
    // edges of a stretch, the tail and the last word are where counting and rescanning go wrong.
    const size_t words = 3 * kCompareStretchWords + 21;
    auto* block = static_cast<uint32_t*>(guarded_memory::allocate(words * 4));
    ASSERT_NE(block, nullptr);
    fillBlock(block, words * 4, 0x29);
    EXPECT_EQ(countBadWords(block, words, kFilledWord), 0u);

    std::vector<size_t> positions = {0, kCompareStretchWords - 1, kCompareStretchWords, 3 * kCompareStretchWords,
                                     words - 2, words - 1};
    for (size_t i = 1; positions.size() < 100; ++i) {
        positions.push_back(i * 113 + 5);
    }
    std::sort(positions.begin(), positions.end());
    ASSERT_TRUE(std::adjacent_find(positions.begin(), positions.end()) == positions.end());
    std::array<uint64_t, 32> bits{};
    for (size_t position : positions) {
        block[position] ^= 1u << (position % 32);
        ++bits[position % 32];
    }
    EXPECT_EQ(countBadWords(block, words, kFilledWord), 100u);
    ChangedWordReport report;
    EXPECT_EQ(checkWords(block, words, kFilledWord, &report, 7), 100u);
    EXPECT_EQ(report.total, 100u);
    EXPECT_EQ(report.bitCounts, bits);
    ASSERT_EQ(report.listedCount, 64u);
    for (size_t i = 0; i < 64; ++i) {
        SCOPED_TRACE(i);
        expectWord(report.listed[i], 7, block, positions[i], kFilledWord, kFilledWord ^ (1u << (positions[i] % 32)));
    }

    // The address pass over the same memory: sound, then with one word holding a neighbour's address.
    fillAddresses(block, words);
    EXPECT_EQ(block[words - 1], low32(block + words - 1));
    report.clear();
    EXPECT_EQ(checkAddresses(block, words, &report, 1), 0u);
    block[kCompareStretchWords] = low32(block + kCompareStretchWords + 1);
    block[words - 1] ^= 0x10000;
    EXPECT_EQ(checkAddresses(block, words, &report, 1), 2u);
    ASSERT_EQ(report.listedCount, 2u);
    expectWord(report.listed[0], 1, block, kCompareStretchWords, low32(block + kCompareStretchWords),
               low32(block + kCompareStretchWords + 1));
    expectWord(report.listed[1], 1, block, words - 1, low32(block + words - 1), low32(block + words - 1) ^ 0x10000);
    guarded_memory::release(block);
}

}  // namespace
