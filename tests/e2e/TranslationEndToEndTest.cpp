// The translators' tools in the real program, worked from outside: the language menu, the
// template opened in the system's text editor (Wine's notepad under Wine), and a translation file
// chosen in the open-file dialog.
#include "tests/e2e/Driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr DWORD kTimeoutMs = 30000;
constexpr int kLanguageCommand = 1022;
constexpr int kReadGroup = 32800;
constexpr int kSequentialButton = 1028;
constexpr int kStatusLine = 1019;
constexpr int kMessageBoxText = 0xFFFF;
constexpr wchar_t kTemplateName[] = L"translate_Brindlecrest_1.33.txt";

bool writeBytes(const WideString& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out.flush());
}

std::string readBytes(const WideString& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Window text of a window of another process (WM_GETTEXT is carried across).
std::wstring textOf(HWND window) {
    wchar_t text[4096]{};
    SendMessageW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    return text;
}

// A copy of the program in a folder of its own (outside the temporary folder, so its settings
// file lies beside it), English chosen, with its own temporary folder.
class Program {
public:
    ~Program() {
        if (app_.running()) {
            app_.terminate();
        }
        e2e::removeTree(folder_);
    }

    ::testing::AssertionResult start() {
        folder_ = WideString::format(L"C:\\bc_e2e_translate_%lu_%lu", GetCurrentProcessId(), GetTickCount());
        temp_ = folder_ + L"\\temp";
        if (!CreateDirectoryW(folder_.c_str(), nullptr) || !CreateDirectoryW(temp_.c_str(), nullptr)) {
            return ::testing::AssertionFailure() << "CreateDirectory error " << GetLastError();
        }
        WritePrivateProfileStringW(L"Program", L"lng", L"1", settingsFile().c_str());
        if (!e2e::copyFile(e2e::besideThisExe(L"Brindlecrest.exe"), folder_ + L"\\Brindlecrest.exe")) {
            return ::testing::AssertionFailure() << "CopyFile error " << GetLastError();
        }
        // The program inherits the environment, and with it the temporary folder.
        wchar_t savedTmp[MAX_PATH]{};
        wchar_t savedTemp[MAX_PATH]{};
        GetEnvironmentVariableW(L"TMP", savedTmp, MAX_PATH);
        GetEnvironmentVariableW(L"TEMP", savedTemp, MAX_PATH);
        SetEnvironmentVariableW(L"TMP", temp_.c_str());
        SetEnvironmentVariableW(L"TEMP", temp_.c_str());
        bool started = app_.start(folder_ + L"\\Brindlecrest.exe");
        DWORD error = GetLastError();
        SetEnvironmentVariableW(L"TMP", savedTmp);
        SetEnvironmentVariableW(L"TEMP", savedTemp);
        if (!started) {
            return ::testing::AssertionFailure() << "CreateProcess error " << error;
        }
        dialog_ = waitForDialog([](HWND window) { return GetDlgItem(window, 32806) != nullptr; });
        if (!dialog_) {
            return ::testing::AssertionFailure() << "no main dialog";
        }
        return ::testing::AssertionSuccess();
    }

    template <typename Match>
    HWND waitForDialog(Match match) const {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < kTimeoutMs && app_.running()) {
            for (HWND window : app_.topLevelWindows(true)) {
                if (e2e::windowClassName(window) == L"#32770" && match(window)) {
                    return window;
                }
            }
            Sleep(50);
        }
        return nullptr;
    }
    HWND waitForDialogTitled(const wchar_t* title) const {
        return waitForDialog([title](HWND window) { return e2e::windowText(window) == title; });
    }

    // Opens the language menu with the "# LNG" button's command and picks an item by keys, as a
    // user would with the arrow keys and Enter.
    ::testing::AssertionResult chooseFromLanguageMenu(std::vector<WPARAM> keys) {
        PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(kLanguageCommand, BN_CLICKED), 0);
        HWND menu = app_.waitForWindow(L"#32768", nullptr, kTimeoutMs);
        if (!menu) {
            return ::testing::AssertionFailure() << "the language menu did not open";
        }
        keys.push_back(VK_RETURN);
        for (WPARAM key : keys) {
            PostMessageW(menu, WM_KEYDOWN, key, 1);
            PostMessageW(menu, WM_KEYUP, key, 0xC0000001);
        }
        DWORD start = GetTickCount();
        while (IsWindowVisible(menu)) {
            if (GetTickCount() - start > kTimeoutMs) {
                return ::testing::AssertionFailure() << "the language menu did not close";
            }
            Sleep(20);
        }
        return ::testing::AssertionSuccess();
    }

    // Returns once the dialog's thread is back in its message loop (or in a modal one).
    void sync() const {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(dialog_, WM_NULL, 0, 0, SMTO_NORMAL, kTimeoutMs, &result);
    }

    std::wstring label(int id) const { return textOf(e2e::control(dialog_, id)); }
    WideString settingsFile() const { return folder_ + L"\\Brindlecrest.ini"; }
    const WideString& folder() const { return folder_; }
    WideString templatePath() const { return temp_ + L"\\" + kTemplateName; }
    HWND dialog() const { return dialog_; }
    e2e::AppProcess& app() { return app_; }

