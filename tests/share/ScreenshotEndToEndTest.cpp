// The real Brindlecrest.exe under Wine, worked from outside: Screenshot to MS-Paint into the
// recording stand-in for Paint, and Screenshot to File through the program's own save dialog.
#include "tests/e2e/Driver.h"
#include "tests/e2e/ToolStandIns.h"
#include "tests/share/PngFile.h"

#include <dwmapi.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kScreenshotToPaintCommand = 43104;
constexpr int kScreenshotToFileCommand = 43105;
constexpr int kInfoBox = 32806;
constexpr int kFileNameCombo = 0x47c;  // explorer-style dialogs
constexpr int kFileNameEdit = 0x480;   // older style
constexpr DWORD kWaitMs = 30'000;

using e2e::narrow;

bool exists(const WideString& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

RECT frameBounds(HWND window) {
    RECT bounds{};
    if (FAILED(DwmGetWindowAttribute(window, DWMWA_EXTENDED_FRAME_BOUNDS, &bounds, sizeof(bounds)))) {
        GetWindowRect(window, &bounds);
    }
    return bounds;
}

WideString temporaryFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH + 1]{};
    GetTempPathW(MAX_PATH + 1, folder);
    return WideString(folder) + name;
}

// One copy of the program for the suite (starting and closing it costs seconds under Wine), in a
// folder of its own with English settings. The Paint stand-in is in place before the start: the
// program inherits where it records.
class ScreenshotsOfTheProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        standIns_ = std::make_unique<e2e::ToolStandIns>();
        ASSERT_TRUE(standIns_->ready());
        ASSERT_TRUE(standIns_->installProgram(L"mspaint.exe"));
        folder_ = e2e::makeTempFolder(L"bc_share_shots");
        ASSERT_FALSE(folder_.isEmpty());
        ASSERT_TRUE(WritePrivateProfileStringW(L"Program", L"lng", L"1", (folder_ + L"\\Brindlecrest.ini").c_str()));
        ASSERT_TRUE(e2e::copyFile(e2e::besideThisExe(L"Brindlecrest.exe"), folder_ + L"\\Brindlecrest.exe"));
        app_ = std::make_unique<e2e::AppProcess>();
        ASSERT_TRUE(app_->start(folder_ + L"\\Brindlecrest.exe"));
        for (DWORD start = GetTickCount(); !dialog_ && GetTickCount() - start < kWaitMs; Sleep(50)) {
            for (HWND window : app_->topLevelWindows(true)) {
                if (e2e::windowClassName(window) == L"#32770" && GetDlgItem(window, kInfoBox)) {
                    dialog_ = window;
                }
            }
        }
        ASSERT_NE(dialog_, nullptr);
    }
    static void TearDownTestSuite() {
        if (app_ && dialog_) {
            e2e::closeWindow(dialog_);
            app_->waitForExit(10'000, nullptr);
        }
        app_.reset();
        standIns_.reset();
        e2e::removeTree(folder_);
        dialog_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(dialog_, nullptr); }

    static void expectPictureOfTheDialog(const WideString& path) {
        PngFacts png = readPngFacts(readFileBytes(path.c_str()));
        ASSERT_EQ(png.problem, "") << narrow(path);
        RECT frame = frameBounds(dialog_);
        EXPECT_EQ(png.width, static_cast<uint32_t>(frame.right - frame.left));
        EXPECT_EQ(png.height, static_cast<uint32_t>(frame.bottom - frame.top));
    }

    static inline std::unique_ptr<e2e::ToolStandIns> standIns_;
    static inline std::unique_ptr<e2e::AppProcess> app_;
    static inline WideString folder_;
    static inline HWND dialog_ = nullptr;
};

// Paint gets the temporary picture, quoted, and opens maximised.
TEST_F(ScreenshotsOfTheProgram, ToPaintStartsPaintMaximisedWithThePicture) {
    standIns_->clearRecords();
    PostMessageW(dialog_, WM_COMMAND, kScreenshotToPaintCommand, 0);
    std::vector<e2e::ToolRecord> records = standIns_->waitForRecords(1, kWaitMs);
    ASSERT_EQ(records.size(), 1u);
    WideString picture = temporaryFile(L"Brindlecrest_tmp.png");
    EXPECT_EQ(records[0].programName().compareNoCase(L"mspaint.exe"), 0) << narrow(records[0].program);
    std::string quoted = "\"";  // appended piecewise: GCC 12 warns wrongly about "a" + b + "c"
    quoted += narrow(picture);
    quoted += '"';
    EXPECT_EQ(narrow(records[0].arguments), quoted);
    EXPECT_EQ(records[0].show, SW_MAXIMIZE);
    expectPictureOfTheDialog(picture);
}

// The program's own save dialog, answered as a user would: "x.PNG" keeps its extension, and the
// dialog is not left topmost.
TEST_F(ScreenshotsOfTheProgram, ToFileSavesUnderTheChosenName) {
    PostMessageW(dialog_, WM_COMMAND, kScreenshotToFileCommand, 0);
    HWND save = nullptr;
    for (DWORD start = GetTickCount(); !save && GetTickCount() - start < kWaitMs; Sleep(50)) {
        for (HWND window : app_->topLevelWindows(true)) {
            if (window != dialog_ && e2e::windowClassName(window) == L"#32770" && !GetDlgItem(window, kInfoBox)) {
                save = window;
            }
        }
    }
    ASSERT_NE(save, nullptr) << "no save dialog";
    HWND name = GetDlgItem(save, kFileNameCombo) ? GetDlgItem(save, kFileNameCombo) : GetDlgItem(save, kFileNameEdit);
    WideString path = folder_ + L"\\x.PNG";
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(save, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(save, IDOK)));
    // The picture is written while the program is still in the command: wait until it is handled.
    for (DWORD start = GetTickCount(); IsWindow(save) && GetTickCount() - start < kWaitMs; Sleep(50)) {
    }
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutW(dialog_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kWaitMs, &result));
    expectPictureOfTheDialog(path);
    EXPECT_FALSE(exists(folder_ + L"\\x.PNG.png"));
    EXPECT_EQ(GetWindowLongW(dialog_, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

}  // namespace
