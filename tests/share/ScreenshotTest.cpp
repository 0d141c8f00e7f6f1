// Screenshots of the real main dialog, created in this process from the program's own template:
// the PNG's structure and size, and the save dialog driven by messages from a second thread as a
// user would fill it in.
#include "app/MainDialog.h"
#include "app/Startup.h"
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "share/Screenshots.h"
#include "tests/e2e/Driver.h"
#include "tests/share/PngFile.h"
#include "tests/sysinfo/PrintWideString.h"
#include "ui/ScannerBar.h"

#include <dwmapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kDialogWaitMs = 15000;
constexpr int kFileNameCombo = 0x47c;  // explorer-style dialogs
constexpr int kFileNameEdit = 0x480;   // older style

// What the window manager calls the window's visible frame; the window rectangle without one.
RECT frameBounds(HWND window) {
    RECT bounds{};
    if (FAILED(DwmGetWindowAttribute(window, DWMWA_EXTENDED_FRAME_BOUNDS, &bounds, sizeof(bounds)))) {
        GetWindowRect(window, &bounds);
    }
    return bounds;
}

bool isTopmost(HWND window) { return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

std::vector<WideString> filesIn(const WideString& folder) {
    std::vector<WideString> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names.push_back(found.cFileName);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

struct EnumSearch {
    HWND exclude;
    HWND found;
};

// The save dialog of `thread`: a visible dialog other than the main dialog.
HWND findSaveDialog(DWORD thread, HWND mainWindow) {
    EnumSearch search{mainWindow, nullptr};
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<EnumSearch*>(context);
            if (window != s->exclude && IsWindowVisible(window) && e2e::windowClassName(window) == L"#32770") {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Answers the save dialog from a second thread while the dialog's thread waits in it: reads the
// offered name, then types `name` and presses Save, or presses Cancel when `name` is null.
class SaveDialogAnswer {
public:
    SaveDialogAnswer(HWND mainWindow, const wchar_t* name) : name_(name ? name : L""), cancel_(name == nullptr) {
        DWORD thread = GetCurrentThreadId();
        worker_ = std::thread([this, thread, mainWindow] { answer(thread, mainWindow); });
    }
    ~SaveDialogAnswer() { worker_.join(); }
    SaveDialogAnswer(const SaveDialogAnswer&) = delete;
    SaveDialogAnswer& operator=(const SaveDialogAnswer&) = delete;

    // After the dialog returned.
    WideString offeredName() {
        worker_.join();
        worker_ = std::thread([] {});
        return offered_;
    }
    bool answered() const { return answered_; }

private:
    void answer(DWORD thread, HWND mainWindow) {
        DWORD start = GetTickCount();
        HWND dialog = nullptr;
        while (!dialog && GetTickCount() - start < kDialogWaitMs) {
            Sleep(50);
            dialog = findSaveDialog(thread, mainWindow);
        }
        if (!dialog) {
            return;
        }
        HWND nameField = GetDlgItem(dialog, kFileNameCombo);
        if (!nameField) {
            nameField = GetDlgItem(dialog, kFileNameEdit);
        }
        offered_ = e2e::windowText(nameField);
        int button = cancel_ ? IDCANCEL : IDOK;
        if (!cancel_) {
            SendMessageW(nameField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name_.c_str()));
        }
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
        answered_ = true;
    }

    WideString name_;
    bool cancel_;
    WideString offered_;
    std::atomic<bool> answered_{false};
    std::thread worker_;
};

// One dialog for the whole suite: closing a visible window costs about two seconds under Wine.
class Screenshot : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(registerScannerClass(GetModuleHandleW(nullptr)));
        initCommonControls();
        ASSERT_TRUE(readLanguageArchive(e2e::besideThisExe(L"Brindlecrest.exe").c_str()));
        settingsFolder_ = e2e::makeTempFolder(L"bc_shot_settings");
        savedPath_ = settingsPath;
        settingsPath = settingsFolder_ + L"\\Brindlecrest.ini";
        currentLanguage = kLanguageEnglish;
        dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_DIALOG), nullptr, mainDialogProc, 0);
        ASSERT_NE(dialog_, nullptr);
        // The box's first refresh (timer 2111) asks WMI and is not what these tests look at.
        KillTimer(dialog_, 2111);
        ShowWindow(dialog_, SW_SHOW);
        pumpFor(300);
    }
    static void TearDownTestSuite() {
        if (dialog_) {
            DestroyWindow(dialog_);
            dialog_ = nullptr;
        }
        settingsPath = savedPath_;
        e2e::removeTree(settingsFolder_);
    }
    void SetUp() override {
        ASSERT_NE(dialog_, nullptr);
        folder_ = e2e::makeTempFolder(L"bc_shot");
        ASSERT_FALSE(folder_.isEmpty());
    }
    void TearDown() override { e2e::removeTree(folder_); }

    static void pumpFor(DWORD ms) {
        DWORD start = GetTickCount();
        MSG message;
        while (GetTickCount() - start < ms) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            Sleep(10);
        }
    }
    // Saves through the save dialog, answered with `name` (null: Cancel); returns the offered name.
    WideString saveAs(const wchar_t* name) {
        SaveDialogAnswer answer(dialog_, name ? (folder_ + L"\\" + name).c_str() : nullptr);
        screenshotToFile();
        EXPECT_TRUE(answer.answered()) << "no save dialog appeared";
        return answer.offeredName();
    }
    void expectPngOfTheDialog(const WideString& path) {
        PngFacts png = readPngFacts(readFileBytes(path.c_str()));
        ASSERT_EQ(png.problem, "") << path.c_str();
        RECT frame = frameBounds(dialog_);
        EXPECT_EQ(png.width, static_cast<uint32_t>(frame.right - frame.left));
        EXPECT_EQ(png.height, static_cast<uint32_t>(frame.bottom - frame.top));
        // A bitmap made compatible with the memory context instead of the screen is monochrome.
        EXPECT_EQ(png.bitDepth, 8);
        EXPECT_TRUE(png.colourType == 2 || png.colourType == 6) << png.colourType;
    }

    static inline HWND dialog_ = nullptr;
    static inline WideString settingsFolder_;
    static inline WideString savedPath_;
    WideString folder_;
};