private:
    WideString folder_;
    WideString temp_;
    HWND dialog_ = nullptr;
    e2e::AppProcess app_;
};

void closeProgram(Program& program) {
    e2e::closeWindow(program.dialog());
    DWORD code = 0xFFFFFFFF;
    EXPECT_TRUE(program.app().waitForExit(kTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
}

std::vector<DWORD> notepads() {
    std::vector<DWORD> ids = e2e::findProcesses(L"notepad.exe");
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Windows opens ".txt" files with Notepad. Wine's prefix knows the "txtfile" class (Wine's
// notepad) but may lack the extension's entry; the test adds it while it runs. Wine does not
// merge the user's classes into HKEY_CLASSES_ROOT, so it goes there.
class TextFileAssociation {
public:
    TextFileAssociation() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L".txt", 0, KEY_READ, &key) == ERROR_SUCCESS) {
            RegCloseKey(key);
            return;
        }
        static const wchar_t kClass[] = L"txtfile";
        added_ = RegSetKeyValueW(HKEY_CLASSES_ROOT, L".txt", nullptr, REG_SZ, kClass, sizeof(kClass)) == ERROR_SUCCESS;
    }
    ~TextFileAssociation() {
        if (added_) {
            RegDeleteKeyW(HKEY_CLASSES_ROOT, L".txt");
        }
    }

private:
    bool added_ = false;
};

