// The pieces of self-update and uninstall in this process: SHA-256, fetches and downloads against
// the stand-in server, the leftover rule, the settings removal and the removal script under Wine's
// own cmd.exe.
#include "tests/sysinfo/PrintWideString.h"
#include "tests/update/StandIn.h"
#include "tests/e2e/Driver.h"
#include "update/AutoUpdate.h"
#include "update/BackgroundWork.h"
#include "update/Sha256.h"
#include "update/Uninstall.h"
#include "update/UpdateFiles.h"
#include "update/UpdateTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

#define REQUIRE_STAND_IN()                                                   \
    if (!stand_in::available()) {                                            \
        GTEST_SKIP() << "no stand-in server (run through with-stand-in-server.sh)"; \
    }

std::string hex(const Sha256Digest& digest) {
    std::string text;
    for (uint8_t byte : digest) {
        text += "0123456789abcdef"[byte >> 4];
        text += "0123456789abcdef"[byte & 15];
    }
    return text;
}

std::vector<uint8_t> patterned(size_t size, unsigned seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>((i * 131 + seed * 17 + (i >> 9)) & 0xFF);
    }
    return bytes;
}

update::WebAddress parsed(const WideString& address) {
    std::string ascii;
    for (int i = 0; i < address.length(); ++i) {
        ascii += static_cast<char>(address[i]);
    }
    std::optional<update::WebAddress> result = update::parseWebAddress(ascii);
    EXPECT_TRUE(result.has_value()) << ascii;
    return result.value_or(update::WebAddress{});
}

FetchResult fetchInto(const WideString& address, uint64_t maxBytes, std::vector<uint8_t>& body) {
    body.clear();
    return fetchAddress(parsed(address), maxBytes, [&body](const uint8_t* data, size_t bytes) {
        body.insert(body.end(), data, data + bytes);
        return true;
    });
}

