// Build tool: packs the language sources into the archive that the program carries as its
// resource "AAAA_UNICODE.TMP".
//   packLanguages DATA-FOLDER OUTPUT-FILE
#include "lang/ArchiveContainer.h"
#include "tools/ArchiveSource.h"

#include <cstdio>
#include <cstring>
#include <fstream>

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "packLanguages: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return fail("usage: packLanguages DATA-FOLDER OUTPUT-FILE");
    }
    ArchiveSources sources;
    std::u16string text;
    std::string error;
    if (!readSources(argv[1], sources, error) || !buildArchiveText(sources, text, error)) {
        return fail(error);
    }
    const std::vector<unsigned char> bytes = textBytes(text);
    if (bytes.size() > kMaxDecodedBytes) {
        return fail("the text is larger than the program accepts");
    }
    const Bytes archive = packArchive(bytes.data(), bytes.size());

    // Unpack it again as the program will, before anything is written.
    Bytes payload;
    ArchiveText decoded;
    if (!extractPayload(archive.data(), archive.size(), payload) || !decodePayload(payload.data(), payload.size(), decoded) ||
        decoded.count * 2 != bytes.size() || std::memcmp(decoded.units.get(), bytes.data(), bytes.size()) != 0) {
        return fail("the packed archive does not unpack to its text");
    }

    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
    out.close();
    if (!out) {
        std::remove(argv[2]);
        return fail(std::string("cannot write ") + argv[2]);
    }
    std::printf("packLanguages: %zu languages, %zu bytes of text, %zu bytes in the archive\n", sources.languages.size(),
                bytes.size(), archive.size());
    return 0;
}
