#include "unzip/extract_package.h"

#include <set>

#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/log.h"
#include "platform/text.h"
#include "unzip/file_writers.h"
#include "unzip/zip_reader.h"

using namespace unzip;

namespace {

// Results that mean the package's own bytes are bad, so a fresh download may cure them; failures
// to write the output keep the package.
bool PackageIsBad(ZipResult result) {
  return result == ZIP_CORRUPT || result == ZIP_READ_ERROR || result == ZIP_INFLATE_ERROR;
}

// An extracted empty file comes back as ZIP_INFLATE_ERROR with nothing to read.
bool Extracted(ZipResult result, const ZipItemInfo& item) {
  return result == ZIP_OK || (result == ZIP_INFLATE_ERROR && item.uncompressedSize == 0);
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
  while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

struct Failure {
  ExtractStage stage = ExtractStage(0);  // 0: none
  ZipResult result = ZIP_OK;
  std::int32_t index = -1;
  std::wstring item;
};

struct Counts {
  int files = 0;
  int directories = 0;
  std::int64_t bytes = 0;
};

// Reads the items in order on this thread and hands every ordinary file to the writers; the rest
// (large or damaged items, names too long for a path) is extracted here once the files before it
// are written. Directories are made here, once each, when no file being written stands in the way.
Failure ExtractItems(CZipReader& zip, IExtractReport& report, unsigned writerThreads, Counts& counts) {
  CFileWriters writers(writerThreads);
  std::set<std::wstring> madeDirectories;
  auto makeDirectory = [&](const std::wstring& directory) {
    if (directory.empty() || madeDirectories.count(directory) != 0) return;
    writers.WaitForDirectory(directory);
    // Ignored on failure: a file in it then cannot be created, and that is reported.
    if (platform::CreateDirectoryChain(directory)) madeDirectories.insert(directory);
  };

  const std::int32_t count = zip.Count();
  ZipItemInfo item;
  Failure failure;
  for (std::int32_t i = 0; i < count; ++i) {
    if (report.ExtractCancelled()) {
      writers.Abandon();
      return Failure{kStageCancelled, ZIP_OK, i, std::wstring()};
    }
    report.OnExtractProgress(i, count);
    if (writers.Failure().index >= 0) break;
    ZipResult result = zip.GetItem(i, item);
    if (result != ZIP_OK) {
      failure = Failure{kStageItemInfo, result, i, std::wstring()};
      break;
    }

    std::wstring path, directory;
    const bool pathOk = zip.OutputPath(item.name, path, directory) == ZIP_OK;
    if (pathOk && (item.attributes & platform::kFileDirectory)) {
      makeDirectory(WithoutTrailingSeparators(path));
      ++counts.directories;
      continue;
    }
    ZipItemBytes bytes;
    if (pathOk && zip.ReadWholeItem(i, bytes)) {
      makeDirectory(directory);
      ++counts.files;
      counts.bytes += item.uncompressedSize;
      writers.Submit(FileJob{std::move(path), item, std::move(bytes)});
      continue;
    }
    writers.Finish();
    if (writers.Failure().index >= 0) break;
    result = zip.ExtractItem(i, item.name);
    if (!Extracted(result, item)) {
      failure = Failure{kStageExtract, result, i, item.name};
      break;
    }
    ++counts.files;
    counts.bytes += item.uncompressedSize;
  }
  writers.Finish();
  const WriteFailure written = writers.Failure();
  if (written.index >= 0 && (failure.stage == 0 || written.index < failure.index))
    failure = Failure{kStageExtract, written.result, written.index, written.name};
  return failure;
}

// Extracts from an open reader; deletePackage (when not null) deletes a bad package after the
// reader is closed.
bool ExtractOpened(CZipReader& zip, const std::wstring& installDir, IExtractReport& report, unsigned writerThreads,
                   const std::wstring* deletePackage) {
  auto fail = [&](const Failure& failure) {
    zip.Close();
    const bool bad = PackageIsBad(failure.result);
    // Ignored on failure: the next run then finds the same package and fails the same way.
    if (bad && deletePackage != nullptr) (void)platform::RemoveFile(*deletePackage);
    report.OnExtractFailed(failure.stage, failure.result, failure.item, bad);
    return false;
  };

  if (zip.SetBaseDir(installDir) != ZIP_OK) {
    platform::Log("extract: the install directory \"%s\" cannot be used", platform::ToUtf8(installDir).c_str());
    return fail(Failure{kStageBaseDir, ZIP_OK, -1, std::wstring()});
  }
  ZipItemInfo total;
  if (ZipResult result = zip.GetItem(-1, total); result != ZIP_OK) return fail(Failure{kStageCount, result, -1, {}});
  platform::Log("extract: %d items, %lld bytes, into \"%s\" with %u writer threads", zip.Count(),
                static_cast<long long>(zip.UncompressedTotal()), platform::ToUtf8(zip.BaseDir()).c_str(),
                writerThreads);

  const std::uint32_t start = platform::TickCount();
  Counts counts;
  const Failure failure = ExtractItems(zip, report, writerThreads, counts);
  const std::uint32_t elapsed = platform::TickCount() - start;
  if (failure.stage == kStageCancelled) {
    platform::Log("extract: cancelled before item %d after %u ms", failure.index, elapsed);
    return fail(failure);
  }
  if (failure.stage != 0) {
    platform::Log("extract: item %d \"%s\" failed at stage %u with result %d after %u ms", failure.index,
                  platform::ToUtf8(failure.item).c_str(), static_cast<unsigned>(failure.stage),
                  static_cast<int>(failure.result), elapsed);
    return fail(failure);
  }
  platform::Log("extract: %d files (%lld bytes) and %d directories in %u ms", counts.files,
                static_cast<long long>(counts.bytes), counts.directories, elapsed);
  zip.Close();
  report.OnExtractFinished();
  return true;
}

}  // namespace

bool ExtractPackage(const std::wstring& packagePath, const std::wstring& installDir, IExtractReport& report,
                    unsigned writerThreads) {
  CZipReader zip;
  if (!zip.Open(packagePath)) {
    platform::Log("extract: \"%s\" cannot be opened as a zip archive", platform::ToUtf8(packagePath).c_str());
    // Ignored on failure: the next run then finds the same package and fails the same way.
    (void)platform::RemoveFile(packagePath);
    report.OnExtractFailed(kStageOpen, 0, std::wstring(), true);
    return false;
  }
  return ExtractOpened(zip, installDir, report, writerThreads, &packagePath);
}

bool ExtractPackage(platform::SharedReadFile& package, const std::wstring& installDir, IExtractReport& report,
                    unsigned writerThreads) {
  CZipReader zip;
  if (!zip.Open(package)) {
    platform::Log("extract: the package cannot be opened as a zip archive");
    report.OnExtractFailed(kStageOpen, 0, std::wstring(), true);
    return false;
  }
  return ExtractOpened(zip, installDir, report, writerThreads, nullptr);
}

std::int64_t PackageUncompressedSize(platform::SharedReadFile& package) {
  CZipReader zip;
  return zip.Open(package) ? zip.UncompressedTotal() : -1;
}
