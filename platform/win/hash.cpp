#include "platform/hash.h"

#include <windows.h>
#include <bcrypt.h>

namespace platform {

// The provider and the hash object, released in reverse order of their making.
struct Digest::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  std::size_t size = 0;
  bool ok = false;
  ~State() {
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

namespace {
bool Succeeded(NTSTATUS status) { return status >= 0; }
}  // namespace

Digest::Digest(DigestKind kind) : state_(new State) {
  const bool md5 = kind == DigestKind::kMd5;
  state_->size = md5 ? 16 : 32;
  state_->ok = Succeeded(BCryptOpenAlgorithmProvider(&state_->algorithm,
                                                     md5 ? BCRYPT_MD5_ALGORITHM : BCRYPT_SHA256_ALGORITHM, nullptr,
                                                     0)) &&
               Succeeded(BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0));
}

Digest::Digest(Digest&&) noexcept = default;
Digest& Digest::operator=(Digest&&) noexcept = default;
Digest::~Digest() = default;

bool Digest::Ok() const noexcept { return state_ && state_->ok; }

void Digest::Update(const void* data, std::size_t size) noexcept {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (Ok() && size > 0) {
    const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
    state_->ok = Succeeded(BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes), piece, 0));
    bytes += piece;
    size -= piece;
  }
}

std::vector<std::uint8_t> Digest::Finish() noexcept {
  if (!Ok()) return {};
  std::vector<std::uint8_t> digest(state_->size);
  state_->ok = Succeeded(BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
  if (!state_->ok) digest.clear();
  state_->ok = false;  // finished: no further use
  return digest;
}

}  // namespace platform