// Known answers, one of them longer than a read chunk, so that a digest taken over the wrong
// pieces or the wrong algorithm shows.
TEST(Sha256, KnownAnswersInOnePieceAndFromAFile) {
    Sha256Digest digest{};
    Sha256 empty;
    ASSERT_TRUE(empty.ready());
    ASSERT_TRUE(empty.finish(digest));
    EXPECT_EQ(hex(digest), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    Sha256 abc;
    ASSERT_TRUE(abc.add("abc", 3));
    ASSERT_TRUE(abc.finish(digest));
    EXPECT_EQ(hex(digest), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    WideString folder = e2e::makeTempFolder(L"bc_sha");
    WideString path = folder + L"\\million.bin";
    ASSERT_TRUE(stand_in::writeFile(path, std::vector<uint8_t>(1000000, 'a')));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    uint64_t bytes = 0;
    ASSERT_TRUE(sha256OfFile(file, digest, bytes));
    CloseHandle(file);
    EXPECT_EQ(bytes, 1000000u);
    EXPECT_EQ(hex(digest), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    e2e::removeTree(folder);
}

TEST(UpdateTexts, PlaceholdersAreFilledInOrderAndNothingElseIsInterpreted) {
    EXPECT_EQ(fillPlaceholders(L"Version %s; you have %s.", {L"2.0", L"1.33"}), L"Version 2.0; you have 1.33.");
    EXPECT_EQ(fillPlaceholders(L"%d %n 100%% %s %s", {L"A"}), L"%d %n 100%% A %s");
    EXPECT_EQ(fillPlaceholders(L"none", {L"A"}), L"none");
    EXPECT_EQ(fillPlaceholders(L"%s%s", {L"%s", L"B"}), L"%sB") << "a value is never searched again";
}

TEST(UpdateFiles, UpdateAndInstalledPathsAreEachOthersInverse) {
    EXPECT_EQ(updatePathFor(L"C:\\Tools\\Brindlecrest.exe"), L"C:\\Tools\\Brindlecrest_autoupdate.exe");
    EXPECT_EQ(updatePathFor(L"C:\\v1.2\\Brindlecrest"), L"C:\\v1.2\\Brindlecrest_autoupdate") << "a folder's dot is no extension";
    EXPECT_EQ(updatePathFor(L"C:\\Tools\\Brindlecrest_p.exe"), L"C:\\Tools\\Brindlecrest_p_autoupdate.exe");
    for (const wchar_t* installed : {L"C:\\Tools\\Brindlecrest.exe", L"C:\\a.b\\Tool", L"D:\\x\\Brindlecrest_p.exe"}) {
        EXPECT_EQ(installedPathFor(updatePathFor(installed)), installed);
    }
}

// The installed program deletes the update beside it only when it is a copy of itself.
TEST(UpdateFiles, OnlyAnIdenticalLeftoverIsRemoved) {
    WideString folder = e2e::makeTempFolder(L"bc_leftover");
    WideString installed = folder + L"\\Brindlecrest.exe";
    WideString leftover = folder + L"\\Brindlecrest_autoupdate.exe";
    std::vector<uint8_t> program = patterned(200000, 1);
    ASSERT_TRUE(stand_in::writeFile(installed, program));

    std::vector<uint8_t> other = program;
    other[150000] ^= 1;  // past the first read chunk
    ASSERT_TRUE(stand_in::writeFile(leftover, other));
    EXPECT_FALSE(removeUpdateLeftover(installed));
    EXPECT_TRUE(stand_in::exists(leftover)) << "a file that differs is the user's";

    other.pop_back();
    ASSERT_TRUE(stand_in::writeFile(leftover, other));
    EXPECT_FALSE(removeUpdateLeftover(installed));
    EXPECT_TRUE(stand_in::exists(leftover)) << "a shorter file differs too";

    ASSERT_TRUE(stand_in::writeFile(leftover, program));
    EXPECT_TRUE(removeUpdateLeftover(installed));
    EXPECT_FALSE(stand_in::exists(leftover));
    EXPECT_TRUE(stand_in::exists(installed));
    e2e::removeTree(folder);
}

// A quit request that arrives while the work runs must reach the message loop afterwards, or
// the program would not end when another program asks it to.
TEST(BackgroundWork, ServesMessagesMeanwhileAndPassesAQuitRequestOn) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    DWORD dialogThread = GetCurrentThreadId();
    std::atomic<int> cancel{0};
    bool served = runWhileServingMessages(window, [&] {
        // Answered only if the dialog's thread dispatches while the work runs.
        SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"served"));
        EXPECT_FALSE(IsWindowEnabled(window)) << "the owner is disabled while the work runs";
        PostThreadMessageW(dialogThread, WM_QUIT, 77, 0);
        for (int i = 0; i < 200 && !cancel.load(); ++i) {
            Sleep(10);
        }
    }, cancel);
    EXPECT_FALSE(served);
    EXPECT_EQ(cancel.load(), 1);
    EXPECT_EQ(e2e::windowText(window), L"served");
    EXPECT_TRUE(IsWindowEnabled(window));
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit request is posted again";
    EXPECT_EQ(message.wParam, 77u);
    DestroyWindow(window);
}

// Wine's chain engine keeps the root store it has read for the rest of the process, so the
// refusal is seen in a process of its own: this test program again, running only this test, while
// the certificate is out of the store.
TEST(Untrusted, ACertificateOutsideTheRootStoreIsRefused) {
    REQUIRE_STAND_IN();
    if (GetEnvironmentVariableW(L"BC_UNTRUSTED_CHILD", nullptr, 0) > 0) {
        ASSERT_FALSE(stand_in::certificateTrusted());
        ASSERT_TRUE(stand_in::writeSiteFile(L"t.txt", std::string("x")));
        std::vector<uint8_t> body;
        FetchResult result = fetchInto(stand_in::httpsAddress(L"/site/t.txt"), 1024, body);
        EXPECT_EQ(result.status, FetchStatus::secureChannel);
        EXPECT_TRUE(body.empty());
        return;
    }
    bool wasTrusted = stand_in::certificateTrusted();
    ASSERT_TRUE(stand_in::distrustCertificate() || !wasTrusted);
    SetEnvironmentVariableW(L"BC_UNTRUSTED_CHILD", L"1");
    e2e::AppProcess child;
    bool started = child.start(e2e::besideThisExe(L"updateTests.exe"), L"--gtest_filter=Untrusted.* --gtest_color=no");
    SetEnvironmentVariableW(L"BC_UNTRUSTED_CHILD", nullptr);
    DWORD code = 1;
    bool ended = started && child.waitForExit(60000, &code);
    if (wasTrusted) {
        EXPECT_TRUE(stand_in::trustCertificate(true));
    }
    ASSERT_TRUE(ended);
    EXPECT_EQ(code, 0u) << "the https fetch in the child was not refused";
}

