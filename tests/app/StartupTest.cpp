// Start-up pieces that decide whether the program runs at all: the caption's version line, the
// thank-you text taken from the archive, the self-update's take-over and a damaged archive.
// The last two start real copies of Brindlecrest.exe in folders of the test's own.
#include "app/BottomToolbar.h"
#include "app/MainWindow.h"
#include "app/SelfUpdate.h"
#include "app/SystemVersion.h"
#include "lang/ArchiveContainer.h"
#include "res/resource.h"
#include "tests/e2e/Driver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr DWORD kTimeoutMs = 30000;

TEST(Caption, NamesArchitectureHypervisorVersionAndServer) {
    OsVersion workstation{10, 0, 22631, true};
    EXPECT_STREQ(dialogCaption(L"Brindlecrest 1.33", true, workstation).c_str(), L"Brindlecrest 1.33 - x64 V-PC - OS:10.0.22631");
    EXPECT_STREQ(dialogCaption(L"Brindlecrest 1.33", false, workstation).c_str(), L"Brindlecrest 1.33 - x64 - OS:10.0.22631");
    OsVersion server{6, 3, 9600, false};
    EXPECT_STREQ(dialogCaption(L"Brindlecrest 1.33", true, server).c_str(), L"Brindlecrest 1.33 - x64 V-PC - OS:6.3.9600 Server");
    EXPECT_STREQ(dialogCaption(nullptr, false, workstation).c_str(), L" - x64 - OS:10.0.22631");
}

TEST(ThanksText, PutsTheAddressInPlaceOfTheFirstPlaceholderOnly) {
    EXPECT_STREQ(thanksButtonText(L"Freeware - %s", L"https://a.example/").c_str(), L"Freeware - https://a.example/");
    EXPECT_STREQ(thanksButtonText(L"%s and %s", L"A").c_str(), L"A and %s");
    // Other conversions stay text: the pattern is never handed to a formatter.
    EXPECT_STREQ(thanksButtonText(L"100%% %d %n %ls%s", L"X").c_str(), L"100% %d %n %lsX");
    EXPECT_STREQ(thanksButtonText(L"no placeholder", L"X").c_str(), L"no placeholder");
    EXPECT_STREQ(thanksButtonText(L"ends with %", L"X").c_str(), L"ends with %");
    EXPECT_TRUE(thanksButtonText(nullptr, L"X").isEmpty());
}

TEST(SelfUpdatePath, TakesTheMarkOutOfTheFileNameOnly) {
    EXPECT_STREQ(installedPathFor(L"C:\\Tools\\Brindlecrest_autoupdate.exe").c_str(), L"C:\\Tools\\Brindlecrest.exe");
    EXPECT_STREQ(installedPathFor(L"C:\\Tools\\Brindlecrest_AutoUpdate.exe").c_str(), L"C:\\Tools\\Brindlecrest.exe");
    EXPECT_TRUE(installedPathFor(L"C:\\_autoupdate\\Brindlecrest.exe").isEmpty());
    EXPECT_TRUE(installedPathFor(L"C:\\Tools\\Brindlecrest.exe").isEmpty());
}

