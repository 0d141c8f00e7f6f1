// Run by scripts/wine-session.sh in each Wine session it starts: fails, with the reason, when the
// session's user locale or number format is not the one its LC_ALL asks for.
#include <cstdio>
#include <cstdlib>

#include "tests/locale/UserLocaleCheck.h"

int wmain() {
    const char* lcAll = std::getenv("LC_ALL");
    WideString problem = locale_check::userLocaleProblem(lcAll);
    if (!problem.isEmpty()) {
        std::fwprintf(stderr, L"localeCheck: %ls\n", problem.c_str());
        return 1;
    }
    return 0;
}