// The frame, not the client area; PNG, not another format of GDI+'s; colour, not monochrome.
TEST_F(Screenshot, CapturesTheDialogAsAPngOfItsFrame) {
    WideString path = folder_ + L"\\capture.png";
    ASSERT_TRUE(captureWindowToPng(dialog_, path.c_str()));
    expectPngOfTheDialog(path);
}

// ".png" added to a bare name and to "x.jpg" (the real program's run keeps "x.PNG"), a picture of
// the dialog under that name only, and the dialog no longer topmost afterwards.
TEST_F(Screenshot, SavesUnderTheChosenNameWithPngExtension) {
    saveAs(L"shot");
    expectPngOfTheDialog(folder_ + L"\\shot.png");
    EXPECT_FALSE(isTopmost(dialog_));
    saveAs(L"photo.jpg");
    std::vector<WideString> files = filesIn(folder_);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<WideString>{L"photo.jpg.png", L"shot.png"}));
    EXPECT_FALSE(isTopmost(dialog_));
}

// The offered name: the date as year-month-day and the locale's time with "-" for every ":".
// Cancel: no picture anywhere and the dialog not left topmost.
TEST_F(Screenshot, CancelWritesNothingAndOfferedNameHasNoColon) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    WideString offered = saveAs(nullptr);
    WideString date = WideString::format(L"Brindlecrest %04d-%02d-%02d ", now.wYear, now.wMonth, now.wDay);
    EXPECT_EQ(offered.left(date.length()), date);
    EXPECT_EQ(offered.find(L':'), WideString::npos) << offered.c_str();
    EXPECT_GE(offered.length(), date.length() + 7) << offered.c_str();  // h-mm-ss at least
    EXPECT_TRUE(filesIn(folder_).empty());
    EXPECT_FALSE(isTopmost(dialog_));
}

TEST(ScreenshotName, AppendsPngUnlessTheLastDotStartsIt) {
    EXPECT_EQ(withPngExtension(L"C:\\pics\\a"), L"C:\\pics\\a.png");
    EXPECT_EQ(withPngExtension(L"C:\\pics\\a.Png"), L"C:\\pics\\a.Png");
    EXPECT_EQ(withPngExtension(L"C:\\pics\\a.png.jpg"), L"C:\\pics\\a.png.jpg.png");
    EXPECT_EQ(withPngExtension(L"C:\\v1.png\\a"), L"C:\\v1.png\\a.png");
    EXPECT_EQ(withPngExtension(L"C:\\pics\\a.pngx"), L"C:\\pics\\a.pngx.png");
}

}  // namespace
