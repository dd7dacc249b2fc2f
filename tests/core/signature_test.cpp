// Package signatures that the openssl command line made, checked through libcrypto or CNG.
#include "platform/signature.h"

#include <gtest/gtest.h>

#include "platform/hash.h"
#include "platform/text.h"
#include "tests/core/support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Read(const std::wstring& name) {
#ifdef _WIN32
  const std::string bytes = testsupport::ReadAll(std::wstring(SIGNATURE_FIXTURE_DIR) + L"\\" + name);
#else
  const std::string bytes = testsupport::ReadAll(platform::FromUtf8(SIGNATURE_FIXTURE_DIR) + L"\\" + name);
#endif
  return Bytes(bytes.begin(), bytes.end());
}

Bytes PackageDigest() {
  const Bytes bytes = Read(L"package.bin");
  platform::Digest digest(platform::DigestKind::kSha256);
  digest.Update(bytes.data(), bytes.size());
  return digest.Finish();
}

// What VerifyP256Signature is given: the vendor's key, the package's digest and a signature.
struct Inputs {
  Bytes point, digest, signature;
};

TEST(PackageSignature, OnlyTheVendorsSignatureOfThisPackageVerifies) {
  const struct { const char* what; const wchar_t* file; void (*change)(Inputs&); } cases[] = {
      {"made with another key", L"other-key.sig", [](Inputs&) {}},
      {"of another file", L"other-file.sig", [](Inputs&) {}},
      {"truncated", L"good.sig", [](Inputs& in) { in.signature.pop_back(); }},
      {"garbled inside r", L"good.sig", [](Inputs& in) { in.signature[12] ^= 0x01; }},
      {"garbled inside s", L"good.sig", [](Inputs& in) { in.signature[in.signature.size() - 3] ^= 0x80; }},
      {"empty", L"good.sig", [](Inputs& in) { in.signature.clear(); }},
      {"with a byte after it", L"good.sig", [](Inputs& in) { in.signature.push_back(0); }},
      {"oversized", L"good.sig", [](Inputs& in) { in.signature.resize(platform::kMaxSignatureBytes + 1); }},
      {"a changed package", L"good.sig", [](Inputs& in) { in.digest[31] ^= 0x01; }},
      {"a digest of another length", L"good.sig", [](Inputs& in) { in.digest.pop_back(); }},
      {"a point off the curve", L"good.sig", [](Inputs& in) { in.point[64] ^= 0x01; }},
      {"a compressed point", L"good.sig", [](Inputs& in) { in.point.resize(33); in.point[0] = 0x02; }},
  };
  const Inputs vendor = {Read(L"vendor.point"), PackageDigest(), Read(L"good.sig")};
  ASSERT_EQ(vendor.point.size(), 65u) << "signature fixtures missing: run make_signature_fixtures.sh";
  EXPECT_TRUE(platform::VerifyP256Signature(vendor.point, vendor.digest, vendor.signature));
  for (const auto& c : cases) {
    Inputs in = vendor;
    in.signature = Read(c.file);
    ASSERT_FALSE(in.signature.empty()) << c.what;
    c.change(in);
    EXPECT_FALSE(platform::VerifyP256Signature(in.point, in.digest, in.signature)) << c.what;
  }
}

// The key built in is the build's: the development key's signature verifies, another does not.
TEST(PackageSignature, BuiltInKeyIsTheBuildsKey) {
  const Bytes& builtIn = platform::VendorPublicKey();
  ASSERT_EQ(builtIn.size(), 65u);
  EXPECT_FALSE(platform::VerifyP256Signature(builtIn, PackageDigest(), Read(L"good.sig")));
  const Bytes signature = Read(L"built-in.sig");
  if (signature.empty()) GTEST_SKIP() << "built with a vendor's key whose private half the build does not have";
  EXPECT_TRUE(platform::VerifyP256Signature(builtIn, PackageDigest(), signature));
}

}  // namespace
