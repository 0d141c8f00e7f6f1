// Times the start-up's work on the language archive of Brindlecrest.exe (beside this program):
// the LZARI decoding alone, and the whole load (read the file, find the markers, decode, split
// and parse every section).
//   benchLanguageArchive [RUNS]
#include <windows.h>

#include "lang/ArchiveContainer.h"
#include "lang/LanguageArchive.h"

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

struct Figures {
    double min;
    double median;
    double max;
};

Figures summarise(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2], times.back()};
}

WideString builtExe() {
    wchar_t path[MAX_PATH * 2]{};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    WideString full(path, static_cast<int>(n));
    return full.left(full.reverseFind(L'\\') + 1) + L"Brindlecrest.exe";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? std::max(1, static_cast<int>(std::wcstol(argv[1], nullptr, 10))) : 200;
    const WideString exe = builtExe();

    // The payload, read once, for the decoder alone.
    Bytes file;
    {
        HANDLE h = CreateFileW(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            std::fwprintf(stderr, L"bench: cannot open %ls\n", exe.c_str());
            return 1;
        }
        LARGE_INTEGER size{};
        GetFileSizeEx(h, &size);
        file.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ReadFile(h, file.data(), static_cast<DWORD>(file.size()), &read, nullptr);
        CloseHandle(h);
        file.resize(read);
    }
    Bytes payload;
    if (!extractPayload(file.data(), file.size(), payload)) {
        std::fwprintf(stderr, L"bench: no language archive in %ls\n", exe.c_str());
        return 1;
    }

    // Every decoded text is summed up, so no run can be left out.
    unsigned long long checksum = 0;
    std::vector<double> decodeTimes;
    size_t decodedBytes = 0;
    for (int i = 0; i < runs; ++i) {
        ArchiveText text;
        double start = nowMs();
        bool ok = decodePayload(payload.data(), payload.size(), text);
        decodeTimes.push_back(nowMs() - start);
        if (!ok) {
            std::fwprintf(stderr, L"bench: the archive does not decode\n");
            return 1;
        }
        decodedBytes = text.count * 2;
        for (size_t k = 0; k < text.count; ++k) {
            checksum += static_cast<unsigned>(text.units[k]) * (k + 1);
        }
    }

    std::vector<double> loadTimes;
    for (int i = 0; i < runs; ++i) {
        double start = nowMs();
        bool ok = readLanguageArchive(exe.c_str());
        loadTimes.push_back(nowMs() - start);
        if (!ok) {
            std::fwprintf(stderr, L"bench: loading failed\n");
            return 1;
        }
        checksum += static_cast<unsigned>(archiveTables.languageCount) + static_cast<unsigned>(archiveTables.completeness[0]);
    }

    Figures decode = summarise(decodeTimes);
    Figures load = summarise(loadTimes);
    std::wprintf(L"bench lzariDecode %zu payload bytes -> %zu bytes: median %.3f ms, min %.3f ms, max %.3f ms (%d runs)\n",
                 payload.size(), decodedBytes, decode.median, decode.min, decode.max, runs);
    std::wprintf(L"bench loadLanguageArchive %zu-byte exe, %d sections: median %.3f ms, min %.3f ms, max %.3f ms (%d runs)\n",
                 file.size(), archiveTables.languageCount, load.median, load.min, load.max, runs);
    std::wprintf(L"bench target: under 5 ms at start-up; checksum %llu\n", checksum);
    return 0;
}
