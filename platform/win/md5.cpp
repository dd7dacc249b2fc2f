#include "platform/md5.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

namespace platform {
namespace {

// The provider and the hash object, released in reverse order of their making.
struct Md5Objects {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  ~Md5Objects() {
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

bool Ok(NTSTATUS status) { return status >= 0; }

}  // namespace

bool Md5OfStream(std::FILE* file, std::size_t blockSize, unsigned char digest[16]) {
  Md5Objects md5;
  if (!Ok(BCryptOpenAlgorithmProvider(&md5.algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0)) ||
      !Ok(BCryptCreateHash(md5.algorithm, &md5.hash, nullptr, 0, nullptr, 0, 0)))
    return false;
  std::vector<unsigned char> block(blockSize);
  std::size_t n;
  while ((n = std::fread(block.data(), 1, block.size(), file)) > 0)
    if (!Ok(BCryptHashData(md5.hash, block.data(), static_cast<ULONG>(n), 0))) return false;
  if (std::ferror(file)) return false;
  return Ok(BCryptFinishHash(md5.hash, digest, 16, 0));
}

}  // namespace platform
