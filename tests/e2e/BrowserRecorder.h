#pragma once
// A recording stand-in for the web browser, for tests under Wine. Web addresses (and local HTML
// files) that a program opens with ShellExecute reach Wine's browser launcher, which runs the
// browsers listed in the prefix's registry. install() lists tests/e2e/record-browser.sh (or
// another script of the same form) there as the only browser; every call then becomes one line of
// a log file the test chooses, and uninstall() (or the destructor) puts the earlier list back.
//
// The prefix is shared by the tests of one build, which ctest runs one after another.

#include <windows.h>

#include "base/WideString.h"

#include <vector>

namespace e2e {

class BrowserRecorder {
public:
    BrowserRecorder() = default;
    BrowserRecorder(const BrowserRecorder&) = delete;
    BrowserRecorder& operator=(const BrowserRecorder&) = delete;
    ~BrowserRecorder() { uninstall(); }

    // Records into `logFile` (a Windows path; the file is emptied first) through `script`, a shell
    // script beside the test executable that takes the log file as its first argument and the
    // browser's arguments after it. False when this is not Wine, the script is not there, or the
    // registry refused.
    bool install(const WideString& logFile, const wchar_t* script = L"record-browser.sh");
    void uninstall();

    // Each call so far, its arguments as the browser received them.
    std::vector<std::vector<WideString>> calls() const;
    // Waits until at least `count` calls have been recorded or `timeoutMs` has passed, then
    // returns what is there.
    std::vector<std::vector<WideString>> waitForCalls(size_t count, DWORD timeoutMs) const;
    // The last argument of each call: the address that was opened.
    std::vector<WideString> addresses() const;

private:
    WideString logFile_;
    bool installed_ = false;
    bool hadValue_ = false;
    DWORD oldType_ = 0;
    std::vector<BYTE> oldValue_;
};

// The Unix path of a Windows path under Wine; empty elsewhere.
WideString unixPathOf(const WideString& windowsPath);

}  // namespace e2e
