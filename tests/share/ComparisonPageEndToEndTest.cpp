// The real Brindlecrest.exe under Wine, worked from outside: the comparison page opened by Wine's
// browser launcher in Debian's headless Chromium, whose POST a local https stand-in server
// (comparison_server.py) receives and decodes on its own.
#include "tests/e2e/BrowserRecorder.h"
#include "tests/e2e/Driver.h"
#include "tests/e2e/ProgramCopy.h"
#include "tests/share/PngFile.h"

#include <dwmapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kCompareCommand = 43102;
constexpr int kInfoBox = 32806;
constexpr int kProgramLabel = 32804;
constexpr DWORD kWaitMs = 60'000;  // Chromium starts slowly on a busy machine
constexpr double kBytesPerGb = 1073741824.0;

using e2e::narrow;

std::string readText(const WideString& path) {
    std::vector<uint8_t> bytes = readFileBytes(path.c_str());
    return std::string(bytes.begin(), bytes.end());
}

bool exists(const WideString& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool waitForFile(const WideString& path, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!exists(path)) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(100);
    }
    return true;
}

RECT frameBounds(HWND window) {
    RECT bounds{};
    if (FAILED(DwmGetWindowAttribute(window, DWMWA_EXTENDED_FRAME_BOUNDS, &bounds, sizeof(bounds)))) {
        GetWindowRect(window, &bounds);
    }
    return bounds;
}

// The value of the line starting with `key`; "<missing>" when there is none.
std::string valueOf(const std::string& record, const std::string& key) {
    size_t at = record.rfind("\n" + key, std::string::npos);
    if (at == std::string::npos) {
        return "<missing>";
    }
    at += 1 + key.size();
    return record.substr(at, record.find('\n', at) - at);
}

WideString temporaryFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH + 1]{};
    GetTempPathW(MAX_PATH + 1, folder);
    return WideString(folder) + name;
}

// Holds a file open with no sharing, as another program might.
class FileLock {
public:
    explicit FileLock(const WideString& path)
        : file_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~FileLock() {
        if (held()) {
            CloseHandle(file_);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return file_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE file_;
};

// Local HTML files reach Wine's browser launcher through the "htmlfile" type, which Wine's set-up
// defines; ".html" itself is tied to it only when mshtml registers itself, which our prefix keeps
// out. Windows always has the tie: it is made for the suite and undone afterwards.
class HtmlFileType {
public:
    HtmlFileType() {
        HKEY key = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, L".html", 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key,
                            &disposition) != ERROR_SUCCESS) {
            return;
        }
        created_ = disposition == REG_CREATED_NEW_KEY;
        if (created_) {
            static const wchar_t type[] = L"htmlfile";
            ready_ = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(type), sizeof(type)) == ERROR_SUCCESS;
        } else {
            ready_ = true;  // the system's own tie stays as it is
        }
        RegCloseKey(key);
    }
    ~HtmlFileType() {
        if (created_) {
            RegDeleteKeyW(HKEY_CLASSES_ROOT, L".html");
        }
    }
    HtmlFileType(const HtmlFileType&) = delete;
    HtmlFileType& operator=(const HtmlFileType&) = delete;
    bool ready() const { return ready_; }

private:
    bool created_ = false;
    bool ready_ = false;
};

// The page's bytes as the program must write them, around the two values that arrived.
std::string expectedPage(const std::string& host, const std::string& image, const std::string& record) {
    const std::string breaks = "</script><br><br><br><br><br><br><br><br><br><br><br><br><br><br><br>\n";
    return "<table align=center><tr><td>\n"
           "<br>\n"
           "<form id=xxx action='https://" + host + "?seite=ram-memory-benchmark-charts' method=post><br>\n"
           "<input type=hidden name='brindlecrestdataI' value=\"" + image + "\">\n"
           "<input type=hidden name='brindlecrestdata' value=\"" + record + "\">\n"
           "<input type=submit name='xxxx' value=\"Compare Results on Quillmarsh Homepage\"><br>\n"
           "</form></td></tr></table>\n"
           "<script>\n"
           "el_f=document.getElementById(\"xxx\"); el_f.submit();\n" +
           breaks + breaks;
}

// What the stand-in server received for one press.
struct Post {
    std::string host;
    std::string path;
    std::string recordValue;
    std::string imageValue;
    std::string record;
    std::string imageFacts;
    std::vector<uint8_t> image;
};

