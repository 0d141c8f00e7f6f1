// The store against a real INI file through the platform's private-profile functions.
#include "settings/Settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1]{};
        GetTempPathW(MAX_PATH + 1, temp);
        folder_ = WideString::format(L"%lsbc_settings_%lu_%lu", temp, GetCurrentProcessId(), GetTickCount());
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        savedPath_ = settingsPath;
        settingsPath = folder_ + L"\\Brindlecrest.ini";
    }
    void TearDown() override {
        DeleteFileW(settingsPath.c_str());
        RemoveDirectoryW(folder_.c_str());
        settingsPath = savedPath_;
    }
    void writeRawFile(const char* content) {
        HANDLE file = CreateFileW(settingsPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
        CloseHandle(file);
    }
    std::string readRawFile() {
        std::string content;
        HANDLE file = CreateFileW(settingsPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return content;
        }
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
            content.append(buffer, got);
        }
        CloseHandle(file);
        return content;
    }
    WideString folder_;
    WideString savedPath_;
};

TEST_F(SettingsStore, ReadsNumbersTheWayTheUserWroteThem) {
    writeRawFile("[Program]\r\nabc=abc\r\ntwo=2x\r\nempty=\r\nneg= -7\r\nplus=+5\r\nbig=99999999999\r\nlng=7\r\n");
    EXPECT_EQ(readIntSetting(kSettingsSection, L"abc", 1), 0);
    EXPECT_EQ(readIntSetting(kSettingsSection, L"two", 1), 2);
    EXPECT_EQ(readIntSetting(kSettingsSection, L"empty", 1), 1) << "an empty value keeps the default";
    EXPECT_EQ(readIntSetting(kSettingsSection, L"neg", 1), -7);
    EXPECT_EQ(readIntSetting(kSettingsSection, L"plus", 1), 5);
    EXPECT_EQ(readIntSetting(kSettingsSection, L"big", 1), 2147483647);
    EXPECT_EQ(readIntSetting(kSettingsSection, L"absent", 3), 3);
    EXPECT_EQ(readIntSetting(kSettingsSection, L"absent", -12), -12);
    EXPECT_EQ(readIntSetting(kSettingsSection, kSettingLanguage, 1), 7);
    EXPECT_EQ(readIntSetting(L"Other", kSettingLanguage, 1), 1) << "keys live in their section only";
}

TEST_F(SettingsStore, EveryWriteReachesTheFileAtOnceAndKeepsTheOtherKeys) {
    writeRawFile("[Program]\r\nlng=4\r\nno_vol_label=1\r\n");
    ASSERT_TRUE(writeIntSetting(kSettingsSection, kSettingTestTime, 3));
    std::string content = readRawFile();
    EXPECT_NE(content.find("test_time_id=3"), std::string::npos) << content;
    EXPECT_NE(content.find("lng=4"), std::string::npos);
    EXPECT_NE(content.find("no_vol_label=1"), std::string::npos);

    ASSERT_TRUE(writeIntSetting(kSettingsSection, kSettingTestTime, -2));
    EXPECT_NE(readRawFile().find("test_time_id=-2"), std::string::npos);
    EXPECT_EQ(readIntSetting(kSettingsSection, kSettingTestTime, 1), -2);

    ASSERT_TRUE(writeTextSetting(kSettingsSection, kSettingPortableMark, L"M"));
    EXPECT_NE(readRawFile().find("TestIni=M"), std::string::npos);

    // Someone else edits the file between our calls: the store reads the file, not a cache.
    writeRawFile("[Program]\r\ntest_time_id=0\r\n");
    EXPECT_EQ(readIntSetting(kSettingsSection, kSettingTestTime, 1), 0);
}

TEST_F(SettingsStore, AFileThatCannotBeWrittenFailsQuietly) {
    settingsPath = folder_ + L"\\missing-folder\\Brindlecrest.ini";
    EXPECT_FALSE(writeIntSetting(kSettingsSection, kSettingLanguage, 3));
    EXPECT_EQ(readIntSetting(kSettingsSection, kSettingLanguage, 5), 5);
    settingsPath = folder_ + L"\\Brindlecrest.ini";

    // A folder where the file should be.
    ASSERT_TRUE(CreateDirectoryW(settingsPath.c_str(), nullptr));
    EXPECT_FALSE(writeIntSetting(kSettingsSection, kSettingLanguage, 3));
    EXPECT_EQ(readIntSetting(kSettingsSection, kSettingLanguage, 5), 5);
    RemoveDirectoryW(settingsPath.c_str());
}

TEST(SettingsParse, ReadsLikeTheWideStringToIntegerConversion) {
    EXPECT_EQ(parseDecimal(L"0005"), 5);
    EXPECT_EQ(parseDecimal(L"  \t42=x"), 42);
    EXPECT_EQ(parseDecimal(L"-3"), -3);
    EXPECT_EQ(parseDecimal(L"TranslatorName"), 0);
    EXPECT_EQ(parseDecimal(L"+-1"), 0);
    EXPECT_EQ(parseDecimal(L""), 0);
    EXPECT_EQ(parseDecimal(nullptr), 0);
    EXPECT_EQ(parseDecimal(L"-99999999999"), -2147483647 - 1);
}

}  // namespace
