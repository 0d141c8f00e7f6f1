// Times refreshInfoBox on this thread, as the main dialog runs it: the first call of the process
// (COM, WMI and the module query start up), then later calls. The box is a real multi-line edit
// with the dialog's control id; the texts come from the archive of Brindlecrest.exe beside
// this program. Each figure is the whole call: module query, texts, memory figures, window text.
//   benchInfoBox [LATER_CALLS]
#include <windows.h>

#include "app/DialogIds.h"
#include "lang/LanguageArchive.h"
#include "sysinfo/InfoBox.h"
#include "sysinfo/ModuleTable.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

double nowMs() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / frequency;
}

WideString besideThisProgram(const wchar_t* name) {
    wchar_t path[MAX_PATH * 2]{};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    WideString folder(path);
    return folder.left(folder.reverseFind(L'\\') + 1) + name;
}

double timedRefresh(HWND window) {
    double start = nowMs();
    refreshInfoBox(window);
    return nowMs() - start;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int laterCalls = argc > 1 ? _wtoi(argv[1]) : 10;
    if (laterCalls < 1) {
        laterCalls = 1;
    }
    if (!readLanguageArchive(besideThisProgram(L"Brindlecrest.exe").c_str())) {
        std::fprintf(stderr, "cannot read the language archive of Brindlecrest.exe\n");
        return 1;
    }
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 640, 200, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    HWND box = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE | ES_READONLY, 0, 0, 600, 100, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::kInfoBox)), GetModuleHandleW(nullptr),
                               nullptr);
    if (!parent || !box) {
        std::fprintf(stderr, "cannot create the box\n");
        return 1;
    }
    enterDialogApartment();

    double first = timedRefresh(parent);
    int modulesAfterFirst = moduleTable().moduleCount;
    std::vector<double> later;
    for (int i = 0; i < laterCalls; ++i) {
        later.push_back(timedRefresh(parent));
    }
    std::sort(later.begin(), later.end());

    // The module query alone, to show where the time goes.
    std::vector<double> queryOnly;
    for (int i = 0; i < laterCalls; ++i) {
        double start = nowMs();
        queryModules(moduleTable());
        queryOnly.push_back(nowMs() - start);
    }
    std::sort(queryOnly.begin(), queryOnly.end());

    std::printf("modules: %d\n", modulesAfterFirst);
    std::printf("first refreshInfoBox:  %8.1f ms\n", first);
    std::printf("later refreshInfoBox:  min %8.1f  median %8.1f  max %8.1f ms (%d calls)\n", later.front(),
                later[later.size() / 2], later.back(), laterCalls);
    std::printf("later queryModules:    min %8.1f  median %8.1f  max %8.1f ms\n", queryOnly.front(),
                queryOnly[queryOnly.size() / 2], queryOnly.back());
    DestroyWindow(parent);
    return 0;
}
