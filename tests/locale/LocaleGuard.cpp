// Linked into every Windows test program: before the first test, the user locale must be the one
// the run asked for (LC_ALL), separators included; otherwise every test of the program fails
// with the reason instead of testing in the wrong locale or skipping itself unnoticed.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/locale/UserLocaleCheck.h"

namespace {

class UserLocaleGuard : public ::testing::Environment {
public:
    void SetUp() override {
        WideString problem = locale_check::userLocaleProblem(std::getenv("LC_ALL"));
        if (!problem.isEmpty()) {
            char message[2048] = {};
            WideCharToMultiByte(CP_UTF8, 0, problem.c_str(), -1, message, sizeof(message) - 1, nullptr, nullptr);
            FAIL() << message;
        }
    }
};

// gtest_main owns main(); an environment added during static initialisation still runs first.
[[maybe_unused]] const ::testing::Environment* const guard = ::testing::AddGlobalTestEnvironment(new UserLocaleGuard);

}  // namespace
