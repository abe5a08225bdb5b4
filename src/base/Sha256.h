// The SHA-256 of bytes, by the system's own cryptography (OpenSSL's libcrypto on Linux, CNG on
// Windows): what names the firmware that was sent.
#pragma once
#include <string>

namespace base {

// 64 lower-case hex digits; empty when the system could not compute it.
std::string Sha256Hex(const std::string& bytes);

} // namespace base
