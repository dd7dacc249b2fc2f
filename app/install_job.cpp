#include "app/install_job.h"

#include <windows.h>

#include <vector>

#include "download/download_callback.h"
#include "download/download_result.h"
#include "download/http_get.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/log.h"
#include "platform/text.h"
#include "system/registration.h"
#include "system/suite.h"
#include "system/suite_stop.h"
#include "platform/file_io.h"
#include "platform/hash.h"
#include "platform/signature.h"

namespace {

static_assert(kMaxInstallDirLength + (sizeof(suite::kUninstaller) / sizeof(wchar_t) - 1) <= MAX_PATH - 1,
              "every program path below an accepted directory fits MAX_PATH");

constexpr std::uint32_t kProgressIntervalMs = 500;

std::string Utf8(const std::wstring& text) { return platform::ToUtf8(text); }

using CheckSpaceFunction = std::optional<InstallResult> (*)(const std::wstring& path, std::uint64_t needed);

// Turns the engine's progress into whole percents for the events, at most twice a second, and
// answers the engine's question whether to go on: a cancelled job stops it and keeps the parts.
class JobDownloadProgress final : public IDownloadCallBack {
 public:
  JobDownloadProgress(const CInstallJob& job, IInstallEvents& events, CheckSpaceFunction checkSpace)
      : job_(job), events_(events), checkSpace_(checkSpace) {}

  int OnProgress(std::uint32_t total, int percent, std::uint32_t, int) override {
    if (job_.Cancelled()) return 1;
    // Called under the engine's progress lock, one worker at a time: no lock of our own.
    const std::uint32_t now = platform::TickCount();
    if (lastReport_ != 0 && now - lastReport_ <= kProgressIntervalMs) return 0;
    lastReport_ = now;
    if (total != 0 && percent != lastPercent_) {
      lastPercent_ = percent;
      events_.OnDownloadProgress(percent);
    }
    return 0;
  }
  void OnSavePath(const std::wstring& target, int) override {
    target_ = target;
    platform::Log("download to %s", Utf8(target).c_str());
  }
  void OnServerAddress(const std::wstring&, int) override {}
  // The exact bytes and whether the engine is waiting out an outage, for speed, time left and
  // the retry notice.
  void OnStatus(const DownloadStatus& status) override {
    events_.OnDownloadStatus(status.downloaded, status.total, status.stalled);
  }
  bool OnSizeKnown(std::uint64_t total, int) override {
    platform::Log("package size %llu bytes", static_cast<unsigned long long>(total));
    if (target_.empty() || platform::PathExists(target_)) return true;  // nothing more to write
    // The parts take the package's size, and joining writes it once more beside them; what the
    // parts hold already is written.
    std::uint64_t needed = 2 * total;
    for (const wchar_t* suffix : {L"_0", L"_1", L"_2", L"_3", L"_tmp"}) {
      const std::int64_t part = platform::FileSize(target_ + suffix);
      if (part > 0) needed -= std::min<std::uint64_t>(needed, static_cast<std::uint64_t>(part));
    }
    space = checkSpace_(target_, needed);
    return !space;
  }

  std::optional<InstallResult> space;  // kDiskFull when OnSizeKnown refused

 private:
  const CInstallJob& job_;
  IInstallEvents& events_;
  CheckSpaceFunction checkSpace_;
  std::wstring target_;
  std::uint32_t lastReport_ = 0;
  int lastPercent_ = 0;
};

// Passes the extraction's progress on and asks the job whether to go on; keeps the outcome.
class JobExtractReport final : public unzip::IExtractReport {
 public:
  JobExtractReport(const CInstallJob& job, IInstallEvents& events) : job_(job), events_(events) {}

  // Only when the whole percent changes: a flood of posts would queue ahead of the user's input.
  void OnExtractProgress(std::int32_t index, std::int32_t count) override {
    const int percent = count > 0 ? static_cast<int>(static_cast<std::int64_t>(index) * 100 / count) : 0;
    if (index != 0 && percent == lastPercent_) return;
    lastPercent_ = percent;
    events_.OnExtractProgress(index, count);
  }
  bool ExtractCancelled() override { return job_.Cancelled(); }
  void OnExtractFinished() override { failure.reset(); }
  void OnExtractFailed(unzip::ExtractStage stage, std::int32_t zipResult, const std::wstring& item,
                       bool bad) override {
    packageBad = bad;
    InstallResult result;
    result.outcome = stage == unzip::kStageCancelled ? InstallOutcome::kCancelled : InstallOutcome::kExtractFailed;
    result.extractStage = stage;
    result.zipResult = zipResult;
    failure = result;
    platform::Log("extraction failed at stage %u, result %d, item \"%s\"", static_cast<unsigned>(stage),
                  static_cast<int>(zipResult), Utf8(item).c_str());
  }

