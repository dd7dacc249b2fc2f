// Message digests from the platform's maintained implementations: CNG (bcrypt) on Windows,
// OpenSSL's libcrypto elsewhere. Never written by hand here.
//
// A Digest is fed in any number of pieces and finished once; MD5 checks the package against the
// md5 its address names, SHA-256 is what the vendor's signature covers. Feeding both from the same
// buffer lets one read of a file serve both checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class DigestKind { kMd5, kSha256 };

class Digest {
 public:
  explicit Digest(DigestKind kind);
  Digest(Digest&&) noexcept;
  Digest& operator=(Digest&&) noexcept;
  Digest(const Digest&) = delete;
  Digest& operator=(const Digest&) = delete;
  ~Digest();

  // False once the library refused a step (the digest is then unusable: Finish answers empty).
  bool Ok() const noexcept;
  void Update(const void* data, std::size_t size) noexcept;
  // The digest bytes (16 for MD5, 32 for SHA-256); empty after a failure. Call once.
  std::vector<std::uint8_t> Finish() noexcept;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Upper-case hexadecimal of bytes ("900150983CD24FB0D6963F7D28E17F72").
std::wstring HexUpper(const std::vector<std::uint8_t>& bytes);

// Reads `file` from its current position in blocks of `blockSize` bytes to its end and returns
// the digest, or empty when a read or the digest failed.
std::vector<std::uint8_t> DigestOfStream(DigestKind kind, std::FILE* file, std::size_t blockSize);

}  // namespace platform
