// Extracting the downloaded package into the install directory. The driver knows no window: it
// tells whoever runs the installation what happens through IExtractReport, and that side shows
// the user the matching text.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_io.h"

namespace unzip {

// Where a failed extraction stopped.
enum ExtractStage : unsigned {
  kStageOpen = 1,       // the package cannot be opened as a zip
  kStageBaseDir = 2,    // the install directory cannot be used
  kStageCount = 3,      // the item count cannot be read
  kStageItemInfo = 4,   // an item cannot be described
  kStageExtract = 5,    // an item cannot be extracted
  kStageCancelled = 6,  // the report asked to stop
};

// What the driver reports, on the thread that runs it.
class IExtractReport {
 public:
  // Before each item: the index of the item about to be extracted and the number of items.
  virtual void OnExtractProgress(std::int32_t index, std::int32_t count) = 0;
  // Asked before each item; true ends the extraction at once (reported as kStageCancelled).
  virtual bool ExtractCancelled() = 0;
  // Once, as the last report: every item extracted. The package is closed already.
  virtual void OnExtractFinished() = 0;
  // Once, as the last report, at the first failure (the first failing item in archive order):
  // its stage, the zip result of the failing step (0 for kStageOpen, kStageBaseDir and
  // kStageCancelled), the failing item's name (empty when none) and packageBad: the package's own
  // bytes are bad (not a zip, damaged data), so it must be downloaded again; the path-taking
  // ExtractPackage has deleted it already, the caller of the other one deletes it after closing it.
  virtual void OnExtractFailed(ExtractStage stage, std::int32_t result, const std::wstring& item,
                               bool packageBad) = 0;

 protected:
  ~IExtractReport() = default;
};

// Threads that write the extracted files while the calling thread reads and inflates (0: the
// calling thread writes them too).
constexpr unsigned kDefaultWriterThreads = 3;

}  // namespace unzip

// Extracts every item of the package below installDir, in index order, reporting to `report` on
// the calling thread, which reads and inflates the items while `writerThreads` threads write the
// files (files of the same name in archive order; the rerun of an interrupted extraction writes
// every file anew). When the package itself is bad (not a zip, corrupt or unreadable data) it is
// deleted before the failure is reported, so that the next run downloads it again.
// True when every item was extracted. Logs the item count and size, the first failing item, and
// the counts and time at the end.
bool ExtractPackage(const std::wstring& packagePath, const std::wstring& installDir, unzip::IExtractReport& report,
                    unsigned writerThreads = unzip::kDefaultWriterThreads);

// The same for a package the caller holds open (hashed and verified through the same handle), read
// from its start. A bad package is not deleted here (it cannot be while open): the report says
// packageBad, and the caller deletes it after closing it.
bool ExtractPackage(platform::SharedReadFile& package, const std::wstring& installDir, unzip::IExtractReport& report,
                    unsigned writerThreads = unzip::kDefaultWriterThreads);

// The total uncompressed size of the package's items as its central directory declares them
// (for a free-space check before extracting), read from the start of the open package; -1 when
// it is not a zip archive.
std::int64_t PackageUncompressedSize(platform::SharedReadFile& package);
