// The real program under Wine: "Auto-Update" against the stand-in server, and "Uninstall", worked
// from outside through the command the menu items send and the message boxes they show.
#include "tests/sysinfo/PrintWideString.h"
#include "tests/update/StandIn.h"
#include "tests/e2e/Driver.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr DWORD kTimeoutMs = 30000;
constexpr int kAutoUpdateCommand = 43112;
constexpr int kUninstallCommand = 43113;
constexpr int kDurationBox = 1033;
constexpr int kMessageTextId = 0xFFFF;  // the static text of a message box

// A message box of the process with this caption, once it shows.
HWND waitForMessageBox(const e2e::AppProcess& app, const wchar_t* caption) {
    return app.waitForWindow(L"#32770", caption, kTimeoutMs);
}

WideString messageText(HWND box) { return e2e::windowText(GetDlgItem(box, kMessageTextId)); }

std::vector<WideString> filesIn(const WideString& folder) {
    std::vector<WideString> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names.push_back(data.cFileName);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kTimeoutMs) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        Sleep(100);
    }
    return true;
}

// Each test works on copies of the built program in a folder of its own outside the temporary
// folder (so a copy with a settings file beside it keeps it).
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!stand_in::available()) {
            GTEST_SKIP() << "no stand-in server (run through with-stand-in-server.sh)";
        }
        ASSERT_TRUE(stand_in::trustCertificate());
        folder_ = WideString::format(L"C:\\bc_update_%lu_%lu", GetCurrentProcessId(), GetTickCount());
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        program_ = stand_in::readFile(e2e::besideThisExe(L"Brindlecrest.exe"));
        ASSERT_FALSE(program_.empty());
        installed_ = folder_ + L"\\Brindlecrest.exe";
        settings_ = folder_ + L"\\Brindlecrest.ini";
    }
    void TearDown() override {
        if (!folder_.isEmpty()) {
            e2e::removeTree(folder_);
        }
    }
    void installPortable(const std::vector<uint8_t>& program, const WideString& updateAddress) {
        ASSERT_TRUE(stand_in::writeFile(installed_, program));
        ASSERT_TRUE(WritePrivateProfileStringW(L"Program", L"update_url", updateAddress.c_str(), settings_.c_str()));
    }
    void startAndAskForTheUpdate(e2e::AppProcess& app) {
        ASSERT_TRUE(app.start(installed_));
        dialog_ = e2e::waitForMainDialog(app, kTimeoutMs);
        ASSERT_NE(dialog_, nullptr);
        PostMessageW(dialog_, WM_COMMAND, kAutoUpdateCommand, 0);
    }
    void closeAndExpectExit(e2e::AppProcess& app) {
        e2e::closeWindow(dialog_);
        DWORD code = 1;
        ASSERT_TRUE(app.waitForExit(kTimeoutMs, &code));
        EXPECT_EQ(code, 0u);
    }

    WideString folder_;
    WideString installed_;
    WideString settings_;
    std::vector<uint8_t> program_;
    HWND dialog_ = nullptr;
};

using AutoUpdate = EndToEnd;

TEST_F(AutoUpdate, NoNewerVersionIsSaidAndChangesNothing) {
    ASSERT_TRUE(stand_in::writeSiteFile(L"current.txt", stand_in::descriptor("1.33", stand_in::httpsAddress(L"/site/none.exe"), 10,
                                                                             stand_in::sha256Base64({1}))));
    installPortable(program_, stand_in::httpsAddress(L"/site/current.txt"));
    e2e::AppProcess app;
    startAndAskForTheUpdate(app);
    HWND box = waitForMessageBox(app, L"Auto-Update");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageText(box), L"You are already using the newest version (1.33).");
    EXPECT_EQ(stand_in::requests().back(), "/site/current.txt?lang=Englisch");
    e2e::pressButton(box, IDOK);
    closeAndExpectExit(app);
    EXPECT_EQ(filesIn(folder_).size(), 2u) << "the program and its settings, nothing else";
}

