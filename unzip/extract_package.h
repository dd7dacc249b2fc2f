// Extracting the downloaded package into the install directory. The driver knows no window: it
// tells whoever runs the installation what happens through IExtractReport, and that side shows
// the user the matching text.
#pragma once

#include <cstdint>
#include <string>

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
  // Once, as the last report, at the first failure: its stage, the zip result of the failing
  // step (0 for kStageOpen, kStageBaseDir and kStageCancelled), the failing item's name (empty
  // when none) and whether the package was deleted because its own bytes are bad.
  virtual void OnExtractFailed(ExtractStage stage, std::int32_t result, const std::wstring& item,
                               bool packageDeleted) = 0;

 protected:
  ~IExtractReport() = default;
};

}  // namespace unzip

// Extracts every item of the package below installDir, in index order, on the calling thread,
// reporting to `report`. When the package itself is bad (not a zip, corrupt or unreadable data)
// it is deleted before the failure is reported, so that the next run downloads it again.
// True when every item was extracted.
bool ExtractPackage(const std::wstring& packagePath, const std::wstring& installDir, unzip::IExtractReport& report);
