// A translation file from disk: its bytes as text in either encoding, its entry lines, and the
// completeness report against an English table. Every entry must lie inside the text and end
// there; the report must agree with the table.
#include "lang/ArchiveGrammar.h"
#include "lang/TranslationFile.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Stands in for a double-byte ANSI code page such as 932: a lead byte takes the next byte with
// it; a lead byte at the very end becomes "?".
bool isLeadByte(uint8_t byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

bool doubleByteCodePage(const char* bytes, size_t count, TextString& text) {
    const auto* in = reinterpret_cast<const uint8_t*>(bytes);
    for (size_t i = 0; i < count; ++i) {
        if (isLeadByte(in[i])) {
            if (i + 1 == count) {
                text += TextUnit(u'?');
                break;
            }
            text += static_cast<TextUnit>(0x3000 + ((in[i] << 8 | in[i + 1]) % 0x5000));
            ++i;
        } else {
            text += static_cast<TextUnit>(in[i]);
        }
    }
    return true;
}

// English of a small archive: keys 0..29 and every seventh key above, with "%" and "=" in texts.
struct English {
    std::vector<TextString> texts;
    const TextUnit* table[kLanguageKeyCount] = {};
    int count = 0;
    English() {
        texts.reserve(kLanguageKeyCount);
        for (int key = 0; key < kLanguageKeyCount; ++key) {
            if (key < 30 || key % 7 == 0) {
                texts.push_back(TextString(u"E%d=") + static_cast<TextUnit>(u'A' + key % 26));
                table[key] = texts.back().c_str();
                ++count;
            }
        }
    }
};

const English english;

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

void check(const uint8_t* data, size_t size) {
    TextString text;
    if (!decodeTextFile(data, size, doubleByteCodePage, text)) {
        std::abort();  // the stand-in never refuses, and the input is far below the size bound
    }
    const bool utf16 = size >= 2 && data[0] == 0xFF && data[1] == 0xFE;
    if (utf16 && text.size() != (size - 2) / 2) {
        std::abort();
    }
    if (!utf16 && text.size() > size) {
        std::abort();
    }

    std::vector<TextUnit> buffer(text.begin(), text.end());
    buffer.push_back(0);
    const TextUnit* table[kLanguageKeyCount];
    parseEntries(buffer.data(), table);
    int present = 0;
    for (int key = 0; key < kLanguageKeyCount; ++key) {
        checkEntry(table[key], buffer.data(), buffer.data() + buffer.size());
        if (english.table[key] && table[key] && *table[key]) {
            ++present;
        }
    }

    // "<p> %", then, when keys are missing, the list: its lines with text, "...and...", numbers.
    TextString report = translationReport(english.table, table);
    size_t digits = 0;
    int percent = 0;
    while (digits < report.size() && report[digits] >= u'0' && report[digits] <= u'9') {
        percent = percent * 10 + (report[digits] - u'0');
        ++digits;
    }
    if (digits == 0 || percent != static_cast<int>(100.0 * present / english.count)) {
        std::abort();
    }
    const TextString head = TextString(report, 0, digits) + u" %";
    const int missing = english.count - present;
    if (missing == 0) {
        if (report != head) {
            std::abort();
        }
        return;
    }
    const TextString listStart = head + u"\n\nmiss:\n";
    if (report.compare(0, listStart.size(), listStart) != 0) {
        std::abort();
    }
    size_t lines = 0;
    size_t commas = 0;
    for (size_t i = listStart.size(); i < report.size(); ++i) {
        lines += report[i] == u'\n' ? 1 : 0;
        commas += report[i] == u',' ? 1 : 0;
    }
    const size_t expectedLines = missing <= 9 ? static_cast<size_t>(missing) : 10;  // nine keys and "...and..."
    const size_t expectedCommas = missing <= 9 ? 0 : static_cast<size_t>(missing - 9);
    if (lines != expectedLines || commas != expectedCommas) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // As the file is, then the same bytes behind a UTF-16 mark.
    check(data, size);
    std::vector<uint8_t> marked(size + 2);
    marked[0] = 0xFF;
    marked[1] = 0xFE;
    for (size_t i = 0; i < size; ++i) {
        marked[i + 2] = data[i];
    }
    check(marked.data(), marked.size());
    return 0;
}