TEST_F(AutoUpdate, AVerifiedNewerVersionTakesTheProgramsPlaceAndRuns) {
    // The running program differs from the new one by a tail the new one lacks.
    std::vector<uint8_t> old = program_;
    const char tail[] = "an older Brindlecrest";
    old.insert(old.end(), tail, tail + sizeof(tail));
    ASSERT_TRUE(stand_in::writeSiteFile(L"new.exe", program_));
    ASSERT_TRUE(stand_in::writeSiteFile(L"newer.txt", stand_in::descriptor("99.0", stand_in::httpsAddress(L"/site/new.exe"),
                                                                           program_.size(), stand_in::sha256Base64(program_))));
    installPortable(old, stand_in::httpsAddress(L"/site/newer.txt"));
    e2e::AppProcess app;
    startAndAskForTheUpdate(app);
    HWND question = waitForMessageBox(app, L"Auto-Update");
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(messageText(question), L"Version 99.0 is available; you are using version 1.33. Download and install it now?");
    size_t before = stand_in::requests().size();
    e2e::pressButton(question, IDYES);
    DWORD code = 1;
    ASSERT_TRUE(app.waitForExit(kTimeoutMs, &code)) << "the program ends once the update runs";
    std::vector<std::string> fetched = stand_in::requests();
    ASSERT_EQ(fetched.size(), before + 1);
    EXPECT_EQ(fetched.back(), "/site/new.exe");
    // It ends by itself (0), unless the update's quit request comes first (17767).
    EXPECT_TRUE(code == 0u || code == 17767u) << code;

    e2e::AppProcess updated;
    ASSERT_TRUE(waitUntil([&] {
        for (DWORD id : e2e::findProcesses(L"Brindlecrest.exe")) {
            if (e2e::processImagePath(id).compareNoCase(installed_.c_str()) == 0 && id != app.processId()) {
                return updated.attach(id);
            }
        }
        return false;
    })) << "the installed program runs again";
    dialog_ = e2e::waitForMainDialog(updated, kTimeoutMs);
    ASSERT_NE(dialog_, nullptr);
    EXPECT_TRUE(stand_in::readFile(installed_) == program_) << "the new version is in place";
    EXPECT_TRUE(waitUntil([&] { return !stand_in::exists(folder_ + L"\\Brindlecrest_autoupdate.exe"); }))
        << "the update's leftover is removed";
    closeAndExpectExit(updated);
    EXPECT_EQ(filesIn(folder_).size(), 2u);
}

TEST_F(AutoUpdate, ADownloadThatDoesNotVerifyIsDeletedAndTheProgramRunsOn) {
    std::vector<uint8_t> other = program_;
    other[other.size() / 2] ^= 1;
    ASSERT_TRUE(stand_in::writeSiteFile(L"new.exe", program_));
    ASSERT_TRUE(stand_in::writeSiteFile(L"tampered.txt", stand_in::descriptor("99.0", stand_in::httpsAddress(L"/site/new.exe"),
                                                                              program_.size(), stand_in::sha256Base64(other))));
    installPortable(program_, stand_in::httpsAddress(L"/site/tampered.txt"));
    e2e::AppProcess app;
    startAndAskForTheUpdate(app);
    HWND question = waitForMessageBox(app, L"Auto-Update");
    ASSERT_NE(question, nullptr);
    e2e::pressButton(question, IDYES);
    HWND box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = waitForMessageBox(app, L"Auto-Update")) != nullptr && box != question; }));
    EXPECT_EQ(messageText(box),
              L"The downloaded file did not pass the check and has been deleted. The program has not been changed.");
    e2e::pressButton(box, IDOK);
    EXPECT_TRUE(app.running());
    EXPECT_EQ(filesIn(folder_).size(), 2u) << "no update file, no partial file";
    EXPECT_TRUE(stand_in::readFile(installed_) == program_);
    closeAndExpectExit(app);
}

TEST_F(AutoUpdate, PlainHttpToAnotherHostIsRefusedUnasked) {
    installPortable(program_, L"http://www.brindlecrest.example/update.txt");
    size_t before = stand_in::requests().size();
    e2e::AppProcess app;
    startAndAskForTheUpdate(app);
    HWND box = waitForMessageBox(app, L"Auto-Update");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageText(box), L"Only secure (https) addresses are accepted for updates. This address was refused:\r\n"
                                L"http://www.brindlecrest.example/update.txt");
    e2e::pressButton(box, IDOK);
    EXPECT_EQ(stand_in::requests().size(), before);
    closeAndExpectExit(app);
}

WideString perUserFolder() {
    wchar_t appData[MAX_PATH + 1]{};
    SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE);
    return WideString(appData) + L"\\Brindlecrest";
}

