// The install flow of the installer window: the install command, which starts the install job,
// and the window's answers to the job's messages.
//
// Everything here runs on the window's thread. The job runs on its own thread and reaches the
// window only through WindowInstallEvents, which posts the private messages of app/ids.h.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "app/ids.h"
#include "app/main_dlg.h"
#include "app/prompt.h"
#include "app/taskbar.h"
#include "platform/fs.h"
#include "platform/shell.h"
#include "skin/repaint.h"

namespace {

const wchar_t kSeparator = L'\\';
const wchar_t kSuiteProgram[] = L"TavoPhoneAx\\Tavo.exe";
const wchar_t kUninstaller[] = L"TavoPhoneAx\\TavoUnInstall.exe";
const wchar_t kOfflineInstallerUrl[] = L"http://" VENDOR_SERVER L"/consezip/InStallComplete.exe";

const wchar_t kNotice[] = L"提示";
const wchar_t kDirectoryMessage[] = L"未知的位置,请确定目录是否存在或手动创建目录";
const wchar_t kNetworkFailedMessage[] =
    L"网络异常,安装失败.您可以直接下载完整的安装包进行安装，点击确定开始下载完整安装包!";
const wchar_t kExtractFailedMessage[] = L"解压文件失败,请使用管理员身份运行程序";
const wchar_t kExtractingStatus[] = L"正在解压文件";
const wchar_t kTryItNow[] = L"立即体验";

static_assert(kMaxInstallDirLength + (sizeof(kUninstaller) / sizeof(wchar_t) - 1) <= MAX_PATH - 1,
              "every program path below an accepted directory fits MAX_PATH");

std::wstring WithTrailingSeparator(std::wstring directory) {
  if (directory.empty() || directory.back() != kSeparator) directory += kSeparator;
  return directory;
}

// The text the user reads for the stage where extraction stopped.
std::wstring ExtractStageText(unzip::ExtractStage stage, std::int32_t result) {
  switch (stage) {
    case unzip::kStageOpen: return L"打开压缩包解压路径出错!";
    case unzip::kStageBaseDir: return L"设置解压路径出错!";
    case unzip::kStageCount: return L"获取压缩包对象出错!";
    case unzip::kStageItemInfo:
    case unzip::kStageExtract:
    case unzip::kStageCancelled: break;
  }
  return L"未解压完全!" + std::to_wstring(result);
}

std::wstring Megabytes(std::uint64_t bytes) { return std::to_wstring((bytes + (1 << 20) - 1) >> 20) + L" MB"; }

}  // namespace

std::wstring DiskFullText(const InstallResult& result) {
  return L"磁盘空间不足：" + result.drive + L" 需要 " + Megabytes(result.bytesNeeded) + L" 可用空间，当前只有 " +
         Megabytes(result.bytesFree) + L"。请释放空间后重新安装。";
}

// Posts the job's reports to the window; a window that is gone has nobody left to tell.
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

size_t CMainDlg::MaxInstallDirLength() { return kMaxInstallDirLength; }

// ---- the install command ----

LRESULT CMainDlg::OnInstall(UINT, WPARAM wParam, LPARAM, BOOL&) {
  m_wExitCode = LOWORD(wParam);
  if (m_bInstalled) {
    LaunchSuite();
    return 0;
  }
  if (m_job) return 0;  // already installing

  m_strInstallDir = WithTrailingSeparator(ReadInstallDir());
  if (!UsableInstallDirectory(m_strInstallDir)) {
    ShowPrompt(nullptr, kDirectoryMessage, kNotice, MB_OK);
    return 0;
  }
  if (SendMessageW(m_hWndAgree, BM_GETCHECK, 0, 0) <= 0) return 0;

  InstallOptions options = m_startOptions;  // what the command line set beyond the controls
  options.directory = m_strInstallDir;
  options.desktopShortcut = SendMessageW(m_hWndDesktopShortcut, BM_GETCHECK, 0, 0) == BST_CHECKED;
  options.startMenuShortcut = SendMessageW(m_hWndStartMenuShortcut, BM_GETCHECK, 0, 0) == BST_CHECKED;
  options.startAtLogon = SendMessageW(m_hWndAutorun, BM_GETCHECK, 0, 0) == BST_CHECKED;

  ShowPage(PAGE_DOWNLOADING);
  Taskbar().SetState(m_hWnd, ITaskbarProgress::State::kNormal);
  Taskbar().SetValue(m_hWnd, 0, 100);
  SetTimer(m_hWnd, kStatusTimer, kStatusTimerMs, nullptr);  // without it a stall shows only once reported
  m_events.reset(new WindowInstallEvents(m_hWnd));
  m_job.reset(new CInstallJob(std::move(options), *m_events));
  // When the thread cannot be started the progress page stays until the user closes the window.
  (void)m_job->Start();
  return 0;
}

