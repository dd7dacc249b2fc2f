#include "platform/hash.h"

#include <openssl/evp.h>

namespace platform {

struct Digest::State {
  EVP_MD_CTX* context = nullptr;
  bool ok = false;
  ~State() { EVP_MD_CTX_free(context); }
};

Digest::Digest(DigestKind kind) : state_(new State) {
  state_->context = EVP_MD_CTX_new();
  state_->ok = state_->context &&
               EVP_DigestInit_ex(state_->context, kind == DigestKind::kMd5 ? EVP_md5() : EVP_sha256(), nullptr) == 1;
}

Digest::Digest(Digest&&) noexcept = default;
Digest& Digest::operator=(Digest&&) noexcept = default;
Digest::~Digest() = default;

bool Digest::Ok() const noexcept { return state_ && state_->ok; }

void Digest::Update(const void* data, std::size_t size) noexcept {
  if (Ok() && size > 0) state_->ok = EVP_DigestUpdate(state_->context, data, size) == 1;
}

std::vector<std::uint8_t> Digest::Finish() noexcept {
  if (!Ok()) return {};
  std::vector<std::uint8_t> digest(EVP_MAX_MD_SIZE);
  unsigned int length = 0;
  state_->ok = EVP_DigestFinal_ex(state_->context, digest.data(), &length) == 1;
  digest.resize(state_->ok ? length : 0);
  state_->ok = false;  // finished: no further use
  return digest;
}

}  // namespace platform
