#pragma once
// The decoded archive text and its tables.
//
// Sections are separated by "##". Before the first: a preamble (ignored). After the 1st: the
// header (keys 0-127, with \r and \n escapes). After the 2nd and 3rd: two free texts, kept whole.
// After the 4th and later: up to 38 language sections, each an optional name line ("=" directly
// after the "##", up to CR) and entry lines "key=text" with keys 0-255, taken literally.
//
// Everything here works in place: the parsers write NUL units into the text, and every table
// points into it, so the text must outlive the tables.

#include "lang/TextUnit.h"

#include <cstddef>

constexpr int kHeaderKeyCount = 128;
constexpr int kLanguageKeyCount = 256;
constexpr int kMaxLanguages = 38;
// Section 1 is the fallback of every lookup and the reference of the completeness figures.
constexpr int kEnglishSection = 1;

struct ArchiveTables {
    TextUnit* headerSection;
    const TextUnit* headerTable[kHeaderKeyCount];
    const TextUnit* freeTexts[2];
    int languageCount;
    // Name line of each section ("native<TAB>second"), null for a section without one.
    const TextUnit* languageNames[kMaxLanguages];
    TextUnit* sectionBodies[kMaxLanguages];
    const TextUnit* languageTables[kMaxLanguages][kLanguageKeyCount];
    int completeness[kMaxLanguages];
};

void clearTables(ArchiveTables& tables);

// Clears the tables, then cuts `text` (`count` units, followed by at least two NUL units) into
// sections: ends each section with a NUL over the first "#" of the next separator and registers
// the header, the free texts and the language sections with their names. A name line without CR
// before the end of its section makes that section invalid: it is not registered. At most 38
// language sections are registered; later separators still end the text in front of them.
void splitSections(TextUnit* text, size_t count, ArchiveTables& tables);

// Clears the 256-slot table, then fills it from the NUL-terminated section's entry lines.
// Only lines ending in LF count; a CR before the LF is dropped; lines without "=" are ignored;
// the key is read like wcstol from the line start (no digits: key 0); keys outside 0-255 drop
// the line; a repeated key replaces the earlier text.
void parseEntries(TextUnit* section, const TextUnit** table);

// As parseEntries, for the header: 128 keys, and backslash-r / backslash-n become CR / LF.
void parseHeaderEntries(TextUnit* section, const TextUnit** table);

// Percentage of the keys with a non-empty English text that have a non-empty text in `table`,
// truncated. 0 when English has no text at all.
int completenessOf(const TextUnit* const* english, const TextUnit* const* table);

// Parses every registered language section, works out its completeness, then parses the header.
// Run after splitSections; the section bodies are cut into lines here.
void parseSections(ArchiveTables& tables);

// True when section 1 exists and holds at least one non-empty text: without it no text could
// ever be shown.
bool hasEnglish(const ArchiveTables& tables);