  // Until the extraction reports its end, it has not finished.
  std::optional<InstallResult> failure = InstallResult{};
  bool packageBad = false;

 private:
  const CInstallJob& job_;
  IInstallEvents& events_;
  int lastPercent_ = -1;
};

InstallResult Ending(InstallOutcome outcome) {
  InstallResult result;
  result.outcome = outcome;
  return result;
}

// Where the vendor publishes the package's detached signature: the final address's path with
// ".sig" appended, the query left off.
std::wstring SignatureUrl(const std::wstring& finalUrl) { return finalUrl.substr(0, finalUrl.find_first_of(L"?#")) + L".sig"; }

// MD5 and SHA-256 of the whole held file from one read of it; false when it cannot be read.
bool DigestPackage(platform::SharedReadFile& package, std::wstring& md5Hex, std::vector<std::uint8_t>& sha256) {
  platform::Digest md5(platform::DigestKind::kMd5), sha(platform::DigestKind::kSha256);
  std::vector<unsigned char> block(1 << 20);
  if (package.Seek(0, platform::SeekOrigin::kBegin) != 0) return false;
  for (;;) {
    const std::int64_t n = package.Read(block.data(), block.size());
    if (n < 0) return false;
    if (n == 0) break;
    md5.Update(block.data(), static_cast<std::size_t>(n));
    sha.Update(block.data(), static_cast<std::size_t>(n));
  }
  md5Hex = platform::HexUpper(md5.Finish());
  sha256 = sha.Finish();
  return !md5Hex.empty() && sha256.size() == 32;
}

const char* OutcomeName(InstallOutcome outcome) {
  switch (outcome) {
    case InstallOutcome::kInstalled: return "installed";
    case InstallOutcome::kCancelled: return "cancelled";
    case InstallOutcome::kDirectoryUnusable: return "install directory unusable";
    case InstallOutcome::kDiskFull: return "not enough disk space";
    case InstallOutcome::kDownloadFailed: return "download failed";
    case InstallOutcome::kPackageRejected: return "package rejected";
    case InstallOutcome::kExtractFailed: return "extraction failed";
  }
  return "?";
}

}  // namespace

CInstallJob::CInstallJob(InstallOptions options, IInstallEvents& events)
    : options_(std::move(options)), events_(events) {}

CInstallJob::~CInstallJob() {
  Cancel();
  Join();
}

bool CInstallJob::Start() noexcept {
  try {
    thread_ = std::thread([this] { (void)Run(); });
    return true;
  } catch (...) {
    return false;
  }
}

void CInstallJob::Join() noexcept {
  if (thread_.joinable()) thread_.join();
}

std::wstring CInstallJob::PackagePath() {
  // The package path must fit MAX_PATH; a longer temporary directory is reported like a failed
  // download rather than cut into another path.
  wchar_t tempDir[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, tempDir);
  const std::size_t nameLength = sizeof(suite::kPackageName) / sizeof(wchar_t) - 1;
  if (length == 0 || length + nameLength > MAX_PATH - 1) return {};
  return std::wstring(tempDir) + suite::kPackageName;
}

bool UsableInstallDirectory(const std::wstring& directory) {
  return platform::PathRootLength(directory) > 0 && directory.size() <= kMaxInstallDirLength &&
         (platform::CreateDirectoryLevel(directory) || platform::IsDirectory(directory));
}

bool FreeSpaceAt(const std::wstring& path, std::wstring& drive, std::uint64_t& freeBytes) {
  wchar_t volume[MAX_PATH] = {};
  if (!GetVolumePathNameW(path.c_str(), volume, MAX_PATH)) return false;
  drive = volume;
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(volume, &available, nullptr, nullptr)) return false;
  freeBytes = available.QuadPart;
  return true;
}

std::optional<InstallResult> CInstallJob::CheckSpace(const std::wstring& path, std::uint64_t needed) {
  InstallResult result = Ending(InstallOutcome::kDiskFull);
  std::uint64_t freeBytes = 0;
  // A volume that cannot tell its free space is tried anyway; a write that fails then says so.
  if (!FreeSpaceAt(path, result.drive, freeBytes)) return std::nullopt;
  platform::Log("%llu bytes needed on %s, %llu free", static_cast<unsigned long long>(needed),
                Utf8(result.drive).c_str(), static_cast<unsigned long long>(freeBytes));
  if (freeBytes >= needed) return std::nullopt;
  result.bytesNeeded = needed;
  result.bytesFree = freeBytes;
  return result;
}

