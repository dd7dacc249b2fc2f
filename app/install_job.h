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
#include <mutex>
#include <optional>
#include <thread>

#include "download/http_get.h"
#include "platform/file_io.h"
#include "unzip/extract_package.h"

// The longest install directory, its final "\\" included, that every path built on it fits: the
// directory is checked in a buffer of 200 units with the terminator, and the longest name put
// below it (the uninstaller, 29 units) still fits MAX_PATH. Longer input is refused rather than
// cut into another path.
constexpr std::size_t kMaxInstallDirLength = 199;

// True when `directory` (ending with "\\") is absolute and short enough, and exists or its last
// level could be made; missing parents are not made, so a typing slip is refused.
bool UsableInstallDirectory(const std::wstring& directory);

// What the user chose, copied into the job.
struct InstallOptions {
  std::wstring directory;  // the install directory, ending with "\\"
  bool desktopShortcut = true;
  bool startMenuShortcut = true;
  bool startAtLogon = true;
  // How long a download keeps trying while nothing arrives before it fails.
  std::uint32_t retryBudgetMs = 120000;
};

enum class InstallOutcome {
  kInstalled,
  kCancelled,           // Cancel() was called; the download's part files are kept for the next run
  kDirectoryUnusable,   // the install directory cannot be made
  kDiskFull,            // drive, bytesNeeded and bytesFree tell where and how much
  kDownloadFailed,      // downloadResult tells why
  kPackageRejected,     // the package failed its checksum or signature and was deleted
  kExtractFailed,       // extractStage and zipResult tell where and why
};

struct InstallResult {
  InstallOutcome outcome = InstallOutcome::kCancelled;
  DownloadResult downloadResult{};  // the engine's result, 0 (no code) before the download ran
  unzip::ExtractStage extractStage = unzip::kStageOpen;
  std::int32_t zipResult = 0;
  std::wstring drive;            // kDiskFull: the volume, e.g. "C:\\"
  std::uint64_t bytesNeeded = 0;  // kDiskFull
  std::uint64_t bytesFree = 0;    // kDiskFull
};

// Free bytes on the volume that holds `path`, and that volume's root in `drive`; false when the
// system cannot tell.
bool FreeSpaceAt(const std::wstring& path, std::wstring& drive, std::uint64_t& freeBytes);

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
  // Before the first item and before each item that changes the whole percent: its index and the
  // item count.
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
  // The outcome once the job has ended (kCancelled before); readable from any thread after
  // OnInstallEnded was called.
  InstallResult Result() const;

  // The package's place in the temporary directory; empty when that path would not fit MAX_PATH.
  static std::wstring PackagePath();

 private:
  // Each step answers nothing when it went fine, or the result that ends the installation.
  using Failure = std::optional<InstallResult>;

  // Download, verification and extraction of the package at `package`.
  [[nodiscard]] Failure Install(const std::wstring& package);
  // Fetches the package (or finds it present, then `wasPresent` is set): `where` gives the
  // address it ended at after redirects and, for a fresh package, its open file and digests.
  [[nodiscard]] Failure Download(const std::wstring& package, DownloadOutcome& where, bool& wasPresent);
  // Fails with kPackageRejected unless the held package matches the md5 its final address names
  // and the vendor's signature published beside it (kDownloadFailed when the signature could not
  // be fetched at all). The digests in `where` are used when there are any; the package is read
  // for them otherwise.
  [[nodiscard]] Failure Verify(platform::SharedReadFile& package, const DownloadOutcome& where);
  // Extracts the held package; packageBad is set when its own bytes are bad.
  [[nodiscard]] Failure Extract(platform::SharedReadFile& package, bool& packageBad);
  // Fails with kDiskFull unless the volume of `path` has `needed` bytes free.
  [[nodiscard]] static Failure CheckSpace(const std::wstring& path, std::uint64_t needed);
  void Register() const;

  const InstallOptions options_;
  IInstallEvents& events_;
  std::atomic<bool> cancelled_{false};
  mutable std::mutex resultMutex_;
  InstallResult result_;
  std::thread thread_;
};
