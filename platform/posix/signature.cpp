#include "platform/signature.h"

#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <algorithm>
#include <memory>

namespace platform {

namespace {

struct FreeKeyContext {
  void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
struct FreeKey {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct FreeSignature {
  void operator()(ECDSA_SIG* signature) const { ECDSA_SIG_free(signature); }
};
using KeyContext = std::unique_ptr<EVP_PKEY_CTX, FreeKeyContext>;
using Key = std::unique_ptr<EVP_PKEY, FreeKey>;

// The public key from its uncompressed point; null when the point is not on P-256.
Key ImportPublicPoint(const std::vector<std::uint8_t>& point) {
  KeyContext context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  if (!context || EVP_PKEY_fromdata_init(context.get()) != 1) return nullptr;
  char group[] = "prime256v1";
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, group, 0),
      OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, const_cast<std::uint8_t*>(point.data()),
                                        point.size()),
      OSSL_PARAM_construct_end(),
  };
  EVP_PKEY* key = nullptr;
  if (EVP_PKEY_fromdata(context.get(), &key, EVP_PKEY_PUBLIC_KEY, params) != 1) return nullptr;
  return Key(key);
}

// True when `der` decodes to an ECDSA signature and encodes back to exactly the same bytes.
bool IsCanonicalDer(const std::vector<std::uint8_t>& der) {
  const unsigned char* in = der.data();
  std::unique_ptr<ECDSA_SIG, FreeSignature> signature(d2i_ECDSA_SIG(nullptr, &in, static_cast<long>(der.size())));
  if (!signature || in != der.data() + der.size()) return false;
  unsigned char* encoded = nullptr;
  const int length = i2d_ECDSA_SIG(signature.get(), &encoded);
  const bool same = length == static_cast<int>(der.size()) && std::equal(der.begin(), der.end(), encoded);
  OPENSSL_free(encoded);
  return same;
}

}  // namespace

bool VerifyP256Signature(const std::vector<std::uint8_t>& publicPoint, const std::vector<std::uint8_t>& sha256Digest,
                         const std::vector<std::uint8_t>& derSignature) noexcept {
  if (publicPoint.size() != 65 || publicPoint[0] != 0x04 || sha256Digest.size() != 32 || derSignature.empty() ||
      derSignature.size() > kMaxSignatureBytes || !IsCanonicalDer(derSignature))
    return false;
  Key key = ImportPublicPoint(publicPoint);
  if (!key) return false;
  KeyContext context(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
  // The digest is given: verify over it as it stands, naming SHA-256 as the digest it came from.
  return context && EVP_PKEY_verify_init(context.get()) == 1 &&
         EVP_PKEY_CTX_set_signature_md(context.get(), EVP_sha256()) == 1 &&
         EVP_PKEY_verify(context.get(), derSignature.data(), derSignature.size(), sha256Digest.data(),
                         sha256Digest.size()) == 1;
}

}  // namespace platform
