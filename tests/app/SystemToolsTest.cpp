// The system-tool and folder commands, carried out in this process: the shell starts recording
// stand-ins put into the Wine prefix under the tools' names, and each record tells what was
// started, with which parameters, in which folder and with which show state.
#include "app/DialogIds.h"
#include "app/MainDialog.h"
#include "app/SystemTools.h"
#include "base/ExecutablePath.h"
#include "settings/Settings.h"
#include "tests/e2e/Driver.h"
#include "tests/e2e/ToolStandIns.h"

#include <gtest/gtest.h>

namespace {

constexpr DWORD kRecordTimeoutMs = 15000;

class SystemTools : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(standIns_.ready()) << "toolRecorder.exe beside the test";
        for (const wchar_t* tool : {L"taskmgr.exe", L"rundll32.exe", L"msinfo32.exe", L"mdsched.exe", L"resmon.exe",
                                    L"perfmon.exe", L"dfrgui.exe"}) {
            ASSERT_TRUE(standIns_.installProgram(tool)) << WideString(tool).c_str();
        }
        // Snap-ins open with the console, as Windows registers them.
        ASSERT_TRUE(standIns_.installDocumentType(L".msc", L"mscfile", L"mmc.exe"));
        for (const wchar_t* snapIn : {L"compmgmt.msc", L"diskmgmt.msc", L"dfrg.msc"}) {
            ASSERT_TRUE(standIns_.placeSystemFile(snapIn));
        }
        ASSERT_TRUE(standIns_.installDocumentType(L".ini", L"inifile", L"bcinihandler.exe"));
        ASSERT_TRUE(standIns_.installFolderHandler(L"bcfolderhandler.exe"));

        // A tool started without a working folder inherits ours.
        folder_ = e2e::makeTempFolder(L"bc_tools_cwd");
        wchar_t previous[MAX_PATH]{};
        GetCurrentDirectoryW(MAX_PATH, previous);
        previousFolder_ = previous;
        ASSERT_TRUE(SetCurrentDirectoryW(folder_.c_str()));
        savedSettingsPath_ = settingsPath;
        settingsPath = folder_ + L"\\Brindlecrest.ini";
        WritePrivateProfileStringW(L"Program", L"lng", L"1", settingsPath.c_str());
    }
    void TearDown() override {
        SetCurrentDirectoryW(previousFolder_.c_str());
        settingsPath = savedSettingsPath_;
        e2e::removeTree(folder_);
        runsUnderWow64 = false;
    }

    // Runs the command and returns the one start it caused.
    e2e::ToolRecord run(int command) {
        standIns_.clearRecords();
        EXPECT_TRUE(openSystemTool(command));
        std::vector<e2e::ToolRecord> records = standIns_.waitForRecords(1, kRecordTimeoutMs);
        EXPECT_EQ(records.size(), 1u) << "command " << command;
        return records.empty() ? e2e::ToolRecord() : records[0];
    }

    e2e::ToolStandIns standIns_;
    WideString folder_;
    WideString previousFolder_;
    WideString savedSettingsPath_;
};

TEST_F(SystemTools, EachToolStartsWithItsParametersNoFolderAndShown) {
    const WideString system = e2e::ToolStandIns::systemFolder();
    struct Case {
        int command;
        const wchar_t* program;
        WideString arguments;
    };
    const Case cases[] = {
        {ids::kTaskManagerCommand, L"taskmgr.exe", L""},
        {ids::kSystemPropertiesCommand, L"rundll32.exe", L"shell32.dll,Control_RunDLL sysdm.cpl,,3"},
        {ids::kSystemInformationCommand, L"msinfo32.exe", L""},
        {ids::kMemoryDiagnosticsCommand, L"mdsched.exe", L""},
        {ids::kResourceMonitorCommand, L"resmon.exe", L""},
        {ids::kPerformanceMonitorCommand, L"perfmon.exe", L""},
        {ids::kComputerManagementCommand, L"mmc.exe", L"\"" + system + L"\\compmgmt.msc\""},
        {ids::kDiskManagementCommand, L"mmc.exe", L"\"" + system + L"\\diskmgmt.msc\""},
        {ids::kOpenSettingsFileCommand, L"bcinihandler.exe", L"\"" + settingsPath + L"\""},
        {ids::kSettingsFileCommand, L"bcinihandler.exe", L"\"" + settingsPath + L"\""},
        {ids::kProgramFolderCommand, L"bcfolderhandler.exe",
         L"/folder \"" + executablePath().left(executablePath().reverseFind(L'\\')) + L"\""},
        {ids::kSettingsFolderCommand, L"bcfolderhandler.exe", L"/folder \"" + folder_ + L"\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        e2e::ToolRecord record = run(c.command);
        EXPECT_STREQ(record.programName().c_str(), c.program);
        EXPECT_EQ(record.program.left(system.length()).compareNoCase(system.c_str()), 0) << record.program.c_str();
        EXPECT_STREQ(record.arguments.c_str(), c.arguments.c_str());
        EXPECT_EQ(record.folder.compareNoCase(folder_.c_str()), 0) << "no working folder given: " << record.folder.c_str();
        EXPECT_EQ(record.show, SW_SHOW);
    }
    EXPECT_FALSE(openSystemTool(ids::kInfoCommand)) << "not a tool";
    EXPECT_FALSE(openSystemTool(ids::kExitCommand));
}

TEST_F(SystemTools, DriveOptimizerStartsInTheProfileFolderAndFallsBackToTheSnapIn) {
    wchar_t profile[MAX_PATH]{};
    ASSERT_GT(GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH), 0u);

    e2e::ToolRecord program = run(ids::kDriveOptimizerCommand);
    EXPECT_STREQ(program.programName().c_str(), L"dfrgui.exe");
    EXPECT_STREQ(program.arguments.c_str(), L"");
    EXPECT_EQ(program.folder.compareNoCase(profile), 0) << "%UserProfile% expanded: " << program.folder.c_str();
    EXPECT_EQ(program.show, SW_SHOWNORMAL);

    ASSERT_TRUE(standIns_.removeSystemFile(L"dfrgui.exe"));
    e2e::ToolRecord snapIn = run(ids::kDriveOptimizerCommand);
    EXPECT_STREQ(snapIn.programName().c_str(), L"mmc.exe");
    EXPECT_STREQ(snapIn.arguments.c_str(), (L"\"" + e2e::ToolStandIns::systemFolder() + L"\\dfrg.msc\"").c_str());
    EXPECT_EQ(snapIn.folder.compareNoCase(profile), 0);
    EXPECT_EQ(snapIn.show, SW_SHOWNORMAL);
}

TEST_F(SystemTools, SettingsFolderAtTheRootOfADriveIsTheRootNotTheDrivesCurrentFolder) {
    settingsPath = L"C:\\Brindlecrest.ini";
    e2e::ToolRecord record = run(ids::kSettingsFolderCommand);
    EXPECT_STREQ(record.arguments.c_str(), L"/folder \"C:\\\"");
}

// A 64-bit build never runs under WOW64, so the switch itself cannot act here. What can be seen:
// outside WOW64 the system's function fails with ERROR_INVALID_FUNCTION, so a call that reached it
// leaves that error behind.
TEST_F(SystemTools, RedirectionIsSwitchedOnlyUnderWow64) {
    runsUnderWow64 = false;
    SetLastError(ERROR_SUCCESS);
    setRedirection(false);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "not under WOW64: nothing is called";
    runsUnderWow64 = true;
    SetLastError(ERROR_SUCCESS);
    setRedirection(false);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION)) << "Wow64EnableWow64FsRedirection was reached";
}

}  // namespace