InstallResult CInstallJob::Run() noexcept {
  InstallResult result = Ending(InstallOutcome::kInstalled);
  const std::uint32_t start = platform::TickCount();
  try {
    platform::Log("install into %s (desktop shortcut %d, start menu %d, start at logon %d)",
                  Utf8(options_.directory).c_str(), options_.desktopShortcut, options_.startMenuShortcut,
                  options_.startAtLogon);
    if (!UsableInstallDirectory(options_.directory)) {
      platform::Log("install directory %s cannot be made", Utf8(options_.directory).c_str());
      result.outcome = InstallOutcome::kDirectoryUnusable;
    } else {
      // A service that is absent or will not stop is no reason to wait longer.
      const bool stopped = StopSuiteService(suite::kServiceName);
      // Only the suite's own programs: those below its folder here or where the last installation put it.
      std::vector<std::wstring> folders{options_.directory + suite::kFolderName + L"\\"};
      const std::wstring previous = RegisteredInstallDirectory();
      if (!previous.empty()) folders.push_back(previous + suite::kFolderName + L"\\");
      const int ended = KillSuiteProcesses(
          std::vector<std::wstring>(std::begin(suite::kProcessNames), std::end(suite::kProcessNames)), folders);
      platform::Log("suite service %s; %d suite processes ended", stopped ? "stopped" : "not running or not stopped",
                    ended);

      const std::wstring package = PackagePath();
      if (Failure failed = Install(package)) {
        result = *failed;
      } else {
        Register();
        // When the package cannot be deleted the next run finds and checks it again.
        if (!platform::RemoveFile(package)) platform::Log("the package could not be deleted");
      }
    }
  } catch (...) {
    // Out of memory somewhere below: reported as a failed download, the window stays usable.
    result = Ending(InstallOutcome::kDownloadFailed);
    result.downloadResult = DL_NO_MEMORY;
  }
  platform::Log("installation ended: %s after %.1f s", OutcomeName(result.outcome),
                static_cast<double>(platform::TickCount() - start) / 1000.0);
  {
    std::lock_guard<std::mutex> hold(resultMutex_);
    result_ = result;
  }
  events_.OnInstallEnded(result);
  return result;
}

InstallResult CInstallJob::Result() const {
  std::lock_guard<std::mutex> hold(resultMutex_);
  return result_;
}

std::optional<InstallResult> CInstallJob::Download(const std::wstring& package, DownloadOutcome& where,
                                                   bool& wasPresent) {
  InstallResult result = Ending(InstallOutcome::kDownloadFailed);
  if (package.empty()) {
    result.downloadResult = DL_BAD_ARGUMENT;
    return result;
  }
  JobDownloadProgress progress(*this, events_, &CInstallJob::CheckSpace);
  DownloadRequest request;
  request.url = suite::kPackageUrl;
  request.saveLocation = package.substr(0, package.size() - (sizeof(suite::kPackageName) / sizeof(wchar_t) - 1));
  request.callback = &progress;
  request.timing.retryBudgetMs = options_.retryBudgetMs;
  request.handOver = true;  // the package's digests and its open file, for the checks and the extraction
  result.downloadResult = DownloadWithOutcome(request, where);
  platform::Log("download result %d (%s)", result.downloadResult, DownloadResultName(result.downloadResult));
  wasPresent = result.downloadResult == DL_ALREADY_PRESENT;
  if (result.downloadResult == DL_OK || wasPresent) return std::nullopt;
  if (progress.space) return progress.space;
  if (Cancelled())
    result.outcome = InstallOutcome::kCancelled;
  else if (result.downloadResult == DL_CHECKSUM_MISMATCH)
    result.outcome = InstallOutcome::kPackageRejected;  // the engine has deleted what it fetched
  return result;
}

