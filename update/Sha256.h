#pragma once
// SHA-256 through the system's BCrypt, loaded at run time.

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>

using Sha256Digest = std::array<uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False when bcrypt.dll, its functions or its SHA-256 are missing; nothing else works then.
    bool ready() const { return hash_ != nullptr; }
    bool add(const void* data, size_t bytes);
    // The digest of everything added; the object is spent afterwards.
    bool finish(Sha256Digest& digest);

private:
    void* algorithm_ = nullptr;
    void* hash_ = nullptr;
};

// The digest of a file read from its current position to its end; `bytes` counts what was read.
bool sha256OfFile(HANDLE file, Sha256Digest& digest, uint64_t& bytes);
