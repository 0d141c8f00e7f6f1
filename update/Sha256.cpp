#include "update/Sha256.h"

#include <bcrypt.h>

#include "base/DynamicCall.h"

#include <vector>

namespace {

constexpr DWORD kReadChunkBytes = 256 * 1024;

bool succeeded(NTSTATUS status) { return status >= 0; }

// bcrypt.dll's functions, looked up once.
struct BcryptFunctions {
    decltype(&BCryptOpenAlgorithmProvider) openAlgorithm;
    decltype(&BCryptCloseAlgorithmProvider) closeAlgorithm;
    decltype(&BCryptCreateHash) createHash;
    decltype(&BCryptHashData) hashData;
    decltype(&BCryptFinishHash) finishHash;
    decltype(&BCryptDestroyHash) destroyHash;

    bool complete() const { return openAlgorithm && closeAlgorithm && createHash && hashData && finishHash && destroyHash; }
};

const BcryptFunctions& bcrypt() {
    static const BcryptFunctions functions{
        systemFunction<decltype(BCryptOpenAlgorithmProvider)>(L"bcrypt.dll", "BCryptOpenAlgorithmProvider"),
        systemFunction<decltype(BCryptCloseAlgorithmProvider)>(L"bcrypt.dll", "BCryptCloseAlgorithmProvider"),
        systemFunction<decltype(BCryptCreateHash)>(L"bcrypt.dll", "BCryptCreateHash"),
        systemFunction<decltype(BCryptHashData)>(L"bcrypt.dll", "BCryptHashData"),
        systemFunction<decltype(BCryptFinishHash)>(L"bcrypt.dll", "BCryptFinishHash"),
        systemFunction<decltype(BCryptDestroyHash)>(L"bcrypt.dll", "BCryptDestroyHash"),
    };
    return functions;
}

}  // namespace

Sha256::Sha256() {
    const BcryptFunctions& f = bcrypt();
    if (!f.complete()) {
        return;
    }
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!succeeded(f.openAlgorithm(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        return;
    }
    algorithm_ = algorithm;
    // Without an object buffer BCrypt keeps the hash state itself (Windows 7 and later).
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (succeeded(f.createHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) {
        hash_ = hash;
    }
}

Sha256::~Sha256() {
    const BcryptFunctions& f = bcrypt();
    if (hash_) {
        f.destroyHash(hash_);
    }
    if (algorithm_) {
        f.closeAlgorithm(algorithm_, 0);
    }
}

bool Sha256::add(const void* data, size_t bytes) {
    if (!hash_) {
        return false;
    }
    auto* next = static_cast<UCHAR*>(const_cast<void*>(data));
    // BCrypt counts in ULONG: hand over large buffers in pieces.
    while (bytes > 0) {
        ULONG piece = bytes > 0x40000000u ? 0x40000000u : static_cast<ULONG>(bytes);
        if (!succeeded(bcrypt().hashData(hash_, next, piece, 0))) {
            return false;
        }
        next += piece;
        bytes -= piece;
    }
    return true;
}

bool Sha256::finish(Sha256Digest& digest) {
    if (!hash_) {
        return false;
    }
    bool ok = succeeded(bcrypt().finishHash(hash_, digest.data(), static_cast<ULONG>(digest.size()), 0));
    bcrypt().destroyHash(hash_);
    hash_ = nullptr;
    return ok;
}

bool sha256OfFile(HANDLE file, Sha256Digest& digest, uint64_t& bytes) {
    bytes = 0;
    Sha256 sha;
    std::vector<char> buffer(kReadChunkBytes);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer.data(), kReadChunkBytes, &got, nullptr)) {
            return false;
        }
        if (got == 0) {
            return sha.finish(digest);
        }
        if (!sha.add(buffer.data(), got)) {
            return false;
        }
        bytes += got;
    }
}
