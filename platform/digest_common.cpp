// The parts of hash.h that are the same on every platform.
#include "platform/hash.h"

namespace platform {

std::wstring HexUpper(const std::vector<std::uint8_t>& bytes) {
  static const wchar_t kHex[] = L"0123456789ABCDEF";
  std::wstring hex;
  hex.reserve(bytes.size() * 2);
  for (std::uint8_t byte : bytes) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 15];
  }
  return hex;
}

std::vector<std::uint8_t> DigestOfStream(DigestKind kind, std::FILE* file, std::size_t blockSize) {
  Digest digest(kind);
  std::vector<unsigned char> block(blockSize);
  std::size_t n;
  while ((n = std::fread(block.data(), 1, block.size(), file)) > 0) digest.Update(block.data(), n);
  if (std::ferror(file)) return {};
  return digest.Finish();
}

}  // namespace platform
