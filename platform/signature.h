// The vendor's package signature: ECDSA on the curve P-256 over the SHA-256 digest of the package,
// detached, in the DER form that `openssl dgst -sha256 -sign KEY.pem -out PKG.sig PKG` writes (a
// SEQUENCE of the two INTEGERs r and s).
//
// Checked with the platform's maintained crypto, never by hand: CNG (bcrypt) with crypt32's DER
// decoder on Windows, OpenSSL's libcrypto elsewhere. The caller hashes the package once with
// platform::Digest (platform/hash.h), feeding MD5 and SHA-256 from the same buffer, and passes the
// SHA-256 digest here; nothing in this header reads a file.
//
// Only a signature in canonical DER is accepted: trailing bytes, a redundant leading zero or any
// other second encoding of the same signature is refused, so that exactly one byte string is a
// valid signature file for a given signature.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

// A signature file longer than this is refused unread: a DER P-256 signature is at most 72 bytes.
inline constexpr std::size_t kMaxSignatureBytes = 1024;

// True only when `derSignature` is a canonical DER ECDSA signature over `sha256Digest` (32 bytes)
// made with the private half of `publicPoint` (65 bytes: 0x04, X, Y, the uncompressed point on
// P-256). Any other input, a point off the curve, a digest of another length, an empty or
// oversized signature, answers false; nothing throws.
[[nodiscard]] bool VerifyP256Signature(const std::vector<std::uint8_t>& publicPoint,
                                       const std::vector<std::uint8_t>& sha256Digest,
                                       const std::vector<std::uint8_t>& derSignature) noexcept;

// The vendor's public key built into this program (the uncompressed point, 65 bytes), from the
// PEM file the build was given as VENDOR_PUBLIC_KEY or from the build's development key.
const std::vector<std::uint8_t>& VendorPublicKey();

}  // namespace platform
