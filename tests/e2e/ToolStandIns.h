#pragma once
// Recording stand-ins for the programs, documents and folders that Brindlecrest opens through the
// shell. The stand-in is one small program (toolRecorder.exe, built beside the tests) that writes
// how it was started into a record file and ends. This class puts copies of it where the shell
// looks, points the shell's file types at it, and undoes every change when it goes.
//
// Under Wine the system folder holds Wine's own versions of some tools (taskmgr.exe, rundll32.exe,
// msinfo32.exe): their files are kept aside under a fixed name and Wine is told to load our copy
// ("native") instead; both are put back afterwards. The record file's path is passed on through
// the environment variable BRINDLECREST_TOOL_RECORD, which this process sets for itself and
// everything it starts.

#include <windows.h>

#include "base/WideString.h"

#include <vector>

namespace e2e {

// One start of the stand-in.
struct ToolRecord {
    WideString program;      // full path of the stand-in as started
    WideString commandLine;
    WideString arguments;    // the command line after the program's own name
    WideString folder;       // working folder
    int show = -1;           // STARTUPINFO's wShowWindow, -1 when not given

    // The program's file name without its folder, e.g. "taskmgr.exe".
    WideString programName() const;
};

class ToolStandIns {
public:
    ToolStandIns();
    ~ToolStandIns();
    ToolStandIns(const ToolStandIns&) = delete;
    ToolStandIns& operator=(const ToolStandIns&) = delete;

    // False when the record folder could not be made or the recorder is missing.
    bool ready() const { return !recordFile_.isEmpty() && !recorder_.isEmpty(); }
    static WideString systemFolder();

    // A copy of the recorder named `exeName` in the system folder.
    bool installProgram(const wchar_t* exeName);
    // Makes sure the system folder has no file of that name (put back afterwards if it had one).
    bool removeSystemFile(const wchar_t* fileName);
    // An empty file of that name in the system folder, so that the shell finds a document there.
    bool placeSystemFile(const wchar_t* fileName);
    // Documents of `extension` (".msc") open with the recorder installed as `handlerExe`
    // ("mmc.exe"), the way Windows registers them: "handler" "%1".
    bool installDocumentType(const wchar_t* extension, const wchar_t* progId, const wchar_t* handlerExe);
    // Folders opened with the shell start the recorder as `handlerExe` with: /folder "%1".
    bool installFolderHandler(const wchar_t* handlerExe);

    // Waits until at least `count` records are there (or the time is up) and returns all of them.
    std::vector<ToolRecord> waitForRecords(size_t count, DWORD timeoutMs) const;
    void clearRecords() const;
    const WideString& recordFile() const { return recordFile_; }

private:
    struct SavedFile {
        WideString path;
        WideString backup;  // empty: there was no file
    };
    struct SavedValue {
        HKEY root;
        WideString key;
        const wchar_t* name;   // null: the key's default value
        bool existed;
        WideString value;
        WideString createdKey;  // non-empty: this key did not exist and is deleted afterwards
    };
    bool setRegistryText(HKEY root, const WideString& key, const wchar_t* name, const WideString& value);
    bool keepAside(const WideString& path);

    WideString recorder_;
    WideString folder_;
    WideString recordFile_;
    std::vector<SavedFile> files_;
    std::vector<SavedValue> values_;
};

}  // namespace e2e