class Uninstall : public EndToEnd {
protected:
    void SetUp() override {
        EndToEnd::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(stand_in::useBrowserRecorder(true));
        browserLines_ = stand_in::browserLog().size();
        ASSERT_TRUE(stand_in::writeFile(folder_ + L"\\keep.txt", {'k'}));
    }
    void TearDown() override {
        stand_in::useBrowserRecorder(false);
        EndToEnd::TearDown();
    }
    // Starts the copy and answers the question; returns the process id.
    void startAndAnswer(e2e::AppProcess& app, int answer, const wchar_t* caption = L"Uninstall",
                        const wchar_t* text = L"Are you sure?") {
        ASSERT_TRUE(app.start(installed_));
        dialog_ = e2e::waitForMainDialog(app, kTimeoutMs);
        ASSERT_NE(dialog_, nullptr);
        // The duration box holds the focus, so it notifies the dialog, which writes its setting,
        // when the focus leaves it as the program ends.
        SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog_, kDurationBox)), TRUE);
        PostMessageW(dialog_, WM_COMMAND, kUninstallCommand, 0);
        HWND question = waitForMessageBox(app, caption);
        ASSERT_NE(question, nullptr);
        EXPECT_EQ(messageText(question), text);
        e2e::pressButton(question, answer);
    }
    // The program ends with 0, then its file goes; the script and its lock go too.
    void expectRemovedAfterExit(e2e::AppProcess& app, const char* farewellPage) {
        DWORD code = 1;
        ASSERT_TRUE(app.waitForExit(kTimeoutMs, &code));
        EXPECT_EQ(code, 0u);
        wchar_t temp[MAX_PATH + 1]{};
        GetTempPathW(MAX_PATH + 1, temp);
        WideString script = WideString::format(L"%lsBrindlecrest_uninstall_%lu", temp, app.processId());
        EXPECT_TRUE(waitUntil([&] {
            return !stand_in::exists(installed_) && !stand_in::exists(script + L".cmd") && !stand_in::exists(script + L".lock");
        })) << "program, script and lock are gone";
        EXPECT_TRUE(stand_in::exists(folder_ + L"\\keep.txt")) << "nothing else in the program's folder goes";
        // The browser launcher runs on its own; it may come last.
        EXPECT_TRUE(waitUntil([&] { return stand_in::browserLog().size() > browserLines_; }));
        std::vector<std::string> pages = stand_in::browserLog();
        ASSERT_EQ(pages.size(), browserLines_ + 1);
        EXPECT_EQ(pages.back(), farewellPage);
    }
    size_t browserLines_ = 0;
};

TEST_F(Uninstall, NoChangesNothing) {
    ASSERT_TRUE(stand_in::writeFile(installed_, program_));
    ASSERT_TRUE(WritePrivateProfileStringW(L"Program", L"lng", L"1", settings_.c_str()));
    e2e::AppProcess app;
    startAndAnswer(app, IDNO);
    Sleep(500);
    EXPECT_TRUE(app.running());
    closeAndExpectExit(app);
    EXPECT_TRUE(stand_in::exists(installed_));
    EXPECT_TRUE(stand_in::exists(settings_));
    EXPECT_EQ(stand_in::browserLog().size(), browserLines_);
}

// In German, so the farewell page comes from the German host.
TEST_F(Uninstall, YesRemovesAPortableCopyAndItsSettings) {
    ASSERT_TRUE(stand_in::writeFile(installed_, program_));
    ASSERT_TRUE(WritePrivateProfileStringW(L"Program", L"lng", L"0", settings_.c_str()));
    e2e::AppProcess app;
    startAndAnswer(app, IDYES, L"Deinstallieren", L"Sind Sie sicher?");
    expectRemovedAfterExit(app, "https://de.brindlecrest.example/uninstall.html");
    EXPECT_FALSE(stand_in::exists(settings_));
    EXPECT_TRUE(stand_in::exists(folder_)) << "the program's folder is the user's";
}

TEST_F(Uninstall, YesRemovesAPerUserCopyWithItsSettingsFolder) {
    WideString perUser = perUserFolder();
    DeleteFileW((perUser + L"\\Brindlecrest.ini").c_str());
    RemoveDirectoryW(perUser.c_str());
    ASSERT_FALSE(stand_in::exists(perUser)) << "the per-user folder holds files of another test";
    ASSERT_TRUE(stand_in::writeFile(installed_, program_));  // no settings beside it: a per-user copy
    e2e::AppProcess app;
    startAndAnswer(app, IDYES);
    expectRemovedAfterExit(app, "https://www.brindlecrest.example/uninstall.html");
    EXPECT_FALSE(stand_in::exists(perUser + L"\\Brindlecrest.ini"));
    EXPECT_FALSE(stand_in::exists(perUser)) << "the emptied per-user folder goes";
    EXPECT_FALSE(stand_in::exists(settings_));
}

}  // namespace
