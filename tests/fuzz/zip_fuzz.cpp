// Opens a fuzzed archive, lists it and extracts every item into a scratch directory, item by item
// and then as the installer does (writer threads, the file held open); aborts when a cleaned name
// is unsafe or anything appears outside the base directory.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/text.h"
#include "unzip/extract_package.h"
#include "unzip/zip_names.h"
#include "unzip/zip_reader.h"

namespace fs = std::filesystem;

namespace {

// Larger items are described but not written, larger packages not extracted whole: runs stay fast.
constexpr std::int32_t kLargestExtracted = 1 << 20;
constexpr std::int64_t kLargestPackage = 64 << 20;

class SilentReport final : public unzip::IExtractReport {
 public:
  void OnExtractProgress(std::int32_t, std::int32_t) override {}
  bool ExtractCancelled() override { return false; }
  void OnExtractFinished() override {}
  void OnExtractFailed(unzip::ExtractStage, std::int32_t, const std::wstring&, bool) override {}
};

void Check(bool condition, const char* what, const std::wstring& detail = {}) {
  if (condition) return;
  std::fprintf(stderr, "zip_fuzz: %s %s\n", what, platform::ToUtf8(detail).c_str());
  std::abort();
}

// Below root: the archive, and outer/inner/base, where everything extracted must stay.
void CheckNothingOutsideBase(const fs::path& root) {
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string relative = entry.path().lexically_relative(root).generic_string();
    Check(relative == "archive.zip" || relative == "outer" || relative == "outer/inner" ||
              relative == "outer/inner/base" || relative.rfind("outer/inner/base/", 0) == 0,
          "written outside the base directory:", platform::FromUtf8(relative));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A memory file system when there is one: every input is written and extracted.
  static const fs::path root = [] {
    std::string pattern = std::string(fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp") + "/zip_fuzz.XXXXXX";
    Check(mkdtemp(pattern.data()) != nullptr, "no scratch directory");
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(root, ignored);
    });
    return fs::path(pattern);
  }();
  const fs::path base = root / "outer" / "inner" / "base", archive = root / "archive.zip";
  std::error_code ignored;
  fs::remove_all(base, ignored);
  fs::create_directories(base, ignored);
  std::FILE* file = std::fopen(archive.c_str(), "wb");
  Check(file && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0, "archive not written");

  {
    CZipReader zip;
    if (!zip.Open(platform::FromUtf8(archive.string()))) return 0;
    Check(zip.SetBaseDir(platform::FromUtf8(base.string())) == ZIP_OK, "base directory refused");
    ZipItemInfo info;
    Check(zip.GetItem(-1, info) == ZIP_OK && info.index == zip.Count(), "no item count");
    (void)zip.UncompressedTotal();
    for (std::int32_t i = 0; i < zip.Count() && i < 512; ++i) {
      if (zip.GetItem(i, info) != ZIP_OK) continue;
      Check(IsSafeItemName(info.name), "unsafe cleaned name:", info.name);
      if (info.uncompressedSize >= 0 && info.uncompressedSize <= kLargestExtracted) (void)zip.ExtractItem(i, info.name);
    }
    if (zip.Count() > 0) (void)zip.GetItem(0, info);  // going back to the start works after any walk
  }
  CheckNothingOutsideBase(root);
  platform::SharedReadFile package;
  Check(package.Open(platform::FromUtf8(archive.string())), "archive not opened");
  const std::int64_t total = PackageUncompressedSize(package);
  if (total >= 0 && total <= kLargestPackage) {
    SilentReport report;
    (void)ExtractPackage(package, platform::FromUtf8(base.string()), report, 2);
  }
  CheckNothingOutsideBase(root);
  return 0;
}