void CMainDlg::LaunchSuite() {
  const std::wstring program = m_strInstallDir + kSuiteProgram;
  if (program.size() <= MAX_PATH - 1)
    ShellExecuteW(nullptr, L"open", program.c_str(), nullptr, nullptr, SW_SHOW);  // a missing suite is not reported
  DestroyWindow();
  PostQuitMessage(m_wExitCode);
}

// ---- the job's messages ----

LRESULT CMainDlg::OnExtractStart(UINT, WPARAM, LPARAM, BOOL&) {
  KillTimer(m_hWnd, kStatusTimer);
  ShowPage(PAGE_EXTRACTING);
  skin::SetLabelText(m_hWndProgressText, kExtractingStatus);
  skin::SetLabelText(m_hWndExtractPercent, L"0%");
  SendMessageW(m_hWndProgress, PBM_SETPOS, 0, 0);  // the bar starts again with the extraction
  Taskbar().SetValue(m_hWnd, 0, 100);
  return 0;
}

LRESULT CMainDlg::OnNetworkFailed(UINT, WPARAM, LPARAM, BOOL&) {
  KillTimer(m_hWnd, kStatusTimer);
  Taskbar().SetState(m_hWnd, ITaskbarProgress::State::kError);
  const int answer = ShowPrompt(m_hWnd, kNetworkFailedMessage, kNotice, MB_OKCANCEL);
  Taskbar().SetState(m_hWnd, ITaskbarProgress::State::kNone);
  if (answer == IDOK)
    platform::Shell().Open(kOfflineInstallerUrl);  // without a browser there is nothing more to do
  else
    PostMessageW(m_hWnd, WM_INSTALLER_QUIT, 0, 0);
  return 0;
}

LRESULT CMainDlg::OnExtractFailed(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  // The stage's own text first, with the system's caption, then what the user can do about it.
  Taskbar().SetState(m_hWnd, ITaskbarProgress::State::kError);
  ShowPrompt(m_hWnd, ExtractStageText(static_cast<unzip::ExtractStage>(wParam), static_cast<std::int32_t>(lParam)),
             std::wstring(), MB_OK);
  ShowPrompt(m_hWnd, kExtractFailedMessage, kNotice, MB_OK);
  Taskbar().SetState(m_hWnd, ITaskbarProgress::State::kNone);
  PostMessageW(m_hWnd, WM_INSTALLER_QUIT, 0, 0);
  return 0;
}

LRESULT CMainDlg::OnInstallStopped(UINT, WPARAM, LPARAM, BOOL&) {
  const InstallResult result = m_job ? m_job->Result() : InstallResult{};
  ShowPrompt(m_hWnd, result.outcome == InstallOutcome::kDiskFull ? DiskFullText(result) : kDirectoryMessage, kNotice,
             MB_OK | MB_ICONWARNING);
  PostMessageW(m_hWnd, WM_INSTALLER_QUIT, 0, 0);
  return 0;
}

LRESULT CMainDlg::OnExtractFinished(UINT, WPARAM, LPARAM, BOOL&) {
  SendMessageW(m_hWndProgress, PBM_SETPOS, 100, 0);
  if (m_btnInstall.m_hWnd) {
    SetWindowTextW(m_btnInstall.m_hWnd, kTryItNow);
    m_btnInstall.UpdateStateImages();
  }
  m_bInstalled = TRUE;
  Taskbar().SetState(m_hWnd, ITaskbarProgress::State::kNone);
  ShowPage(PAGE_FINISHED);
  return 0;
}
