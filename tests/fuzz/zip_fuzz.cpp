// Opens a fuzzed archive, lists it and extracts every item into a scratch directory, item by item
// and then as the installer does (writer threads, the file held open); aborts when a cleaned name
// could leave the base directory or anything appears outside it.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/text.h"
#include "unzip/extract_package.h"
#include "unzip/zip_names.h"
#include "unzip/zip_reader.h"

namespace fs = std::filesystem;

namespace {

// Items declared larger than this are described but not written, to keep runs fast; archives
// declaring more than kLargestPackage in all are not extracted as a whole.
constexpr std::int32_t kLargestExtracted = 1 << 20;
constexpr std::int64_t kLargestPackage = 64 << 20;

class SilentReport final : public unzip::IExtractReport {
 public:
  void OnExtractProgress(std::int32_t, std::int32_t) override {}
  bool ExtractCancelled() override { return false; }
  void OnExtractFinished() override {}
  void OnExtractFailed(unzip::ExtractStage, std::int32_t, const std::wstring&, bool) override {}
};

struct Scratch {
  Scratch() {
    // A memory file system when there is one: every input is written and extracted.
    std::string pattern = std::string(fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp") + "/zip_fuzz.XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    root = pattern;
    base = root / "outer" / "inner" / "base";
    archive = root / "archive.zip";
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  fs::path root, base, archive;
};

Scratch& TheScratch() {
  static Scratch scratch;
  return scratch;
}

void Check(bool condition, const char* what, const std::wstring& detail = {}) {
  if (condition) return;
  std::fprintf(stderr, "zip_fuzz: %s %s\n", what, platform::ToUtf8(detail).c_str());
  std::abort();
}

// Only the archive and the directories down to base may exist outside base.
void CheckNothingOutsideBase(const Scratch& scratch) {
  for (auto it = fs::recursive_directory_iterator(scratch.root); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path& path = it->path();
    if (path == scratch.archive || path == scratch.root / "outer" || path == scratch.root / "outer" / "inner" ||
        path == scratch.base) {
      continue;
    }
    const fs::path relative = path.lexically_relative(scratch.base);
    Check(!relative.empty() && *relative.begin() != "..", "written outside the base directory:",
          platform::FromUtf8(path.string()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Scratch& scratch = TheScratch();
  std::error_code ignored;
  fs::remove_all(scratch.base, ignored);
  fs::create_directories(scratch.base);
  {
    std::FILE* file = std::fopen(scratch.archive.c_str(), "wb");
    if (!file) std::abort();
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
  }

  {
    CZipReader zip;
    if (!zip.Open(platform::FromUtf8(scratch.archive.string()))) return 0;
    Check(zip.SetBaseDir(platform::FromUtf8(scratch.base.string())) == ZIP_OK, "base directory refused");
    ZipItemInfo info;
    Check(zip.GetItem(-1, info) == ZIP_OK && info.index == zip.Count(), "no item count");
    (void)zip.UncompressedTotal();
    for (std::int32_t i = 0; i < zip.Count() && i < 512; ++i) {
      if (zip.GetItem(i, info) != ZIP_OK) continue;
      Check(IsSafeItemName(info.name), "unsafe cleaned name:", info.name);
      if (info.uncompressedSize < 0 || info.uncompressedSize > kLargestExtracted) continue;
      (void)zip.ExtractItem(i, info.name);
    }
    // Going back to the start must work after any walk.
    if (zip.Count() > 0) (void)zip.GetItem(0, info);
  }
  CheckNothingOutsideBase(scratch);
  platform::SharedReadFile package;
  if (!package.Open(platform::FromUtf8(scratch.archive.string()))) std::abort();
  const std::int64_t total = PackageUncompressedSize(package);
  if (total >= 0 && total <= kLargestPackage) {
    SilentReport report;
    (void)ExtractPackage(package, platform::FromUtf8(scratch.base.string()), report, 2);
  }
  CheckNothingOutsideBase(scratch);
  return 0;
}
