// Sections, name lines and entry lines of any decoded text. Every table entry must lie inside
// the text and end with a NUL inside it; completeness stays a percentage.
#include "lang/ArchiveGrammar.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

void checkEntry(const TextUnit* entry, const TextUnit* begin, const TextUnit* end) {
    if (!entry) {
        return;
    }
    if (entry < begin || entry >= end) {
        std::abort();
    }
    while (*entry != 0) {
        if (++entry >= end) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t count = size / 2;
    // The decoder's layout: the units, then two NUL units.
    std::vector<TextUnit> text(count + 2, 0);
    for (size_t i = 0; i < count; ++i) {
        text[i] = static_cast<TextUnit>(data[2 * i] | data[2 * i + 1] << 8);
    }
    const TextUnit* begin = text.data();
    const TextUnit* end = text.data() + text.size();

    auto tables = std::make_unique<ArchiveTables>();
    splitSections(text.data(), count, *tables);
    parseSections(*tables);
    if (tables->languageCount < 0 || tables->languageCount > kMaxLanguages) {
        std::abort();
    }
    for (const TextUnit* entry : tables->headerTable) {
        checkEntry(entry, begin, end);
    }
    for (int language = 0; language < tables->languageCount; ++language) {
        checkEntry(tables->languageNames[language], begin, end);
        checkEntry(tables->sectionBodies[language], begin, end);
        for (const TextUnit* entry : tables->languageTables[language]) {
            checkEntry(entry, begin, end);
        }
        if (tables->completeness[language] < 0 || tables->completeness[language] > 100) {
            std::abort();
        }
    }
    checkEntry(tables->freeTexts[0], begin, end);
    checkEntry(tables->freeTexts[1], begin, end);

    // A translation file loaded from disk goes through parseEntries whole.
    std::vector<TextUnit> file(text.begin(), text.begin() + static_cast<ptrdiff_t>(count));
    file.push_back(0);
    const TextUnit* table[kLanguageKeyCount];
    parseEntries(file.data(), table);
    for (const TextUnit* entry : table) {
        checkEntry(entry, file.data(), file.data() + file.size());
    }
    return 0;
}
