#pragma once
// Translation files as text, and the report of what a loaded translation still lacks.
// Portable: the Windows side reads the file and supplies the code-page conversion.

#include "lang/TextUnit.h"

#include <cstddef>
#include <cstdint>
#include <string>

using TextString = std::basic_string<TextUnit>;

// Far above any real translation (about 10 KB); a larger file is not read.
constexpr size_t kMaxTranslationFileBytes = 64u << 20;

// Converts all of a file's 8-bit text at once (the ANSI code page on Windows), so that no
// multi-byte character is cut in two. False when the bytes cannot be converted.
using AnsiConverter = bool (*)(const char* bytes, size_t count, TextString& text);

// The text of a translation file. A file that starts with FF FE is UTF-16 little-endian: the
// units after the mark are taken as they are, and an odd last byte is dropped. The mark is not
// kept, so a first line "5=..." reads as key 5 in both encodings. Any other file goes through
// `convertAnsi` whole. False when the file is too large or the conversion fails.
bool decodeTextFile(const uint8_t* bytes, size_t size, AnsiConverter convertAnsi, TextString& text);

// The completeness report of a loaded table against English over the keys 0-255: "<p> %" with
// the share of English's non-empty texts that the table fills (truncated), and when any is
// missing, "\n\nmiss:\n" with the first nine missing keys as "key=English\n", then "...and...\n"
// and every further missing key as "key,".
TextString translationReport(const TextUnit* const* english, const TextUnit* const* loaded);