// One copy of the program per suite: starting and closing it costs seconds under Wine.
class Sharing : public ::testing::Test {
protected:
    static void startProgram(const wchar_t* language) {
        folder_ = e2e::makeTempFolder(L"bc_share_e2e");
        ASSERT_FALSE(folder_.isEmpty());
        htmlFileType_ = std::make_unique<HtmlFileType>();
        ASSERT_TRUE(htmlFileType_->ready());
        recorder_ = std::make_unique<e2e::BrowserRecorder>();
        ASSERT_TRUE(recorder_->install(folder_ + L"\\browser.log", L"chromium-browser.sh")) << "not under Wine?";
        program_ = std::make_unique<e2e::ProgramCopy>();
        program_->settings = {{L"lng", language}, {L"test_time_id", L"2"}};
        ASSERT_TRUE(program_->start()) << narrow(program_->failure());
        dialog_ = program_->waitForDialog();
        ASSERT_NE(dialog_, nullptr);
    }
    static void TearDownTestSuite() {
        if (program_ && dialog_) {
            e2e::closeWindow(dialog_);
            program_->app().waitForExit(10'000, nullptr);
        }
        program_.reset();
        recorder_.reset();
        htmlFileType_.reset();
        e2e::removeTree(folder_);
        dialog_ = nullptr;
    }

    // Runs the command in the program and returns when it has been handled.
    static void command(int id) {
        DWORD_PTR result = 0;
        ASSERT_TRUE(SendMessageTimeoutW(dialog_, WM_COMMAND, static_cast<WPARAM>(id), 0, SMTO_ABORTIFHUNG, kWaitMs, &result));
    }

    // Presses the comparison command and waits for the stand-in server's record of post n.
    static Post compare(int n) {
        command(kCompareCommand);
        Post post;
        WideString out = folder_ + WideString::format(L"\\post-%d\\", n);
        EXPECT_TRUE(waitForFile(out + L"done.txt", kWaitMs)) << "no POST reached the stand-in server; browser log: "
                                                              << readText(out + L"browser.log");
        post.host = readText(out + L"host.txt");
        post.path = readText(out + L"path.txt");
        post.recordValue = readText(out + L"brindlecrestdata.txt");
        post.imageValue = readText(out + L"brindlecrestdataI.txt");
        post.record = readText(out + L"record.txt");
        post.imageFacts = readText(out + L"image.txt");
        post.image = readFileBytes((out + L"image.png").c_str());
        return post;
    }

    static inline WideString folder_;
    static inline std::unique_ptr<HtmlFileType> htmlFileType_;
    static inline std::unique_ptr<e2e::BrowserRecorder> recorder_;
    static inline std::unique_ptr<e2e::ProgramCopy> program_;
    static inline HWND dialog_ = nullptr;
};

class SharingInEnglish : public Sharing {
protected:
    static void SetUpTestSuite() { startProgram(L"1"); }
};

// Right after start: nothing measured, no test run, the duration from the settings, the memory of
// the box's refresh. Sent over https to the host of every language but German; the page is
// exactly the form and script, with what the server received in it; the picture is the dialog and
// lands in the temporary folder, not in the program's current folder.
TEST_F(SharingInEnglish, ComparisonPagePostsTheRecordAndAPictureOverHttps) {
    // The box's first refresh has set the figures the record reports.
    WideString box;
    for (DWORD start = GetTickCount(); box.find(L"GB") == WideString::npos && GetTickCount() - start < kWaitMs; Sleep(100)) {
        box = e2e::ProgramCopy::controlText(dialog_, kInfoBox);
    }
    double freeGb = -1;
    double totalGb = -1;
    int usage = box.find(L"Free ");
    ASSERT_NE(usage, WideString::npos) << narrow(box);
    ASSERT_EQ(swscanf(box.c_str() + usage, L"Free %lf GB of %lf GB", &freeGb, &totalGb), 2) << narrow(box);

    Post post = compare(1);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(post.host, "www.brindlecrest.example");
    EXPECT_EQ(post.path, "/?seite=ram-memory-benchmark-charts");

    const std::string& record = post.record;
    const std::string closing = "\nT\xc3\xbcte=\xc3\x84\xc3\x9c\xc3\x96\xc3\xb6\xc3\xbc\xc3\xa4\xc3\x9f\nENDE=ENDE\n\n";
    ASSERT_GT(record.size(), closing.size()) << record;
    EXPECT_EQ(record.substr(record.size() - closing.size()), closing);
    EXPECT_EQ(record.substr(0, 13), "\nOK1=0\nOK=0\nT");
    for (const char* key : {"Total-Bench=", "R-Bench=", "W-Bench=", "SR=", "SW=", "RR 64x10=", "RW-64x10=", "RR-4K=",
                            "RW-4K=", "RR-1K=", "RW-1K==", "RR-Access=", "RW-Access=", "MaxBandbreite="}) {
        EXPECT_EQ(valueOf(record, key), "0.000000") << key;
    }
    EXPECT_EQ(valueOf(record, "m_test_id="), "1");
    EXPECT_EQ(valueOf(record, "test_time="), "2");
    EXPECT_EQ(valueOf(record, "Program="), narrow(e2e::ProgramCopy::controlText(dialog_, kProgramLabel)));
    EXPECT_EQ(valueOf(record, "m_random_str=").size(), 16u);
    double recordFreeGb = std::strtod(valueOf(record, "FreeSpace=").c_str(), nullptr) / kBytesPerGb;
    double recordTotalGb = std::strtod(valueOf(record, "TootalSpace=").c_str(), nullptr) / kBytesPerGb;
    EXPECT_EQ(narrow(WideString::format(L"%.2f %.2f", recordFreeGb, recordTotalGb)),
              narrow(WideString::format(L"%.2f %.2f", freeGb, totalGb)));

    unsigned width = 0;
    unsigned height = 0;
    unsigned colours = 0;
    ASSERT_EQ(std::sscanf(post.imageFacts.c_str(), "%u %u %u", &width, &height, &colours), 3) << post.imageFacts;
    RECT frame = frameBounds(dialog_);
    EXPECT_EQ(width, static_cast<unsigned>(frame.right - frame.left));
    EXPECT_EQ(height, static_cast<unsigned>(frame.bottom - frame.top));
    EXPECT_GT(colours, 8u) << "a blank picture";

    WideString page = temporaryFile(L"brindlecr_tmp.html");
    EXPECT_EQ(readText(page), expectedPage("www.brindlecrest.example", post.imageValue, post.recordValue));
    EXPECT_EQ(readFileBytes(temporaryFile(L"Brindlecrest_tmp_1.png").c_str()), post.image);
    EXPECT_FALSE(exists(program_->folder() + L"\\Brindlecrest_tmp_1.png"));
    std::vector<WideString> addresses = recorder_->addresses();
    ASSERT_EQ(addresses.size(), 1u);
    EXPECT_EQ(addresses[0].right(19), L"/brindlecr_tmp.html") << narrow(addresses[0]);

    // A second press rewrites both files: the page holds the second post only.
    Post second = compare(2);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(readText(page), expectedPage("www.brindlecrest.example", second.imageValue, second.recordValue));
    EXPECT_EQ(readFileBytes(temporaryFile(L"Brindlecrest_tmp_1.png").c_str()), second.image);
    EXPECT_EQ(valueOf(second.record, "m_random_str="), valueOf(record, "m_random_str="));

    // A page that cannot be written is not opened: the old one would post old results.
    {
        FileLock lock(page);
        ASSERT_TRUE(lock.held());
        command(kCompareCommand);
    }
    Post third = compare(3);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(recorder_->calls().size(), 3u) << "the page was opened while it could not be written";
    EXPECT_EQ(readText(page), expectedPage("www.brindlecrest.example", third.imageValue, third.recordValue));
}

class SharingInGerman : public Sharing {
protected:
    static void SetUpTestSuite() { startProgram(L"0"); }
};

// German (language 0) goes to the German host; run in a German user locale (LC_ALL=de_DE.UTF-8),
// where the numbers still carry a point.
TEST_F(SharingInGerman, ComparisonPageGoesToTheGermanHost) {
    if (const char* locale = std::getenv("LC_ALL"); locale && std::string(locale).rfind("de", 0) == 0) {
        ASSERT_EQ(GetUserDefaultLCID(), 0x0407u) << "the German run has no German user locale";
    }
    Post post = compare(1);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(post.host, "de.brindlecrest.example");
    EXPECT_EQ(valueOf(post.record, "Total-Bench="), "0.000000");
    EXPECT_EQ(readText(temporaryFile(L"brindlecr_tmp.html")),
              expectedPage("de.brindlecrest.example", post.imageValue, post.recordValue));
}

}  // namespace
