// Our LZARI codec on files, for the cross-check against the second codec in lzari_reference.py:
//   lzariFile encode IN OUT         compresses IN
//   lzariFile decode IN OUT SIZE    expands IN into SIZE bytes
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "lang/Lzari.h"

namespace {

bool readFile(const char* path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool writeFile(const char* path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<uint8_t> in;
    if (argc == 4 && std::strcmp(argv[1], "encode") == 0 && readFile(argv[2], in)) {
        return writeFile(argv[3], lzari::encode(in.data(), in.size())) ? 0 : 1;
    }
    if (argc == 5 && std::strcmp(argv[1], "decode") == 0 && readFile(argv[2], in)) {
        std::vector<uint8_t> out(std::strtoul(argv[4], nullptr, 10));
        lzari::decode(in.data(), in.size(), out.data(), out.size());
        return writeFile(argv[3], out) ? 0 : 1;
    }
    std::fprintf(stderr, "usage: lzariFile encode IN OUT | decode IN OUT SIZE\n");
    return 2;
}