TEST(Resources, NameTheHiddenWindowClassAndItsAccelerators) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    wchar_t text[101]{};
    EXPECT_EQ(LoadStringW(instance, IDS_MAIN_WINDOW_CLASS, text, 101), 2);
    EXPECT_STREQ(text, L"ti");
    EXPECT_EQ(LoadStringW(instance, IDS_MAIN_WINDOW_CLASS_COPY, text, 101), 2);
    EXPECT_STREQ(text, L"ti");

    HACCEL table = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAIN_ACCELERATORS));
    ASSERT_NE(table, nullptr);
    ACCEL entries[8]{};
    ASSERT_EQ(CopyAcceleratorTableW(table, entries, 8), 3);
    // Alt with the characters "/" and "?" reopens the dialog; Alt+F4 goes to a command nobody handles.
    EXPECT_EQ(entries[0].key, '/');
    EXPECT_EQ(entries[0].fVirt & (FVIRTKEY | FALT), FALT);
    EXPECT_EQ(entries[0].cmd, 104);
    EXPECT_EQ(entries[1].key, '?');
    EXPECT_EQ(entries[1].fVirt & (FVIRTKEY | FALT), FALT);
    EXPECT_EQ(entries[1].cmd, 104);
    EXPECT_EQ(entries[2].key, VK_F4);
    EXPECT_EQ(entries[2].fVirt & (FVIRTKEY | FALT), FVIRTKEY | FALT);
    EXPECT_EQ(entries[2].cmd, 32773);
    DestroyAcceleratorTable(table);
}

