#include "unzip/extract_package.h"

#include "platform/fs.h"
#include "unzip/zip_reader.h"

using namespace unzip;

namespace {

// Results that mean the package's own bytes are bad, so a fresh download may cure them; failures
// to write the output keep the package.
bool PackageIsBad(ZipResult result) {
  return result == ZIP_CORRUPT || result == ZIP_READ_ERROR || result == ZIP_INFLATE_ERROR;
}

void DeletePackage(const std::wstring& packagePath) {
  // Ignored on failure: the next run then finds the same package and fails the same way.
  (void)platform::RemoveFile(packagePath);
}

// An extracted empty file comes back as ZIP_INFLATE_ERROR with nothing to read.
bool Extracted(ZipResult result, const ZipItemInfo& item) {
  return result == ZIP_OK || (result == ZIP_INFLATE_ERROR && item.uncompressedSize == 0);
}

}  // namespace

bool ExtractPackage(const std::wstring& packagePath, const std::wstring& installDir, IExtractReport& report) {
  ZipReaderHandle* zip = ZipOpenFile(packagePath, nullptr);
  if (zip == nullptr) {
    DeletePackage(packagePath);
    report.OnExtractFailed(kStageOpen, 0, std::wstring(), true);
    return false;
  }

  // Reports one failure: closes (and for a bad package deletes) first, then the report.
  auto fail = [&](ExtractStage stage, ZipResult result, const std::wstring& item, bool deletePackage) {
    (void)ZipClose(zip);
    zip = nullptr;
    if (deletePackage) DeletePackage(packagePath);
    report.OnExtractFailed(stage, result, item, deletePackage);
    return false;
  };

  ZipItemInfo item;
  if (ZipSetBaseDir(zip, installDir) != ZIP_OK) return fail(kStageBaseDir, ZIP_OK, std::wstring(), false);
  ZipResult result = ZipGetItem(zip, -1, &item);
  if (result != ZIP_OK) return fail(kStageCount, result, std::wstring(), false);
  const std::int32_t count = item.index;
  for (std::int32_t i = 0; i < count; ++i) {
    if (report.ExtractCancelled()) return fail(kStageCancelled, ZIP_OK, std::wstring(), false);
    report.OnExtractProgress(i, count);
    result = ZipGetItem(zip, i, &item);
    if (result != ZIP_OK) return fail(kStageItemInfo, result, std::wstring(), PackageIsBad(result));
    result = ZipExtractItem(zip, i, item.name);
    if (!Extracted(result, item)) return fail(kStageExtract, result, item.name, PackageIsBad(result));
  }
  (void)ZipClose(zip);
  report.OnExtractFinished();
  return true;
}