class Fetch : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_STAND_IN();
        ASSERT_TRUE(stand_in::trustCertificate());
    }
};

TEST_F(Fetch, BodiesStatusesAndBrokenTransfersOverHttpsAndLoopbackHttp) {
    std::vector<uint8_t> file = patterned(300000, 2);
    ASSERT_TRUE(stand_in::writeSiteFile(L"file.bin", file));
    std::vector<uint8_t> body;

    FetchResult result = fetchInto(stand_in::httpsAddress(L"/site/file.bin"), 1 << 20, body);
    EXPECT_EQ(result.status, FetchStatus::ok);
    EXPECT_EQ(result.bytes, file.size());
    EXPECT_TRUE(body == file) << "the body arrives whole over https";
    result = fetchInto(stand_in::httpAddress(L"/site/file.bin"), 1 << 20, body);
    EXPECT_EQ(result.status, FetchStatus::ok);
    EXPECT_TRUE(body == file) << "and over plain http to this machine";

    result = fetchInto(stand_in::httpsAddress(L"/status/404"), 1 << 20, body);
    EXPECT_EQ(result.status, FetchStatus::httpError);
    EXPECT_EQ(result.httpStatus, 404u);
    result = fetchInto(stand_in::httpsAddress(L"/status/500"), 1 << 20, body);
    EXPECT_EQ(result.httpStatus, 500u);

    result = fetchInto(stand_in::httpsAddress(L"/truncated/file.bin"), 1 << 20, body);
    EXPECT_EQ(result.status, FetchStatus::interrupted) << "half of the announced length";

    result = fetchInto(stand_in::httpsAddress(L"/site/file.bin"), file.size() - 1, body);
    EXPECT_EQ(result.status, FetchStatus::tooLarge) << "an announced length past the limit";
    EXPECT_TRUE(body.empty()) << "is refused before any of it is read";
    result = fetchInto(stand_in::httpsAddress(L"/endless"), 3 << 20, body);
    EXPECT_EQ(result.status, FetchStatus::tooLarge) << "a body without length, past the limit";
    EXPECT_LE(body.size(), 3u << 20);

    result = fetchInto(stand_in::closedPortAddress(L"/site/file.bin"), 1 << 20, body);
    EXPECT_EQ(result.status, FetchStatus::cannotConnect) << "the server down";
    EXPECT_NE(result.systemError, 0u);
}

TEST_F(Fetch, RedirectsAreFollowedOnlyToAcceptedAddresses) {
    ASSERT_TRUE(stand_in::writeSiteFile(L"target.txt", std::string("arrived")));
    std::vector<uint8_t> body;
    FetchResult result = fetchInto(stand_in::httpsAddress(L"/redirect?to=%2Fsite%2Ftarget.txt"), 1024, body);
    EXPECT_EQ(result.status, FetchStatus::ok) << "a path on the same server";
    EXPECT_EQ(std::string(body.begin(), body.end()), "arrived");

    size_t before = stand_in::requests().size();
    // A plain http address elsewhere is refused before it is asked; it would not answer anyway.
    result = fetchInto(stand_in::httpAddress(L"/redirect?to=http%3A%2F%2Fwww.brindlecrest.example%2Fx.exe"), 1024, body);
    EXPECT_EQ(result.status, FetchStatus::refusedRedirect);
    EXPECT_EQ(stand_in::requests().size(), before + 1);
}

class Check : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_STAND_IN();
        ASSERT_TRUE(stand_in::trustCertificate());
    }
    const update::ProgramVersion running{{1, 33, 0, 0}};
};

