// The boxes that tell the user why an installation did not install, with their texts. Each shows
// a modal box owned by the installer window (through app/prompt.h, which tests and the silent run
// replace); what the window does afterwards is the caller's.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/install_job.h"

// The directory typed or chosen cannot be used; the window stays on the setup view.
void ReportUnusableDirectory();
// The download failed or the package was rejected: offers the complete offline installer. True
// when the user accepted it (its address is then opened).
[[nodiscard]] bool OfferOfflineInstaller(HWND owner);
// The extraction stopped at `stage` with the zip reader's `result`: the stage's own text, then
// what the user can do about it.
void ReportExtractFailure(HWND owner, unzip::ExtractStage stage, std::int32_t result);
// The job ended for a reason of its own before downloading: no room, or an unusable directory.
void ReportInstallStopped(HWND owner, const InstallResult& result);

// The message that names the drive and the space a full disk lacks.
[[nodiscard]] std::wstring DiskFullText(const InstallResult& result);
