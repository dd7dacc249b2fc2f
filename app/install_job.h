// One installation, run on a thread of its own: stop what an earlier installation still runs,
// download the package into the temporary directory, extract it into the install directory,
// register the product and delete the package.
//
// The job owns copies of everything it needs (InstallOptions) and shares nothing with the window:
// it reports through IInstallEvents, whose window implementation only posts messages (a silent
// run's implementation records the outcome). Whoever owns the job owns its thread: destroying the
// job cancels it and joins the thread, so the job can never outlive the object that reports.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "unzip/extract_package.h"

// What the user chose, copied into the job.
struct InstallOptions {
  std::wstring directory;  // the install directory, ending with "\\"
  bool desktopShortcut = true;
  bool startMenuShortcut = true;
  bool startAtLogon = true;
};

enum class InstallOutcome {
  kInstalled,
  kCancelled,       // Cancel() was called; the download's part files are kept for the next run
  kDownloadFailed,  // downloadResult tells why
  kExtractFailed,   // extractStage and zipResult tell where and why
};

struct InstallResult {
  InstallOutcome outcome = InstallOutcome::kCancelled;
  int downloadResult = 0;  // the engine's DownloadResult, 0 before the download ran
  unzip::ExtractStage extractStage = unzip::kStageOpen;
  std::int32_t zipResult = 0;
};

// What the job reports, on the job's thread. Implementations must not block on the window.
class IInstallEvents {
 public:
  // Whole percent of the download, when it changed, at most twice a second.
  virtual void OnDownloadProgress(int percent) = 0;
  // Bytes in so far and the package's size (0: not known yet), at most twice a second while the
  // download runs; `stalled` when no bytes have arrived for a while and the download is retrying.
  // Reports that need no speed may ignore it.
  virtual void OnDownloadStatus(std::uint64_t downloaded, std::uint64_t total, bool stalled) {
    (void)downloaded, (void)total, (void)stalled;
  }
  virtual void OnExtractStart() = 0;
  // Before each item: its index and the item count.
  virtual void OnExtractProgress(std::int32_t index, std::int32_t count) = 0;
  // Once, as the last report.
  virtual void OnInstallEnded(const InstallResult& result) = 0;

 protected:
  ~IInstallEvents() = default;
};

class CInstallJob {
 public:
  CInstallJob(InstallOptions options, IInstallEvents& events);
  CInstallJob(const CInstallJob&) = delete;
  CInstallJob& operator=(const CInstallJob&) = delete;
  // Cancels and joins.
  ~CInstallJob();

  // Runs the installation on a new thread; false when the thread could not be started.
  [[nodiscard]] bool Start() noexcept;
  // Asks the job to stop at its next check (between download blocks, between extracted items).
  // Callable from any thread; returns at once.
  void Cancel() noexcept { cancelled_.store(true); }
  bool Cancelled() const noexcept { return cancelled_.load(); }
  // Waits until the thread has ended (at once when none runs).
  void Join() noexcept;

  // The whole installation on the calling thread; reports through the events as well.
  InstallResult Run() noexcept;

  // The package's place in the temporary directory; empty when that path would not fit MAX_PATH.
  static std::wstring PackagePath();

 private:
  InstallResult Download(const std::wstring& package);
  InstallResult Extract(const std::wstring& package);
  void Register() const;

  const InstallOptions options_;
  IInstallEvents& events_;
  std::atomic<bool> cancelled_{false};
  std::thread thread_;
};
