// Where a copy of Brindlecrest.exe keeps its settings, found by starting real copies in
// folders of the test's own and looking at the files they leave behind.
#include "tests/e2e/Driver.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <ctime>

namespace {

constexpr DWORD kTimeoutMs = 30000;

WideString perUserSettingsFile() {
    wchar_t appData[MAX_PATH + 1]{};
    SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE);
    return WideString(appData) + L"\\Brindlecrest\\Brindlecrest.ini";
}

WideString readSetting(const WideString& file, const wchar_t* key) {
    wchar_t value[256]{};
    GetPrivateProfileStringW(L"Program", key, L"<absent>", value, 256, file.c_str());
    return WideString(value);
}

bool exists(const WideString& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Starts the copy, waits for its window, closes it like a user, returns whether it ended with 0.
void runOnce(const WideString& exe) {
    e2e::AppProcess app;
    ASSERT_TRUE(app.start(exe)) << "cannot start " << GetLastError();
    ASSERT_NE(app.waitForWindow(nullptr, nullptr, kTimeoutMs), nullptr) << "no window";
    for (HWND window : app.topLevelWindows(true)) {
        e2e::closeWindow(window);
    }
    DWORD code = 1;
    ASSERT_TRUE(app.waitForExit(kTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
}

// The "Test" stamp is the start time in seconds since 1970.
void expectFreshStamp(const WideString& file) {
    WideString stamp = readSetting(file, L"Test");
    ASSERT_NE(stamp, L"<absent>") << "no Test key in " << WideString(file).c_str();
    long long value = _wtoi64(stamp.c_str());
    long long now = static_cast<long long>(std::time(nullptr));
    EXPECT_LE(std::llabs(now - value), 120) << "Test=" << value << " now=" << now;
}

class SettingsLocation : public ::testing::Test {
protected:
    void SetUp() override {
        // Outside the temporary folder: the drive root of the Wine prefix.
        folder_ = WideString::format(L"C:\\bc_e2e_%lu_%lu", GetCurrentProcessId(), GetTickCount());
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        DeleteFileW(perUserSettingsFile().c_str());
    }
    void TearDown() override {
        e2e::removeTree(folder_);
        if (!tempFolder_.isEmpty()) {
            e2e::removeTree(tempFolder_);
        }
        DeleteFileW(perUserSettingsFile().c_str());
    }
    WideString copyProgram(const WideString& folder, const wchar_t* name) {
        WideString target = folder + L"\\" + name;
        EXPECT_TRUE(e2e::copyFile(e2e::besideThisExe(L"Brindlecrest.exe"), target));
        return target;
    }
    WideString folder_;
    WideString tempFolder_;
};

TEST_F(SettingsLocation, PortableCopyCreatesItsFileAndKeepsUsingIt) {
    WideString exe = copyProgram(folder_, L"Brindlecrest_p.exe");
    WideString beside = folder_ + L"\\Brindlecrest.ini";
    runOnce(exe);
    EXPECT_EQ(readSetting(beside, L"TestIni"), L"M");
    expectFreshStamp(beside);
    EXPECT_FALSE(exists(perUserSettingsFile()));

    // The second start finds its file and stays with it.
    WritePrivateProfileStringW(L"Program", L"Test", L"1", beside.c_str());
    runOnce(exe);
    expectFreshStamp(beside);
    EXPECT_FALSE(exists(perUserSettingsFile()));
}

TEST_F(SettingsLocation, MarkerAtTheFirstCharacterIsNotPortable) {
    WideString exe = copyProgram(folder_, L"_p.exe");
    runOnce(exe);
    EXPECT_FALSE(exists(folder_ + L"\\Brindlecrest.ini"));
    expectFreshStamp(perUserSettingsFile());
}

TEST_F(SettingsLocation, AnExistingFileBesideAnyCopyIsUsed) {
    WideString beside = folder_ + L"\\Brindlecrest.ini";
    ASSERT_TRUE(WritePrivateProfileStringW(L"Program", L"lng", L"1", beside.c_str()));
    WideString exe = copyProgram(folder_, L"MemoryTool.exe");
    runOnce(exe);
    expectFreshStamp(beside);
    EXPECT_EQ(readSetting(beside, L"TestIni"), L"<absent>");
    EXPECT_EQ(readSetting(beside, L"lng"), L"1");
    EXPECT_FALSE(exists(perUserSettingsFile()));
}

TEST_F(SettingsLocation, ACopyInsideTheTemporaryFolderUsesThePerUserFile) {
    wchar_t temp[MAX_PATH + 1]{};
    GetTempPathW(MAX_PATH + 1, temp);
    tempFolder_ = WideString::format(L"%lsbc_unpacked_%lu", temp, GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(tempFolder_.c_str(), nullptr));
    WideString exe = copyProgram(tempFolder_, L"Brindlecrest_p.exe");
    runOnce(exe);
    WideString beside = tempFolder_ + L"\\Brindlecrest.ini";
    EXPECT_EQ(readSetting(beside, L"TestIni"), L"M") << "the portable mark is still written beside it";
    EXPECT_EQ(readSetting(beside, L"Test"), L"<absent>");
    expectFreshStamp(perUserSettingsFile());
}

TEST_F(SettingsLocation, AFolderNamedLikeTheFileDoesNotCount) {
    ASSERT_TRUE(CreateDirectoryW((folder_ + L"\\Brindlecrest.ini").c_str(), nullptr));
    WideString exe = copyProgram(folder_, L"Brindlecrest.exe");
    runOnce(exe);
    expectFreshStamp(perUserSettingsFile());
}

}  // namespace