// "Translate" writes the template into the temporary folder and hands it to the shell, which
// opens it in the text editor (Wine's notepad); a template that cannot be written is not opened.
TEST(TranslationEndToEnd, TranslateOpensTheTemplateInTheTextEditor) {
    TextFileAssociation association;
    Program program;
    ASSERT_TRUE(program.start());
    const std::vector<DWORD> before = notepads();

    // A file of that name held open for reading only: nothing is written, so nothing is opened.
    ASSERT_TRUE(writeBytes(program.templatePath(), "old"));
    HANDLE holder = CreateFileW(program.templatePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(program.chooseFromLanguageMenu({VK_UP, VK_UP}));
    program.sync();
    CloseHandle(holder);
    EXPECT_EQ(notepads(), before) << "an old file was opened as the template";
    EXPECT_EQ(readBytes(program.templatePath()), "old");

    ASSERT_TRUE(program.chooseFromLanguageMenu({VK_UP, VK_UP}));
    e2e::AppProcess editor;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kTimeoutMs && editor.processId() == 0) {
        for (DWORD id : notepads()) {
            if (!std::binary_search(before.begin(), before.end(), id)) {
                editor.attach(id);
            }
        }
        Sleep(50);
    }
    ASSERT_NE(editor.processId(), 0u) << "no text editor was started";
    HWND window = editor.waitForWindow(nullptr, nullptr, kTimeoutMs);
    ASSERT_NE(window, nullptr);
    // Notepad shows "Untitled" until it has read the file.
    for (start = GetTickCount(); GetTickCount() - start < kTimeoutMs;) {
        if (e2e::windowText(window).find(kTemplateName) != WideString::npos) {
            break;
        }
        Sleep(50);
    }
    EXPECT_NE(e2e::windowText(window).find(kTemplateName), WideString::npos) << e2e::windowText(window).c_str();
    e2e::closeWindow(window);
    EXPECT_TRUE(editor.waitForExit(kTimeoutMs, nullptr));

    const std::string bytes = readBytes(program.templatePath());
    ASSERT_GT(bytes.size(), 2000u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE\r\0", 4));
    closeProgram(program);
}

// A German translation chosen in the open-file dialog shows at once: its texts where it has
// them, "str:N?" where it has not, and the report of what it lacks; picking a language from the
// menu ends loaded-file mode.
TEST(TranslationEndToEnd, LoadedFileRelabelsTheDialogUntilALanguageIsPicked) {
    Program program;
    ASSERT_TRUE(program.start());
    EXPECT_EQ(program.label(kReadGroup), L"Read");

    // Key 24 (the status line) is left out on purpose.
    const std::wstring german = L"=Deutsch\tGerman\r\n0015=Start \r\n0017=Zugriffszeit \r\n0018=Sequenziell\r\n"
                                L"0021=Lesen\r\n0022=Schreiben\r\n0023=Benchmark \r\n";
    std::string bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char*>(german.data()), german.size() * sizeof(wchar_t));
    WideString file = program.folder() + L"\\deutsch.txt";
    ASSERT_TRUE(writeBytes(file, bytes));

    ASSERT_TRUE(program.chooseFromLanguageMenu({VK_UP}));
    HWND open = program.waitForDialog([&program](HWND window) { return window != program.dialog(); });
    ASSERT_NE(open, nullptr) << "no open-file dialog";
    // The file-name field: an edit of its own in the old style, else the edit inside the combo
    // box (itself inside a ComboBoxEx under Wine).
    HWND name = GetDlgItem(open, 0x480);
    for (HWND box = GetDlgItem(open, 0x47C); !name && box; box = FindWindowExW(box, nullptr, L"ComboBox", nullptr)) {
        name = FindWindowExW(box, nullptr, L"Edit", nullptr);
    }
    ASSERT_NE(name, nullptr) << "no file-name field";
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file.c_str()));
    e2e::pressButton(open, IDOK);

    HWND report = program.waitForDialogTitled(L"Translate");
    ASSERT_NE(report, nullptr) << "no report";
    std::wstring text = textOf(GetDlgItem(report, kMessageBoxText));
    // The name line counts as key 0, so the list starts at key 1.
    EXPECT_NE(text.find(L" %\n\nmiss:\n1=Brindlecrest is an application"), std::wstring::npos) << text;
    EXPECT_EQ(text.find(L"15="), std::wstring::npos) << "key 15 is in the file";
    e2e::pressButton(report, IDOK);
    program.sync();

    EXPECT_EQ(program.label(kReadGroup), L"Lesen");
    EXPECT_EQ(program.label(kSequentialButton), L"Sequenziell");
    EXPECT_EQ(program.label(kStatusLine), L"str:24?");

    // Deutsch is the first item.
    ASSERT_TRUE(program.chooseFromLanguageMenu({VK_DOWN}));
    program.sync();
    EXPECT_EQ(program.label(kReadGroup), L"Lesen");
    EXPECT_EQ(program.label(kStatusLine), L"... Ich bin bereit");
    EXPECT_EQ(GetPrivateProfileIntW(L"Program", L"lng", -1, program.settingsFile().c_str()), 0);
    closeProgram(program);
}

}  // namespace
