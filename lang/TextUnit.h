#pragma once
// The 16-bit code unit of the language texts: wchar_t on Windows, so the texts go straight to
// the wide API, and char16_t elsewhere (the packer, host tests and fuzzers).

#if defined(_WIN32)
using TextUnit = wchar_t;
#else
using TextUnit = char16_t;
#endif

static_assert(sizeof(TextUnit) == 2, "texts are UTF-16");
