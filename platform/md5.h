// MD5 (RFC 1321) of a stream, from the platform's maintained implementation: CNG (bcrypt) on
// Windows, OpenSSL's libcrypto elsewhere.
#pragma once

#include <cstddef>
#include <cstdio>

namespace platform {

// Reads `file` from its current position in blocks of `blockSize` bytes until a read returns
// nothing, and stores the 16-byte digest. False when a read fails or the digest could not be
// computed; `digest` is then unspecified.
bool Md5OfStream(std::FILE* file, std::size_t blockSize, unsigned char digest[16]);

}  // namespace platform