TEST_F(Check, ComparesTheServersVersionAndSendsTheLanguage) {
    std::string digest(43, 'A');
    digest += '=';
    ASSERT_TRUE(stand_in::writeSiteFile(L"older.txt", stand_in::descriptor("1.4", stand_in::httpsAddress(L"/site/x.exe"), 10, digest)));
    ASSERT_TRUE(stand_in::writeSiteFile(L"same.txt", stand_in::descriptor("1.33.0.0", stand_in::httpsAddress(L"/site/x.exe"), 10, digest)));
    ASSERT_TRUE(stand_in::writeSiteFile(L"newer.txt", stand_in::descriptor("1.34", stand_in::httpsAddress(L"/site/x.exe"), 10, digest)));

    UpdateCheck check = checkForUpdate(stand_in::httpsAddress(L"/site/older.txt"), L"Portuguese-Brazil", running, nullptr);
    EXPECT_EQ(check.outcome, CheckOutcome::upToDate) << "1.4 is older than 1.33";
    EXPECT_EQ(stand_in::requests().back(), "/site/older.txt?lang=Portuguese-Brazil");
    check = checkForUpdate(stand_in::httpsAddress(L"/site/same.txt?channel=1"), L"Fran\u00e7ais", running, nullptr);
    EXPECT_EQ(check.outcome, CheckOutcome::upToDate);
    EXPECT_EQ(stand_in::requests().back(), "/site/same.txt?channel=1&lang=Fran%C3%A7ais");
    check = checkForUpdate(stand_in::httpAddress(L"/site/newer.txt"), L"English", running, nullptr);
    ASSERT_EQ(check.outcome, CheckOutcome::newer);
    EXPECT_EQ(update::versionText(check.descriptor.version), "1.34");
}

TEST_F(Check, GarbageErrorsAndInsecureAddressesNeverCountAsAnswers) {
    ASSERT_TRUE(stand_in::writeSiteFile(L"garbage.txt", std::string("<html><body>Welcome to the hotel Wi-Fi</body></html>\n")));
    UpdateCheck check = checkForUpdate(stand_in::httpsAddress(L"/site/garbage.txt"), L"English", running, nullptr);
    EXPECT_EQ(check.outcome, CheckOutcome::invalidDescriptor);
    EXPECT_EQ(check.descriptorError, update::DescriptorError::noHeader);
    check = checkForUpdate(stand_in::httpsAddress(L"/endless"), L"English", running, nullptr);
    EXPECT_EQ(check.outcome, CheckOutcome::invalidDescriptor) << "megabytes are no descriptor";
    check = checkForUpdate(stand_in::httpsAddress(L"/status/503"), L"English", running, nullptr);
    EXPECT_EQ(check.outcome, CheckOutcome::fetchFailed);
    EXPECT_EQ(check.fetch.httpStatus, 503u);
    check = checkForUpdate(stand_in::closedPortAddress(L"/site/newer.txt"), L"English", running, nullptr);
    EXPECT_EQ(check.outcome, CheckOutcome::fetchFailed);
    EXPECT_EQ(check.fetch.status, FetchStatus::cannotConnect);

    size_t before = stand_in::requests().size();
    for (const wchar_t* refused : {L"http://www.brindlecrest.example/update.txt", L"ftp://127.0.0.1/update.txt",
                                   L"https://www.brindlecrest.example/upd\u00e4te.txt", L"update.txt"}) {
        check = checkForUpdate(refused, L"English", running, nullptr);
        EXPECT_EQ(check.outcome, CheckOutcome::refusedAddress) << WideString(refused).c_str();
        EXPECT_EQ(check.fetch.status, FetchStatus::unavailable) << "nothing was fetched";
    }
    EXPECT_EQ(stand_in::requests().size(), before);
}

class Download : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_STAND_IN();
        ASSERT_TRUE(stand_in::trustCertificate());
        folder_ = e2e::makeTempFolder(L"bc_download");
        installed_ = folder_ + L"\\Brindlecrest.exe";
        ASSERT_TRUE(stand_in::writeFile(installed_, {'o', 'l', 'd'}));
        program_ = patterned(500000, 3);
        ASSERT_TRUE(stand_in::writeSiteFile(L"new.exe", program_));
    }
    void TearDown() override { e2e::removeTree(folder_); }

    update::UpdateDescriptor descriptorFor(const wchar_t* path, size_t size, const std::string& digest) {
        update::UpdateDescriptor descriptor;
        descriptor.version = {{9, 0, 0, 0}};
        descriptor.exe = parsed(stand_in::httpsAddress(path));
        descriptor.size = size;
        descriptor.sha256 = digest;
        return descriptor;
    }
    // Nothing but the installed program is left in the folder.
    void expectFolderUntouched() {
        EXPECT_EQ(stand_in::readFile(installed_), (std::vector<uint8_t>{'o', 'l', 'd'}));
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((folder_ + L"\\*").c_str(), &data);
        int files = 0;
        do {
            files += (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
        } while (FindNextFileW(find, &data));
        FindClose(find);
        EXPECT_EQ(files, 1);
    }

    WideString folder_;
    WideString installed_;
    std::vector<uint8_t> program_;
};

