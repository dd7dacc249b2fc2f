#include "platform/md5.h"

#include <openssl/evp.h>

#include <memory>
#include <vector>

namespace platform {

bool Md5OfStream(std::FILE* file, std::size_t blockSize, unsigned char digest[16]) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1) return false;
  std::vector<unsigned char> block(blockSize);
  std::size_t n;
  while ((n = std::fread(block.data(), 1, block.size(), file)) > 0)
    if (EVP_DigestUpdate(context.get(), block.data(), n) != 1) return false;
  if (std::ferror(file)) return false;
  unsigned int length = 0;
  return EVP_DigestFinal_ex(context.get(), digest, &length) == 1 && length == 16;
}

}  // namespace platform
