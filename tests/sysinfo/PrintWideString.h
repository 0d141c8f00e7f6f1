#pragma once
// Failure messages show wide strings as escaped wide literals, so tabs and line ends are visible.

#include "base/WideString.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

inline void PrintTo(const WideString& text, std::ostream* out) {
    *out << ::testing::PrintToString(std::wstring(text.c_str(), static_cast<size_t>(text.length())));
}