std::optional<InstallResult> CInstallJob::Verify(platform::SharedReadFile& package, const DownloadOutcome& where) {
  InstallResult result = Ending(InstallOutcome::kPackageRejected);
  const std::wstring& finalUrl = where.finalUrl;
  // A fresh package was hashed as it was written, through the handle held since; a package that
  // was present is read once here.
  std::wstring md5 = where.md5;
  std::vector<std::uint8_t> sha256 = where.sha256;
  if (sha256.size() != 32 && !DigestPackage(package, md5, sha256)) {
    platform::Log("package rejected: it cannot be read");
    return result;
  }
  const std::wstring expectedMd5 = Md5OfUrl(finalUrl);
  if (!expectedMd5.empty() && !platform::EqualsIgnoringCase(md5, expectedMd5)) {
    platform::Log("package rejected: md5 %s, the address names %s", Utf8(md5).c_str(), Utf8(expectedMd5).c_str());
    return result;
  }
  std::string signature;
  const std::wstring signatureUrl = SignatureUrl(finalUrl);
  DownloadTiming timing;
  timing.retryBudgetMs = options_.retryBudgetMs;
  const DownloadResult fetched = FetchSmallFile(signatureUrl, platform::kMaxSignatureBytes, signature, nullptr, timing);
  if (fetched != DL_OK) {
    platform::Log("signature %s not fetched: result %d (%s)", Utf8(signatureUrl).c_str(), fetched,
                  DownloadResultName(fetched));
    // No answer at all is a failed download (the package stays and is checked again next time);
    // a server that answers without a usable signature has no signed package to offer.
    if (fetched != DL_HTTP_DENIED && fetched != DL_TOO_LARGE) {
      result.outcome = Cancelled() ? InstallOutcome::kCancelled : InstallOutcome::kDownloadFailed;
      result.downloadResult = fetched;
    }
    return result;
  }
  const std::vector<std::uint8_t> der(signature.begin(), signature.end());
  if (!platform::VerifyP256Signature(platform::VendorPublicKey(), sha256, der)) {
    platform::Log("package rejected: the signature does not verify with the vendor's key");
    return result;
  }
  platform::Log("package verified: md5 %s, vendor signature good", md5.empty() ? "not named" : Utf8(md5).c_str());
  return std::nullopt;
}

std::optional<InstallResult> CInstallJob::Extract(platform::SharedReadFile& package, bool& packageBad) {
  // Room for every item first, so that a full disk leaves nothing half-written. A package that
  // cannot be read here fails in the extraction with its own message.
  const std::int64_t total = PackageUncompressedSize(package);
  if (total >= 0) {
    if (Failure full = CheckSpace(options_.directory, static_cast<std::uint64_t>(total))) return full;
  }
  events_.OnExtractStart();
  JobExtractReport report(*this, events_);
  (void)ExtractPackage(package, options_.directory, report);  // the report has the outcome
  packageBad = report.packageBad;
  return report.failure;
}

std::optional<InstallResult> CInstallJob::Install(const std::wstring& package) {
  // A package found in the temporary directory is checked like a fresh one; when it fails, it is
  // deleted and downloaded afresh once.
  for (int round = 0;; ++round) {
    DownloadOutcome where;
    bool wasPresent = false;
    if (Failure failed = Download(package, where, wasPresent)) return failed;

    // One handle, which nobody else may change, rename or delete, from the first byte hashed to
    // the end of the extraction: a fresh package's comes from the download, which held it since
    // its bytes were written and hashed.
    platform::SharedReadFile file = std::move(where.file);
    if (!file.IsOpen()) {
      where.sha256.clear();  // digests count only with the handle they were taken through
      where.md5.clear();
    }
    if (!file.IsOpen() && !file.Open(package)) {
      platform::Log("the package cannot be opened");
      return Ending(InstallOutcome::kPackageRejected);
    }
    Failure failed = Verify(file, where);
    bool packageBad = failed && failed->outcome == InstallOutcome::kPackageRejected;
    if (!failed) failed = Extract(file, packageBad);
    file.Close();
    if (packageBad) {
      // Deleted, so that the next run fetches it again. When that fails, the next run checks it anew.
      if (!platform::RemoveFile(package)) platform::Log("the rejected package could not be deleted");
      if (round == 0 && wasPresent && failed && failed->outcome == InstallOutcome::kPackageRejected) {
        platform::Log("the package in the temporary directory was rejected: downloading it afresh");
        continue;
      }
    }
    return failed;
  }
}

void CInstallJob::Register() const {
  RegistrationChoice choice;
  choice.desktopShortcut = options_.desktopShortcut;
  choice.startMenuShortcut = options_.startMenuShortcut;
  choice.startAtLogon = options_.startAtLogon;
  const RegistrationReport report = RegisterProduct(options_.directory, choice);
  platform::Log("registered %s%s", Utf8(options_.directory + suite::kProgram).c_str(),
                report.Complete() ? "" : " (some pieces failed)");
}
