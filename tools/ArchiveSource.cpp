#include "tools/ArchiveSource.h"

#include "lang/ArchiveGrammar.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

bool readFile(const std::filesystem::path& path, SourceFile& file, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path.string();
        return false;
    }
    file.name = path.filename().string();
    file.utf8.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read " + path.string();
        return false;
    }
    return true;
}

bool isLanguageFileName(const std::string& name) {
    return name.size() > 7 && name[0] >= '0' && name[0] <= '9' && name[1] >= '0' && name[1] <= '9' && name[2] == '-' &&
           name.ends_with(".txt");
}

bool startsWith(const TextUnit* text, std::u16string_view prefix) {
    for (char16_t c : prefix) {
        if (!text || *text != static_cast<TextUnit>(c)) {
            return false;
        }
        ++text;
    }
    return true;
}

}  // namespace

bool utf8ToUtf16(std::string_view utf8, std::u16string& out, size_t* badOffset) {
    out.clear();
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const size_t start = i;
        auto byte = [&](size_t at) { return static_cast<unsigned char>(utf8[at]); };
        unsigned char lead = byte(i++);
        char32_t code = 0;
        int more = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            code = lead & 0x1F;
            more = 1;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            code = lead & 0x0F;
            more = 2;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            code = lead & 0x07;
            more = 3;
            minimum = 0x10000;
        } else {
            *badOffset = start;
            return false;
        }
        for (int k = 0; k < more; ++k) {
            if (i >= utf8.size() || (byte(i) & 0xC0) != 0x80) {
                *badOffset = start;
                return false;
            }
            code = (code << 6) | (byte(i++) & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            *badOffset = start;
            return false;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
    return true;
}

bool sourceToText(const SourceFile& file, std::u16string& text, std::string& error) {
    std::string_view utf8 = file.utf8;
    if (utf8.starts_with("\xEF\xBB\xBF")) {
        utf8.remove_prefix(3);
    }
    std::u16string units;
    size_t bad = 0;
    if (!utf8ToUtf16(utf8, units, &bad)) {
        error = file.name + ": invalid UTF-8 at byte " + std::to_string(bad);
        return false;
    }
    text.clear();
    int line = 1;
    for (size_t i = 0; i < units.size(); ++i) {
        char16_t c = units[i];
        if (c == u'\r') {
            if (i + 1 < units.size() && units[i + 1] == u'\n') {
                continue;  // the LF writes the line end
            }
            error = file.name + ":" + std::to_string(line) + ": CR without LF";
            return false;
        }
        if (c == 0) {
            error = file.name + ":" + std::to_string(line) + ": NUL character";
            return false;
        }
        if (c == u'#' && i + 1 < units.size() && units[i + 1] == u'#') {
            error = file.name + ":" + std::to_string(line) + ": \"##\" separates sections and cannot appear in a text";
            return false;
        }
        if (c == u'\n') {
            text += u"\r\n";
            ++line;
        } else {
            text += c;
        }
    }
    if (!text.empty() && !text.ends_with(u"\r\n")) {
        text += u"\r\n";
    }
    return true;
}

bool readSources(const std::filesystem::path& folder, ArchiveSources& sources, std::string& error) {
    if (!readFile(folder / "preamble.txt", sources.preamble, error) || !readFile(folder / "header.txt", sources.header, error) ||
        !readFile(folder / "free-text-1.txt", sources.freeTexts[0], error) ||
        !readFile(folder / "free-text-2.txt", sources.freeTexts[1], error)) {
        return false;
    }
    std::vector<std::filesystem::path> languageFiles;
    std::error_code failure;
    for (const auto& entry : std::filesystem::directory_iterator(folder, failure)) {
        if (entry.is_regular_file() && isLanguageFileName(entry.path().filename().string())) {
            languageFiles.push_back(entry.path());
        }
    }
    if (failure) {
        error = "cannot list " + folder.string() + ": " + failure.message();
        return false;
    }
    std::sort(languageFiles.begin(), languageFiles.end(),
              [](const auto& a, const auto& b) { return a.filename().string() < b.filename().string(); });
    sources.languages.clear();
    for (const auto& path : languageFiles) {
        SourceFile file;
        if (!readFile(path, file, error)) {
            return false;
        }
        sources.languages.push_back(std::move(file));
    }
    return true;
}

bool buildArchiveText(const ArchiveSources& sources, std::u16string& text, std::string& error) {
    text.assign(1, u'\xFEFF');
    std::u16string part;
    if (!sourceToText(sources.preamble, part, error)) {
        return false;
    }
    text += part;
    for (const SourceFile* file : {&sources.header, &sources.freeTexts[0], &sources.freeTexts[1]}) {
        if (!sourceToText(*file, part, error)) {
            return false;
        }
        text += u"##\r\n";
        text += part;
    }
    for (const SourceFile& file : sources.languages) {
        if (!sourceToText(file, part, error)) {
            return false;
        }
        if (!part.starts_with(u"=") || part.find(u'\r') == 1) {
            error = file.name + ": the first line must be the name line \"=Name<TAB>Second\"";
            return false;
        }
        text += u"##";
        text += part;
    }
    // The last separator closes the last language; it registers an empty, unnamed section.
    text += u"##\r\n";

    // Parse it back the way the program will.
    std::basic_string<TextUnit> copy(text.begin(), text.end());
    copy.append(2, TextUnit(0));
    auto tables = std::make_unique<ArchiveTables>();
    splitSections(copy.data(), text.size(), *tables);
    parseSections(*tables);
    const int expected = static_cast<int>(sources.languages.size()) + 1;
    if (expected > kMaxLanguages) {
        error = "too many languages: " + std::to_string(sources.languages.size()) + " (at most " +
                std::to_string(kMaxLanguages - 1) + ")";
        return false;
    }
    if (tables->languageCount != expected) {
        error = "the text holds " + std::to_string(tables->languageCount) + " language sections instead of " +
                std::to_string(expected);
        return false;
    }
    if (!startsWith(tables->languageNames[0], u"Deutsch\t") || !startsWith(tables->languageNames[kEnglishSection], u"English\t")) {
        error = "German must be the first language and English the second";
        return false;
    }
    if (!hasEnglish(*tables)) {
        error = "the English section holds no text";
        return false;
    }
    return true;
}

std::vector<unsigned char> textBytes(const std::u16string& text) {
    std::vector<unsigned char> bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    return bytes;
}
