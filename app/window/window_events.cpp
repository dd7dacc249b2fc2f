#include "app/window/window_events.h"

#include "app/ids.h"

// A window that is gone has nobody left to tell: failed posts are not reported.
void WindowInstallEvents::OnDownloadProgress(int percent) {
  PostMessageW(window_, WM_DOWNLOAD_PROGRESS, static_cast<WPARAM>(percent), 0);
}

void WindowInstallEvents::OnDownloadStatus(std::uint64_t downloaded, std::uint64_t total, bool stalled) {
  bool post = false;
  {
    std::lock_guard<std::mutex> hold(lock_);
    status_ = {downloaded, total, stalled};
    post = !pending_;
    pending_ = true;
  }
  // One message stands for any number of reports: the window takes the latest.
  if (post) PostMessageW(window_, WM_DOWNLOAD_STATUS, 0, 0);
}

bool WindowInstallEvents::TakeStatus(DownloadStatus& status) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!pending_) return false;
  status = status_;
  pending_ = false;
  return true;
}

void WindowInstallEvents::OnExtractStart() { PostMessageW(window_, WM_EXTRACT_START, 0, 0); }

void WindowInstallEvents::OnExtractProgress(std::int32_t index, std::int32_t count) {
  PostMessageW(window_, WM_EXTRACT_PROGRESS, static_cast<WPARAM>(index), count);
}

void WindowInstallEvents::OnInstallEnded(const InstallResult& result) {
  switch (result.outcome) {
    case InstallOutcome::kInstalled: PostMessageW(window_, WM_EXTRACT_FINISHED, 0, 0); break;
    case InstallOutcome::kDownloadFailed:
    case InstallOutcome::kPackageRejected: PostMessageW(window_, WM_NETWORK_FAILED, 7, 0); break;
    case InstallOutcome::kDiskFull:
    case InstallOutcome::kDirectoryUnusable: PostMessageW(window_, WM_INSTALL_STOPPED, 0, 0); break;
    case InstallOutcome::kExtractFailed:
      PostMessageW(window_, WM_EXTRACT_FAILED, result.extractStage, static_cast<LPARAM>(result.zipResult));
      break;
    case InstallOutcome::kCancelled: break;  // the window is closing already
  }
}
