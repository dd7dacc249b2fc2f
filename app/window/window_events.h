// The install job's reports as messages to the installer window (app/ids.h), posted from the
// job's thread. Byte counts do not fit a message: the latest wait here, and WM_DOWNLOAD_STATUS
// tells the window to take them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <mutex>

#include "app/install_job.h"

class WindowInstallEvents final : public IInstallEvents {
 public:
  struct DownloadStatus {
    std::uint64_t downloaded = 0;
    std::uint64_t total = 0;
    bool stalled = false;
  };

  explicit WindowInstallEvents(HWND window) : window_(window) {}
  void OnDownloadProgress(int percent) override;
  void OnDownloadStatus(std::uint64_t downloaded, std::uint64_t total, bool stalled) override;
  void OnExtractStart() override;
  void OnExtractProgress(std::int32_t index, std::int32_t count) override;
  void OnInstallEnded(const InstallResult& result) override;

  // The latest status; false when none came since the last call. Any thread.
  [[nodiscard]] bool TakeStatus(DownloadStatus& status);

 private:
  HWND window_;
  std::mutex lock_;
  DownloadStatus status_;
  bool pending_ = false;
};
