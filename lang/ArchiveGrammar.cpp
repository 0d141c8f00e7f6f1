#include "lang/ArchiveGrammar.h"

#include <cstring>

namespace {

constexpr TextUnit kHash = u'#';
constexpr TextUnit kEquals = u'=';
constexpr TextUnit kCr = u'\r';
constexpr TextUnit kLf = u'\n';
constexpr TextUnit kBackslash = u'\\';

// Separator 0 opens the header, 1 and 2 the free texts, 3 and later the language sections.
constexpr int kFirstLanguageSeparator = 3;

bool isSpace(TextUnit c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r'; }

// The key as wcstol reads it: blanks, a sign, digits up to the first non-digit; no digits give 0.
// Saturates far outside every key range, so a long number is dropped, not wrapped into range.
long readKey(const TextUnit* line) {
    while (isSpace(*line)) {
        ++line;
    }
    bool negative = false;
    if (*line == u'+' || *line == u'-') {
        negative = *line == u'-';
        ++line;
    }
    long value = 0;
    for (; *line >= u'0' && *line <= u'9'; ++line) {
        if (value < 1000000) {
            value = value * 10 + (*line - u'0');
        }
    }
    return negative ? -value : value;
}

// Shared by the header and the language sections; `keyCount` is the table's size.
void parseLines(TextUnit* section, const TextUnit** table, int keyCount, bool escapes) {
    for (int key = 0; key < keyCount; ++key) {
        table[key] = nullptr;
    }
    if (!section) {
        return;
    }
    TextUnit* line = section;
    for (;;) {
        TextUnit* lf = line;
        while (*lf != 0 && *lf != kLf) {
            ++lf;
        }
        if (*lf == 0) {
            return;  // a last line without LF is not read
        }
        TextUnit* end = (lf > line && lf[-1] == kCr) ? lf - 1 : lf;
        *end = 0;
        *lf = 0;
        TextUnit* equals = line;
        while (equals < end && *equals != kEquals) {
            ++equals;
        }
        if (equals < end) {
            long key = readKey(line);
            if (key >= 0 && key < keyCount) {
                TextUnit* text = equals + 1;
                if (escapes) {
                    TextUnit* out = text;
                    for (const TextUnit* in = text; in < end; ++in) {
                        if (*in == kBackslash && (in[1] == u'r' || in[1] == u'n')) {
                            *out++ = in[1] == u'r' ? kCr : kLf;
                            ++in;
                        } else {
                            *out++ = *in;
                        }
                    }
                    *out = 0;
                }
                table[key] = text;
            }
        }
        line = lf + 1;
    }
}

bool isFilled(const TextUnit* text) { return text && *text != 0; }

}  // namespace

void clearTables(ArchiveTables& tables) { std::memset(&tables, 0, sizeof(tables)); }

void splitSections(TextUnit* text, size_t count, ArchiveTables& tables) {
    clearTables(tables);
    int separators = 0;
    size_t i = 0;
    while (i < count) {
        if (text[i] != kHash || text[i + 1] != kHash) {
            ++i;
            continue;
        }
        text[i] = 0;
        int separator = separators++;
        // The body normally starts after "##" and the line end that follows it.
        size_t body = i + 4 < count ? i + 4 : count;
        if (separator == 0) {
            tables.headerSection = text + body;
        } else if (separator < kFirstLanguageSeparator) {
            tables.freeTexts[separator - 1] = text + body;
        } else if (tables.languageCount < kMaxLanguages) {
            const TextUnit* name = nullptr;
            bool valid = true;
            if (i + 2 < count && text[i + 2] == kEquals) {
                // Name line: up to the first CR, which must come before the next "##" or the end.
                size_t cr = i + 3;
                while (cr < count && text[cr] != kCr && !(text[cr] == kHash && text[cr + 1] == kHash)) {
                    ++cr;
                }
                if (cr < count && text[cr] == kCr) {
                    text[cr] = 0;
                    name = text + i + 3;
                    body = cr + 2 < count ? cr + 2 : count;
                } else {
                    valid = false;
                }
            }
            if (valid) {
                int language = tables.languageCount++;
                tables.languageNames[language] = name;
                tables.sectionBodies[language] = text + body;
            }
        }
        i += 2;
    }
}

void parseEntries(TextUnit* section, const TextUnit** table) { parseLines(section, table, kLanguageKeyCount, false); }

void parseHeaderEntries(TextUnit* section, const TextUnit** table) { parseLines(section, table, kHeaderKeyCount, true); }

int completenessOf(const TextUnit* const* english, const TextUnit* const* table) {
    int reference = 0;
    int present = 0;
    for (int key = 0; key < kLanguageKeyCount; ++key) {
        if (isFilled(english[key])) {
            ++reference;
            if (isFilled(table[key])) {
                ++present;
            }
        }
    }
    if (reference == 0) {
        return 0;
    }
    return static_cast<int>(100.0 * present / reference);
}

void parseSections(ArchiveTables& tables) {
    for (int language = 0; language < tables.languageCount; ++language) {
        parseEntries(tables.sectionBodies[language], tables.languageTables[language]);
    }
    const TextUnit* const* english = tables.languageTables[kEnglishSection];
    for (int language = 0; language < tables.languageCount; ++language) {
        tables.completeness[language] = completenessOf(english, tables.languageTables[language]);
    }
    parseHeaderEntries(tables.headerSection, tables.headerTable);
}

bool hasEnglish(const ArchiveTables& tables) {
    if (tables.languageCount <= kEnglishSection) {
        return false;
    }
    for (const TextUnit* text : tables.languageTables[kEnglishSection]) {
        if (isFilled(text)) {
            return true;
        }
    }
    return false;
}