std::vector<uint8_t> readFile(const WideString& path) {
    std::ifstream in(std::filesystem::path(path.c_str()), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeFile(const WideString& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(std::filesystem::path(path.c_str()), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return out.good();
}

// A folder outside the temporary folder, with a settings file that picks English.
class OwnFolder : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = WideString::format(L"C:\\bc_startup_%lu_%lu", GetCurrentProcessId(), GetTickCount());
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        ASSERT_TRUE(WritePrivateProfileStringW(L"Program", L"lng", L"1", (folder_ + L"\\Brindlecrest.ini").c_str()));
    }
    void TearDown() override { e2e::removeTree(folder_); }
    WideString path(const wchar_t* name) const { return folder_ + L"\\" + name; }
    WideString folder_;
};

bool hasWindowOfClass(const e2e::AppProcess& app, const WideString& className) {
    for (HWND window : app.topLevelWindows(false)) {
        if (e2e::windowClassName(window) == className) {
            return true;
        }
    }
    return false;
}

class DamagedArchive : public OwnFolder, public ::testing::WithParamInterface<int> {};

TEST_P(DamagedArchive, EndsWithZeroBeforeAnyWindowOfItsOwn) {
    std::vector<uint8_t> exe = readFile(e2e::besideThisExe(L"Brindlecrest.exe"));
    Bytes marker = startMarker();
    ptrdiff_t at = findMarker(exe.data(), exe.size(), marker.data(), marker.size());
    ASSERT_GE(at, 0);
    if (GetParam() == 0) {
        exe[static_cast<size_t>(at)] ^= 0xFF;  // no start marker any more
    } else {
        // A decoded size far beyond any archive.
        std::memset(exe.data() + at + marker.size(), 0xFF, kDecodedSizeBytes);
    }
    WideString copy = path(L"Brindlecrest.exe");
    ASSERT_TRUE(writeFile(copy, exe));

    e2e::AppProcess app;
    ASSERT_TRUE(app.start(copy));
    HWND alert = app.waitForWindow(nullptr, L"Alert", kTimeoutMs);
    ASSERT_NE(alert, nullptr) << "the loading error is reported";
    EXPECT_FALSE(hasWindowOfClass(app, L"ti")) << "no hidden main window";
    EXPECT_EQ(app.topLevelWindows(true).size(), 1u) << "nothing but the message";
    e2e::closeWindow(alert);
    DWORD code = 1;
    ASSERT_TRUE(app.waitForExit(kTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
}

INSTANTIATE_TEST_SUITE_P(MarkerAndSize, DamagedArchive, ::testing::Values(0, 1));

using SelfUpdate = OwnFolder;

TEST_F(SelfUpdate, UpdateEndsTheRunningCopyReplacesItAndStartsIt) {
    WideString built = e2e::besideThisExe(L"Brindlecrest.exe");
    std::vector<uint8_t> newProgram = readFile(built);
    ASSERT_FALSE(newProgram.empty());
    // The old program differs by a tail that the new one lacks.
    std::vector<uint8_t> oldProgram = newProgram;
    const char tail[] = "an older Brindlecrest";
    oldProgram.insert(oldProgram.end(), tail, tail + sizeof(tail));
    WideString installed = path(L"Brindlecrest.exe");
    ASSERT_TRUE(writeFile(installed, oldProgram));
    WideString update = path(L"Brindlecrest_autoupdate.exe");
    ASSERT_TRUE(writeFile(update, newProgram));

    e2e::AppProcess old;
    ASSERT_TRUE(old.start(installed));
    ASSERT_NE(e2e::waitForMainDialog(old, kTimeoutMs), nullptr);

    e2e::AppProcess updater;
    ASSERT_TRUE(updater.start(update));
    DWORD code = 1;
    ASSERT_TRUE(updater.waitForExit(kTimeoutMs, &code)) << "the update hands over and ends";
    EXPECT_EQ(code, 0u);
    ASSERT_TRUE(old.waitForExit(kTimeoutMs, &code)) << "the running copy was asked to quit";
    EXPECT_EQ(code, 17767u);
    EXPECT_EQ(readFile(installed), newProgram);

    e2e::AppProcess started;
    for (DWORD id : e2e::findProcesses(L"Brindlecrest.exe")) {
        if (e2e::processImagePath(id).compareNoCase(installed.c_str()) == 0 && id != old.processId()) {
            ASSERT_TRUE(started.attach(id));
        }
    }
    ASSERT_NE(started.processId(), 0u) << "the installed copy runs";
    HWND dialog = e2e::waitForMainDialog(started, kTimeoutMs);
    ASSERT_NE(dialog, nullptr);
    // The installed copy removes the update, which is a copy of itself, once the update has ended.
    DWORD start = GetTickCount();
    while (GetFileAttributesW(update.c_str()) != INVALID_FILE_ATTRIBUTES && GetTickCount() - start < kTimeoutMs) {
        Sleep(100);
    }
    EXPECT_EQ(GetFileAttributesW(update.c_str()), INVALID_FILE_ATTRIBUTES) << "the update is left behind";
    EXPECT_EQ(GetFileAttributesW((installed + L".new").c_str()), INVALID_FILE_ATTRIBUTES);
    e2e::closeWindow(dialog);
    ASSERT_TRUE(started.waitForExit(kTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
}

// A program file that stays in use cannot be replaced: the update says so and runs on, and the
// installed program is left exactly as it was, with no half-made copy beside it.
TEST_F(SelfUpdate, AProgramThatCannotBeReplacedStaysAsItWas) {
    std::vector<uint8_t> newProgram = readFile(e2e::besideThisExe(L"Brindlecrest.exe"));
    std::vector<uint8_t> oldProgram(newProgram.begin(), newProgram.begin() + 4096);
    WideString installed = path(L"Brindlecrest.exe");
    ASSERT_TRUE(writeFile(installed, oldProgram));
    WideString update = path(L"Brindlecrest_autoupdate.exe");
    ASSERT_TRUE(writeFile(update, newProgram));
    HANDLE holder = CreateFileW(installed.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    e2e::AppProcess updater;
    ASSERT_TRUE(updater.start(update));
    HWND box = updater.waitForWindow(L"#32770", L"Auto-Update", kTimeoutMs);
    CloseHandle(holder);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(e2e::windowText(GetDlgItem(box, 0xFFFF)).find(L"The new version could not take the program's place."), 0);
    EXPECT_EQ(readFile(installed), oldProgram);
    EXPECT_EQ(GetFileAttributesW((installed + L".new").c_str()), INVALID_FILE_ATTRIBUTES);
    e2e::pressButton(box, IDOK);
    HWND dialog = e2e::waitForMainDialog(updater, kTimeoutMs);
    ASSERT_NE(dialog, nullptr) << "the update runs on";
    e2e::closeWindow(dialog);
    DWORD code = 1;
    ASSERT_TRUE(updater.waitForExit(kTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
