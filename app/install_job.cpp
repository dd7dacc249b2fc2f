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
#include "system/suite_stop.h"

namespace {

const wchar_t kPackageName[] = L"TavoPhoneAx.zip";
const wchar_t kPackageUrl[] = L"http://" VENDOR_SERVER L"/consezip/TavoPhoneAx.zip";
const wchar_t kSuiteProgram[] = L"TavoPhoneAx\\Tavo.exe";
const wchar_t kUninstaller[] = L"TavoPhoneAx\\TavoUnInstall.exe";
const wchar_t* const kSuiteProcesses[] = {L"QXLD_Helper.exe", L"Tavo.exe", L"httpd.exe", L"http.exe",
                                          L"ZADAV2ad.exe",    L"adb.exe",  L"aapt.exe"};

constexpr std::uint32_t kProgressIntervalMs = 500;

std::string Utf8(const std::wstring& text) { return platform::ToUtf8(text); }

// Turns the engine's progress into whole percents for the events, at most twice a second, and
// answers the engine's question whether to go on: a cancelled job stops it and keeps the parts.
class JobDownloadProgress final : public IDownloadCallBack {
 public:
  JobDownloadProgress(const CInstallJob& job, IInstallEvents& events) : job_(job), events_(events) {}

  int OnProgress(std::uint32_t total, int percent, std::uint32_t, int) override {
    if (job_.Cancelled()) return 1;
    // Called under the engine's progress lock, one worker at a time: no lock of our own.
    const std::uint32_t now = platform::TickCount();
    if (lastReport_ != 0 && now - lastReport_ <= kProgressIntervalMs) return 0;
    lastReport_ = now;
    events_.OnDownloadStatus(static_cast<std::uint64_t>(total) * static_cast<std::uint64_t>(percent) / 100, total,
                             false);
    if (percent != lastPercent_) {
      lastPercent_ = percent;
      events_.OnDownloadProgress(percent);
    }
    return 0;
  }
  void OnSavePath(const std::wstring& target, int) override { platform::Log("download to %s", Utf8(target).c_str()); }
  void OnServerAddress(const std::wstring&, int) override {}

 private:
  const CInstallJob& job_;
  IInstallEvents& events_;
  std::uint32_t lastReport_ = 0;
  int lastPercent_ = 0;
};

// Passes the extraction's progress on and asks the job whether to go on; keeps the outcome.
class JobExtractReport final : public unzip::IExtractReport {
 public:
  JobExtractReport(const CInstallJob& job, IInstallEvents& events) : job_(job), events_(events) {}

  void OnExtractProgress(std::int32_t index, std::int32_t count) override { events_.OnExtractProgress(index, count); }
  bool ExtractCancelled() override { return job_.Cancelled(); }
  void OnExtractFinished() override { result.outcome = InstallOutcome::kInstalled; }
  void OnExtractFailed(unzip::ExtractStage stage, std::int32_t zipResult, const std::wstring& item, bool) override {
    result.outcome = stage == unzip::kStageCancelled ? InstallOutcome::kCancelled : InstallOutcome::kExtractFailed;
    result.extractStage = stage;
    result.zipResult = zipResult;
    platform::Log("extraction failed at stage %u, result %d, item \"%s\"", static_cast<unsigned>(stage),
                  static_cast<int>(zipResult), Utf8(item).c_str());
  }

  InstallResult result;

 private:
  const CInstallJob& job_;
  IInstallEvents& events_;
};

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
  const std::size_t nameLength = sizeof(kPackageName) / sizeof(wchar_t) - 1;
  if (length == 0 || length + nameLength > MAX_PATH - 1) return {};
  return std::wstring(tempDir) + kPackageName;
}

InstallResult CInstallJob::Run() noexcept {
  InstallResult result;
  try {
    platform::Log("install into %s (desktop shortcut %d, start menu %d, start at logon %d)",
                  Utf8(options_.directory).c_str(), options_.desktopShortcut, options_.startMenuShortcut,
                  options_.startAtLogon);
    // The install command made the directory; it can have gone since. A directory that cannot be
    // made again shows up as the extraction's failure.
    if (!platform::CreateDirectoryLevel(options_.directory) && !platform::IsDirectory(options_.directory))
      platform::Log("install directory %s could not be created", Utf8(options_.directory).c_str());

    // A service that is absent or will not stop is no reason to wait longer.
    const bool stopped = StopSuiteService(kSuiteServiceName);
    KillSuiteProcesses(std::vector<std::wstring>(std::begin(kSuiteProcesses), std::end(kSuiteProcesses)));
    platform::Log("suite service %s, suite processes ended", stopped ? "stopped" : "not running or not stopped");

    const std::wstring package = PackagePath();
    result = Download(package);
    if (result.outcome == InstallOutcome::kInstalled) result = Extract(package);
    if (result.outcome == InstallOutcome::kInstalled) {
      Register();
      // When the package cannot be deleted the next run finds and checks it again.
      if (!platform::RemoveFile(package)) platform::Log("the package could not be deleted");
    }
  } catch (...) {
    // Out of memory somewhere below: reported as a failed download, the window stays usable.
    result = InstallResult{};
    result.outcome = InstallOutcome::kDownloadFailed;
    result.downloadResult = DL_NO_MEMORY;
  }
  platform::Log("installation ended: outcome %d", static_cast<int>(result.outcome));
  events_.OnInstallEnded(result);
  return result;
}

InstallResult CInstallJob::Download(const std::wstring& package) {
  InstallResult result;
  if (package.empty()) {
    result.outcome = InstallOutcome::kDownloadFailed;
    result.downloadResult = DL_BAD_ARGUMENT;
    return result;
  }
  const std::wstring directory = package.substr(0, package.size() - (sizeof(kPackageName) / sizeof(wchar_t) - 1));
  JobDownloadProgress progress(*this, events_);
  result.downloadResult = DownloadFile(kPackageUrl, directory.c_str(), &progress, 0, 1, 0, 0);
  platform::Log("download result %d (%s)", result.downloadResult, DownloadResultName(result.downloadResult));
  if (result.downloadResult == DL_OK || result.downloadResult == DL_ALREADY_PRESENT)
    result.outcome = InstallOutcome::kInstalled;
  else if (Cancelled())
    result.outcome = InstallOutcome::kCancelled;
  else
    result.outcome = InstallOutcome::kDownloadFailed;
  return result;
}

InstallResult CInstallJob::Extract(const std::wstring& package) {
  events_.OnExtractStart();
  JobExtractReport report(*this, events_);
  (void)ExtractPackage(package, options_.directory, report);
  return report.result;
}

void CInstallJob::Register() const {
  const std::wstring program = options_.directory + kSuiteProgram;
  const std::wstring uninstaller = options_.directory + kUninstaller;
  // Registration is best effort: each piece that fails is left out, the rest is still written.
  (void)RegisterProduct(program, 0, options_.desktopShortcut, options_.startMenuShortcut, options_.startAtLogon);
  (void)RegisterProduct(uninstaller, 1, 0, options_.startMenuShortcut, 0);
  platform::Log("registered %s", Utf8(program).c_str());
}
