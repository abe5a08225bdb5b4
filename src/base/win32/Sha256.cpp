// SHA-256 through Windows' own cryptography (CNG, bcrypt.dll).
#include <windows.h>

#include <bcrypt.h>

#include <cstdio>

#include "base/Sha256.h"

namespace base {

std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[32];
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
        return std::string();
    }
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    // CNG takes the input by non-const pointer but only reads it.
    ok = ok && BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                              static_cast<ULONG>(bytes.size()), 0) == 0;
    ok = ok && BCryptFinishHash(hash, digest, sizeof digest, 0) == 0;
    if (hash != nullptr) {
        BCryptDestroyHash(hash);
    }
    BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!ok) {
        return std::string();
    }
    std::string hex;
    for (const unsigned char b : digest) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", b);
        hex += pair;
    }
    return hex;
}

} // namespace base
