#include "platform/signature.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstring>

#include "platform/win/handles.h"

namespace platform {

namespace {

constexpr std::size_t kCoordinateBytes = 32;  // one coordinate of P-256, and one of r and s

struct AlgorithmTraits {
  using Handle = BCRYPT_ALG_HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { BCryptCloseAlgorithmProvider(h, 0); }
};
struct KeyTraits {
  using Handle = BCRYPT_KEY_HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { BCryptDestroyKey(h); }
};
// What crypt32 hands out with CRYPT_DECODE_ALLOC_FLAG or CRYPT_ENCODE_ALLOC_FLAG: LocalAlloc'd.
template <typename T>
using LocalMemory = win::UniqueLocal<T*>;

bool Succeeded(NTSTATUS status) { return status >= 0; }

// One DER INTEGER of an unsigned little-endian number, encoded by crypt32; empty on failure.
std::vector<BYTE> EncodeUnsigned(const CRYPT_UINT_BLOB& number) {
  LocalMemory<BYTE> encoded;
  DWORD size = 0;
  if (!CryptEncodeObjectEx(X509_ASN_ENCODING, X509_MULTI_BYTE_UINT, &number, CRYPT_ENCODE_ALLOC_FLAG, nullptr,
                           encoded.put(), &size))
    return {};
  return std::vector<BYTE>(encoded.get(), encoded.get() + size);
}

// crypt32 decodes a signature with bytes after it, or with a redundant leading zero, as readily as
// the canonical one: encode what was decoded again and insist on the very same bytes.
bool IsCanonical(const CERT_ECC_SIGNATURE& decoded, const std::vector<std::uint8_t>& der) {
  std::vector<BYTE> r = EncodeUnsigned(decoded.r);
  std::vector<BYTE> s = EncodeUnsigned(decoded.s);
  if (r.empty() || s.empty()) return false;
  CRYPT_DER_BLOB items[] = {{static_cast<DWORD>(r.size()), r.data()}, {static_cast<DWORD>(s.size()), s.data()}};
  CRYPT_SEQUENCE_OF_ANY sequence = {2, items};
  LocalMemory<BYTE> encoded;
  DWORD size = 0;
  return CryptEncodeObjectEx(X509_ASN_ENCODING, X509_SEQUENCE_OF_ANY, &sequence, CRYPT_ENCODE_ALLOC_FLAG, nullptr,
                             encoded.put(), &size) &&
         size == der.size() && std::memcmp(encoded.get(), der.data(), size) == 0;
}

// Writes a little-endian number big-endian into the 32 bytes at `out`, left-padded with zeros;
// false when it does not fit.
bool PutBigEndian(const CRYPT_UINT_BLOB& number, BYTE* out) {
  DWORD length = number.cbData;
  while (length > 0 && number.pbData[length - 1] == 0) --length;  // most significant zeros
  if (length > kCoordinateBytes) return false;
  std::memset(out, 0, kCoordinateBytes);
  for (DWORD i = 0; i < length; ++i) out[kCoordinateBytes - 1 - i] = number.pbData[i];
  return true;
}

// The DER signature as the raw r‖s (64 bytes, big-endian) that CNG verifies; empty when it is not
// one canonical DER ECDSA signature of P-256.
std::vector<BYTE> RawSignature(const std::vector<std::uint8_t>& der) {
  LocalMemory<CERT_ECC_SIGNATURE> decoded;
  DWORD size = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ECC_SIGNATURE, der.data(), static_cast<DWORD>(der.size()),
                           CRYPT_DECODE_ALLOC_FLAG, nullptr, decoded.put(), &size) ||
      !IsCanonical(*decoded.get(), der))
    return {};
  std::vector<BYTE> raw(2 * kCoordinateBytes);
  if (!PutBigEndian(decoded.get()->r, raw.data()) || !PutBigEndian(decoded.get()->s, raw.data() + kCoordinateBytes))
    return {};
  return raw;
}

}  // namespace

bool VerifyP256Signature(const std::vector<std::uint8_t>& publicPoint, const std::vector<std::uint8_t>& sha256Digest,
                         const std::vector<std::uint8_t>& derSignature) noexcept {
  if (publicPoint.size() != 1 + 2 * kCoordinateBytes || publicPoint[0] != 0x04 || sha256Digest.size() != 32 ||
      derSignature.empty() || derSignature.size() > kMaxSignatureBytes)
    return false;
  std::vector<BYTE> raw = RawSignature(derSignature);
  if (raw.empty()) return false;

  // BCRYPT_ECCKEY_BLOB followed by X and Y: the point without its leading 0x04.
  std::vector<BYTE> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinateBytes);
  BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kCoordinateBytes};
  std::memcpy(blob.data(), &header, sizeof(header));
  std::copy(publicPoint.begin() + 1, publicPoint.end(), blob.begin() + sizeof(header));

  platform::Owned<AlgorithmTraits> algorithm;
  platform::Owned<KeyTraits> key;
  return Succeeded(BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)) &&
         Succeeded(BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.put(), blob.data(),
                                       static_cast<ULONG>(blob.size()), 0)) &&
         Succeeded(BCryptVerifySignature(key.get(), nullptr, const_cast<PUCHAR>(sha256Digest.data()),
                                         static_cast<ULONG>(sha256Digest.size()), raw.data(),
                                         static_cast<ULONG>(raw.size()), 0));
}

}  // namespace platform