TEST_F(Download, AVerifiedFileGetsItsNameAndStaysLockedUntilStarted) {
    DownloadedUpdate download =
        downloadUpdate(descriptorFor(L"/site/new.exe", program_.size(), stand_in::sha256Base64(program_)), installed_, nullptr);
    ASSERT_EQ(download.outcome, DownloadOutcome::verified);
    EXPECT_TRUE(download.besideProgram);
    EXPECT_EQ(download.path, folder_ + L"\\Brindlecrest_autoupdate.exe");
    EXPECT_FALSE(stand_in::exists(download.path + L".part"));
    HANDLE writer = CreateFileW(download.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "nobody may change the checked file before it is started";
    EXPECT_FALSE(DeleteFileW(download.path.c_str()));
    download.lock.reset();
    EXPECT_TRUE(stand_in::readFile(download.path) == program_);
    EXPECT_EQ(stand_in::readFile(installed_), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

// Wine shows Linux's /sys as Z:\sys, where not even root may create files: a program folder
// that cannot be written.
TEST_F(Download, WhereTheProgramsFolderIsReadOnlyTheTemporaryFolderTakesTheUpdate) {
    const wchar_t* readOnlyProgram = L"Z:\\sys\\Brindlecrest.exe";
    if (GetFileAttributesW(L"Z:\\sys") == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "no read-only folder to try";
    }
    DownloadedUpdate download = downloadUpdate(
        descriptorFor(L"/site/new.exe", program_.size(), stand_in::sha256Base64(program_)), readOnlyProgram, nullptr);
    ASSERT_EQ(download.outcome, DownloadOutcome::verified);
    EXPECT_FALSE(download.besideProgram);
    wchar_t temp[MAX_PATH + 1]{};
    GetTempPathW(MAX_PATH + 1, temp);
    EXPECT_EQ(download.path, WideString(temp) + L"Brindlecrest_autoupdate.exe");
    download.lock.reset();
    EXPECT_TRUE(stand_in::readFile(download.path) == program_);
    DeleteFileW(download.path.c_str());
}

TEST_F(Download, AnythingThatDoesNotVerifyIsDeleted) {
    std::vector<uint8_t> tampered = program_;
    tampered[12345] ^= 0x20;
    DownloadedUpdate download =
        downloadUpdate(descriptorFor(L"/site/new.exe", program_.size(), stand_in::sha256Base64(tampered)), installed_, nullptr);
    EXPECT_EQ(download.outcome, DownloadOutcome::verificationFailed) << "wrong digest";
    expectFolderUntouched();

    download = downloadUpdate(descriptorFor(L"/truncated/new.exe", program_.size(), stand_in::sha256Base64(program_)), installed_, nullptr);
    EXPECT_EQ(download.outcome, DownloadOutcome::downloadFailed) << "truncated";
    expectFolderUntouched();

    download = downloadUpdate(descriptorFor(L"/site/new.exe", program_.size() + 1, stand_in::sha256Base64(program_)), installed_, nullptr);
    EXPECT_EQ(download.outcome, DownloadOutcome::verificationFailed) << "shorter than the descriptor says";
    expectFolderUntouched();

    download = downloadUpdate(descriptorFor(L"/site/new.exe", program_.size() - 1, stand_in::sha256Base64(program_)), installed_, nullptr);
    EXPECT_EQ(download.outcome, DownloadOutcome::downloadFailed) << "longer than the descriptor says";
    expectFolderUntouched();

    download = downloadUpdate(descriptorFor(L"/status/404", program_.size(), stand_in::sha256Base64(program_)), installed_, nullptr);
    EXPECT_EQ(download.outcome, DownloadOutcome::downloadFailed);
    EXPECT_EQ(download.fetch.httpStatus, 404u);
    expectFolderUntouched();
}

TEST_F(Download, AnUpdateFileInUseEndsInAClearFailure) {
    WideString busy = folder_ + L"\\Brindlecrest_autoupdate.exe";
    ASSERT_TRUE(stand_in::writeFile(busy, {'b', 'u', 's', 'y'}));
    HANDLE holder = CreateFileW(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    DownloadedUpdate download =
        downloadUpdate(descriptorFor(L"/site/new.exe", program_.size(), stand_in::sha256Base64(program_)), installed_, nullptr);
    CloseHandle(holder);
    EXPECT_EQ(download.outcome, DownloadOutcome::saveFailed);
    EXPECT_NE(download.systemError, 0u);
    EXPECT_FALSE(stand_in::exists(busy + L".part"));
    EXPECT_EQ(stand_in::readFile(busy), (std::vector<uint8_t>{'b', 'u', 's', 'y'}));
}

TEST(UninstallParts, TheSettingsFileGoesAndOnlyAnEmptyPerUserFolderWithIt) {
    WideString root = e2e::makeTempFolder(L"bc_settings");
    WideString perUser = root + L"\\Brindlecrest";
    ASSERT_TRUE(CreateDirectoryW(perUser.c_str(), nullptr));
    ASSERT_TRUE(stand_in::writeFile(perUser + L"\\Brindlecrest.ini", {'x'}));
    ASSERT_TRUE(stand_in::writeFile(perUser + L"\\notes.txt", {'n'}));
    EXPECT_TRUE(removeSettingsFile(perUser + L"\\Brindlecrest.ini", perUser));
    EXPECT_FALSE(stand_in::exists(perUser + L"\\Brindlecrest.ini"));
    EXPECT_TRUE(stand_in::exists(perUser + L"\\notes.txt")) << "a folder with the user's files stays";

    DeleteFileW((perUser + L"\\notes.txt").c_str());
    ASSERT_TRUE(stand_in::writeFile(perUser + L"\\Brindlecrest.ini", {'x'}));
    EXPECT_TRUE(removeSettingsFile(perUser + L"\\Brindlecrest.ini", perUser));
    EXPECT_FALSE(stand_in::exists(perUser)) << "an emptied per-user folder goes";

    // A portable copy's settings lie in the program's folder, which is never removed.
    WideString program = root + L"\\Tools";
    ASSERT_TRUE(CreateDirectoryW(program.c_str(), nullptr));
    ASSERT_TRUE(stand_in::writeFile(program + L"\\Brindlecrest.ini", {'x'}));
    EXPECT_TRUE(removeSettingsFile(program + L"\\Brindlecrest.ini", perUser));
    EXPECT_TRUE(stand_in::exists(program));

    ASSERT_TRUE(stand_in::writeFile(program + L"\\other.ini", {'x'}));
    EXPECT_FALSE(removeSettingsFile(program + L"\\other.ini", program)) << "no other file name is ever deleted";
    EXPECT_TRUE(stand_in::exists(program + L"\\other.ini"));
    e2e::removeTree(root);
}

// The script under Wine's cmd.exe: it must wait while the lock is held, then remove the program
// file (a name with a blank and a non-ASCII letter) and itself, and nothing else.
TEST(UninstallParts, TheScriptWaitsForTheLockThenRemovesTheProgramAndItself) {
    WideString folder = e2e::makeTempFolder(L"bc_removal");
    WideString programFolder = folder + L"\\Program Files \u00e4";
    ASSERT_TRUE(CreateDirectoryW(programFolder.c_str(), nullptr));
    WideString program = programFolder + L"\\Brindlecrest.exe";
    ASSERT_TRUE(stand_in::writeFile(program, {'p'}));
    ASSERT_TRUE(stand_in::writeFile(programFolder + L"\\keep.txt", {'k'}));

    RemovalJob job;
    ASSERT_TRUE(startProgramRemoval(program, folder, job));
    ASSERT_TRUE(job.lock.valid());
    Sleep(2500);
    EXPECT_TRUE(stand_in::exists(program)) << "removed while the program still runs";
    job.lock.reset();  // as if the program had ended

    DWORD start = GetTickCount();
    while ((stand_in::exists(program) || stand_in::exists(job.scriptPath) || stand_in::exists(job.lockPath)) &&
           GetTickCount() - start < 30000) {
        Sleep(100);
    }
    EXPECT_FALSE(stand_in::exists(program));
    EXPECT_FALSE(stand_in::exists(job.scriptPath)) << "the script deletes itself";
    EXPECT_FALSE(stand_in::exists(job.lockPath));
    EXPECT_TRUE(stand_in::exists(programFolder + L"\\keep.txt"));
    e2e::removeTree(folder);
}

}  // namespace
