#include "lang/TranslationFile.h"

#include "lang/ArchiveGrammar.h"

namespace {

// Keys listed with their English text before the list turns into bare numbers.
constexpr int kMissingWithText = 9;

bool isFilled(const TextUnit* text) { return text && *text != 0; }

void appendNumber(TextString& text, int value) {
    if (value < 0) {
        text += TextUnit(u'-');
        value = -value;
    }
    TextUnit digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<TextUnit>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) {
        text += digits[--count];
    }
}

void appendAscii(TextString& text, const char* ascii) {
    for (; *ascii; ++ascii) {
        text += static_cast<TextUnit>(*ascii);
    }
}

}  // namespace

bool decodeTextFile(const uint8_t* bytes, size_t size, AnsiConverter convertAnsi, TextString& text) {
    text.clear();
    if (size > kMaxTranslationFileBytes) {
        return false;
    }
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        const size_t units = (size - 2) / 2;
        text.resize(units);
        for (size_t i = 0; i < units; ++i) {
            text[i] = static_cast<TextUnit>(bytes[2 + 2 * i] | bytes[3 + 2 * i] << 8);
        }
        return true;
    }
    if (size == 0) {
        return true;
    }
    return convertAnsi(reinterpret_cast<const char*>(bytes), size, text);
}

TextString translationReport(const TextUnit* const* english, const TextUnit* const* loaded) {
    TextString list;
    int missing = 0;
    for (int key = 0; key < kLanguageKeyCount; ++key) {
        if (!isFilled(english[key]) || isFilled(loaded[key])) {
            continue;
        }
        ++missing;
        if (missing <= kMissingWithText) {
            appendNumber(list, key);
            list += TextUnit(u'=');
            list += english[key];
            list += TextUnit(u'\n');
            continue;
        }
        if (missing == kMissingWithText + 1) {
            appendAscii(list, "...and...\n");
        }
        appendNumber(list, key);
        list += TextUnit(u',');
    }
    TextString report;
    appendNumber(report, completenessOf(english, loaded));
    appendAscii(report, " %");
    if (missing > 0) {
        appendAscii(report, "\n\nmiss:\n");
        report += list;
    }
    return report;
}
