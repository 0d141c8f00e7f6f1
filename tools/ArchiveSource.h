#pragma once
// Turns the language sources (lang/data: UTF-8 files with LF or CR LF line ends) into the
// archive text: UTF-16LE with a byte-order mark and CR LF line ends, laid out as
//   preamble, "##" header, "##" free text 1, "##" free text 2,
//   "##" + each language file (its first line is the name line "=Name<TAB>Second"),
//   and a last "##" followed only by CR LF.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

struct SourceFile {
    std::string name;   // for messages
    std::string utf8;   // contents as read
};

struct ArchiveSources {
    SourceFile preamble;
    SourceFile header;
    SourceFile freeTexts[2];
    std::vector<SourceFile> languages;  // in archive order
};

// Strict UTF-8 to UTF-16 (no overlong forms, surrogates or values above U+10FFFF). On failure
// `badOffset` gets the offset of the first bad byte.
bool utf8ToUtf16(std::string_view utf8, std::u16string& out, size_t* badOffset);

// One source file as archive text: UTF-8 byte-order mark dropped, every line ended by CR LF
// (a missing last line end is added, so the "##" that follows starts a line of its own).
// Rejects bad UTF-8, NUL characters, a CR that does not end a line, and "##" inside the text,
// which would split the archive in the wrong place.
bool sourceToText(const SourceFile& file, std::u16string& text, std::string& error);

// Reads preamble.txt, header.txt, free-text-1.txt, free-text-2.txt and the language files
// (names starting with two digits and "-", in name order) from `folder`.
bool readSources(const std::filesystem::path& folder, ArchiveSources& sources, std::string& error);

// The whole archive text, checked by parsing it back: every language file gives a named section,
// German is section 0, English section 1 and holds texts, at most 38 sections in all.
bool buildArchiveText(const ArchiveSources& sources, std::u16string& text, std::string& error);

// UTF-16LE bytes of the text.
std::vector<unsigned char> textBytes(const std::u16string& text);
