// Extracting the downloaded package into the install directory, reporting to the installer
// window by posted messages and to the user by message boxes.
#pragma once

#include <string>

#include "platform/shell.h"

namespace unzip {

// The window messages the driver posts. The installer window knows them by the same numbers.
enum ExtractMessage : unsigned {
  WM_EXTRACT_FAILED = 11110,    // wParam: the failure stage, 1 .. 5
  WM_EXTRACT_PROGRESS = 11111,  // wParam: index of the item about to be extracted, lParam: count
  WM_EXTRACT_FINISHED = 11112,  // every item extracted
};

// Where a failed extraction stopped (wParam of WM_EXTRACT_FAILED).
enum ExtractStage : unsigned {
  kStageOpen = 1,       // the package cannot be opened as a zip
  kStageBaseDir = 2,    // the install directory cannot be used
  kStageCount = 3,      // the item count cannot be read
  kStageItemInfo = 4,   // an item cannot be described
  kStageExtract = 5,    // an item cannot be extracted
};

}  // namespace unzip

// Extracts every item of the package below installDir, in index order, on the calling thread.
// Posts WM_EXTRACT_PROGRESS before each item and WM_EXTRACT_FINISHED at the end; on the first
// failure shows one message box owned by window (modal on this thread), then posts
// WM_EXTRACT_FAILED and stops. The package is closed before WM_EXTRACT_FINISHED is posted. When
// the package itself is bad (not a zip, corrupt or unreadable data) it is deleted before the
// failure is reported, so that the next run downloads it again. Always returns true.
bool ExtractPackage(const std::wstring& packagePath, const std::wstring& installDir, platform::WindowHandle window);
