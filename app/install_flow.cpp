// The install flow of the installer window: the install command, the worker thread that downloads
// and extracts the package, and the window's answers to the worker's outcome messages.
//
// Threads: everything here runs on the window's thread except RunInstallWorker, which runs on the
// one worker thread the install command starts. The worker reaches the window only by posting
// private messages, and by reading the directory field (which waits for the window to answer).
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "app/ids.h"
#include "app/main_dlg.h"
#include "download/download_callback.h"
#include "platform/clock.h"
#include "download/http_get.h"
#include "platform/shell.h"
#include "system/registration.h"
#include "system/suite_stop.h"
#include "unzip/extract_package.h"

namespace {

const wchar_t kSeparator = L'\\';
const wchar_t kSuiteProgram[] = L"TavoPhoneAx\\Tavo.exe";
const wchar_t kUninstaller[] = L"TavoPhoneAx\\TavoUnInstall.exe";
const wchar_t kPackageName[] = L"TavoPhoneAx.zip";
const wchar_t kPackageUrl[] = L"http://" VENDOR_SERVER L"/consezip/TavoPhoneAx.zip";
const wchar_t kOfflineInstallerUrl[] = L"http://" VENDOR_SERVER L"/consezip/InStallComplete.exe";
const wchar_t kServiceName[] = L"QXLD_Sever";
const wchar_t* const kProcessNames[] = {L"QXLD_Helper.exe", L"Tavo.exe",  L"httpd.exe", L"http.exe",
                                        L"ZADAV2ad.exe",    L"adb.exe",   L"aapt.exe"};

const wchar_t kNotice[] = L"提示";
const wchar_t kDirectoryMessage[] = L"未知的位置,请确定目录是否存在或手动创建目录";
const wchar_t kNetworkFailedMessage[] =
    L"网络异常,安装失败.您可以直接下载完整的安装包进行安装，点击确定开始下载完整安装包!";
const wchar_t kExtractFailedMessage[] = L"解压文件失败,请使用管理员身份运行程序";
const wchar_t kExtractingStatus[] = L"正在解压文件";
const wchar_t kTryItNow[] = L"立即体验";

// Paths are built in buffers of MAX_PATH units and the directory is checked in one of 200, both
// including the terminator. The longest name put below the install directory is the uninstaller
// (29 units), so the check buffer is the tighter limit: a directory of at most 199 units, its
// final "\\" included, fits everywhere. Longer input is refused as an unusable location rather
// than cut into another path.
constexpr size_t kDirectoryCheckUnits = 200;
constexpr size_t kMaxDirectoryLength = kDirectoryCheckUnits - 1;
static_assert(kMaxDirectoryLength + (sizeof(kUninstaller) / sizeof(wchar_t) - 1) <= MAX_PATH - 1,
              "every program path below an accepted directory fits MAX_PATH");

std::wstring WithTrailingSeparator(std::wstring directory) {
  if (directory.empty() || directory.back() != kSeparator) directory += kSeparator;
  return directory;
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Posts the download percent to the window, at most once per 500 ms and only when it changed.
class WindowDownloadProgress final : public IDownloadCallBack {
 public:
  explicit WindowDownloadProgress(HWND window) : window_(window) {}
  int OnProgress(std::uint32_t, int percent, std::uint32_t, int) override {
    // The engine calls this under its progress lock, one worker at a time.
    const std::uint32_t now = platform::TickCount();
    if (lastPost_ != 0 && now - lastPost_ <= 500) return 0;
    lastPost_ = now;
    if (percent != lastPercent_) {
      lastPercent_ = percent;
      PostMessageW(window_, WM_DOWNLOAD_PROGRESS, static_cast<WPARAM>(percent), 0);
    }
    return 0;
  }
  void OnSavePath(const std::wstring&, int) override {}
  void OnServerAddress(const std::wstring&, int) override {}

 private:
  HWND window_;
  std::uint32_t lastPost_ = 0;
  int lastPercent_ = 0;
};

// The extraction's outcome as the user sees it: a box with the stage's text, then the window's
// failure handling.
class WindowExtractReport final : public unzip::IExtractReport {
 public:
  explicit WindowExtractReport(HWND window) : window_(window) {}
  void OnExtractProgress(std::int32_t index, std::int32_t count) override {
    PostMessageW(window_, WM_EXTRACT_PROGRESS, static_cast<WPARAM>(index), count);
  }
  bool ExtractCancelled() override { return false; }
  void OnExtractFinished() override { PostMessageW(window_, WM_EXTRACT_FINISHED, 0, 0); }
  void OnExtractFailed(unzip::ExtractStage stage, std::int32_t result, const std::wstring&, bool) override {
    std::wstring text;
    switch (stage) {
      case unzip::kStageOpen: text = L"打开压缩包解压路径出错!"; break;
      case unzip::kStageBaseDir: text = L"设置解压路径出错!"; break;
      case unzip::kStageCount: text = L"获取压缩包对象出错!"; break;
      case unzip::kStageItemInfo:
      case unzip::kStageExtract: text = L"未解压完全!" + std::to_wstring(result); break;
      case unzip::kStageCancelled: return;
    }
    platform::Shell().ShowMessageBox(window_, text, std::wstring(), MB_OK);
    PostMessageW(window_, WM_EXTRACT_FAILED, stage, 0);
  }

 private:
  HWND window_;
};

DWORD WINAPI InstallWorkerProc(void* dialog) {
  static_cast<CMainDlg*>(dialog)->RunInstallWorker();
  return 0;
}

}  // namespace

size_t CMainDlg::MaxInstallDirLength() { return kMaxDirectoryLength; }

bool CMainDlg::EnsureDirLevel(const std::wstring& directory) {
  if (directory.size() > kMaxDirectoryLength) return false;  // never create a shortened path
  if (PathExists(directory)) return true;
  return CreateDirectoryW(directory.c_str(), nullptr) != FALSE;
}

// ---- the install command ----

LRESULT CMainDlg::OnInstall(UINT, WPARAM wParam, LPARAM, BOOL&) {
  m_wExitCode = LOWORD(wParam);
  if (m_bInstalled) {
    LaunchSuite();
    return 0;
  }

  m_strInstallDir = WithTrailingSeparator(ReadInstallDir());
  EnsureDirLevel(m_strInstallDir);  // the existence test below decides
  if (m_strInstallDir.size() > kMaxDirectoryLength || !PathExists(m_strInstallDir)) {
    platform::Shell().ShowMessageBox(nullptr, kDirectoryMessage, kNotice, MB_OK);
    return 0;
  }
  if (SendMessageW(m_hWndAgree, BM_GETCHECK, 0, 0) <= 0) return 0;

  ShowProgressPage();

  (void)StopSuiteService(kServiceName);  // a service that is absent or will not stop is no reason to wait
  for (size_t i = 0; i < 7; ++i) m_strProcessNames[i] = kProcessNames[i];
  KillSuiteProcesses(std::vector<std::wstring>(std::begin(m_strProcessNames), std::end(m_strProcessNames)));

  // The worker is never joined or cancelled; closing our handle does not end it. When it cannot
  // be created the progress page simply stays until the user closes the window.
  win::UniqueHandle worker(CreateThread(nullptr, 0, &InstallWorkerProc, this, 0, nullptr));
  return 0;
}

void CMainDlg::LaunchSuite() {
  const std::wstring program = WithTrailingSeparator(ReadInstallDir()) + kSuiteProgram;
  if (program.size() <= MAX_PATH - 1)
    ShellExecuteW(nullptr, L"open", program.c_str(), nullptr, nullptr, SW_SHOW);  // a missing suite is not reported
  DestroyWindow();
  PostQuitMessage(m_wExitCode);
}

void CMainDlg::ShowProgressPage() {
  ShowWindow(m_hWndDownloadPercent, SW_SHOW);
  ShowWindow(m_hWndExtractPercent, SW_HIDE);

  RECT window{};
  GetWindowRect(m_hWnd, &window);
  if (window.bottom - window.top > 450) ResizeBy(-kExpandHeight);

  for (HWND control : {m_btnInstall.m_hWnd, m_hWndAgree, m_linkTerms.m_hWnd, m_btnCustomClose.m_hWnd,
                       m_btnCustomOpen.m_hWnd})
    ShowWindow(control, SW_HIDE);
  DhStatic* const optionCaptions[] = {&m_lblAgree, &m_lblDesktop, &m_lblAutorun, &m_lblStartMenu};
  for (int i = 0; i < 4; ++i) {
    ShowWindow(m_btnFeatures[i].m_hWnd, SW_SHOW);
    ShowWindow(m_hWndFeatureCaptions[i], SW_SHOW);
    ShowWindow(optionCaptions[i]->m_hWnd, SW_HIDE);
  }
  ShowWindow(m_hWndProgressText, SW_SHOW);
  ShowWindow(m_hWndProgress, SW_SHOW);
  m_nPage = PAGE_PROGRESS;
  InvalidateWholeWindow();
}

void CMainDlg::InvalidateWholeWindow() {
  RECT window{};
  GetWindowRect(m_hWnd, &window);
  RECT area{0, 0, window.right - window.left, window.bottom - window.top};
  InvalidateRect(m_hWnd, &area, FALSE);
}

// ---- the worker thread ----

bool CMainDlg::RunInstallWorker() {
  m_strInstallDir = WithTrailingSeparator(ReadInstallDir());
  EnsureDirLevel(m_strInstallDir);
  if (!PathExists(m_strInstallDir))  // the extractor will fail with its own message after this one
    platform::Shell().ShowMessageBox(nullptr, kDirectoryMessage, kNotice, MB_OK);

  WindowDownloadProgress callback(m_hWnd);

  // The package path must fit MAX_PATH with the package name; a longer temporary directory is
  // reported like any other failed download instead of being cut into another path.
  wchar_t tempDir[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, tempDir);
  const size_t packageNameLength = sizeof(kPackageName) / sizeof(wchar_t) - 1;
  if (length == 0 || length + packageNameLength > MAX_PATH - 1) {
    PostMessageW(m_hWnd, WM_NETWORK_FAILED, 7, 0);
    return true;
  }

  const int result = DownloadFile(kPackageUrl, tempDir, &callback, 0, 1, 0, 0);
  if (result == DL_OK || result == DL_ALREADY_PRESENT) {
    PostMessageW(m_hWnd, WM_EXTRACT_START, 0, 0);
    const std::wstring package = std::wstring(tempDir) + kPackageName;
    WindowExtractReport report(m_hWnd);
    (void)ExtractPackage(package, m_strInstallDir, report);  // the report tells the window the outcome
  } else {
    PostMessageW(m_hWnd, WM_NETWORK_FAILED, 7, 0);
  }
  return true;
}

// ---- outcome messages ----

LRESULT CMainDlg::OnExtractStart(UINT, WPARAM, LPARAM, BOOL&) {
  ShowWindow(m_hWndDownloadPercent, SW_HIDE);
  ShowWindow(m_hWndExtractPercent, SW_SHOW);
  SetWindowTextW(m_hWndProgressText, kExtractingStatus);
  SetWindowTextW(m_hWndExtractPercent, L"0%");
  return 0;
}

LRESULT CMainDlg::OnNetworkFailed(UINT, WPARAM, LPARAM, BOOL&) {
  const int answer = platform::Shell().ShowMessageBox(m_hWnd, kNetworkFailedMessage, kNotice, MB_OKCANCEL);
  if (answer == IDOK)
    platform::Shell().Open(kOfflineInstallerUrl);  // without a browser there is nothing more to do
  else
    PostMessageW(m_hWnd, WM_INSTALLER_QUIT, 0, 0);
  return 0;
}

LRESULT CMainDlg::OnExtractFailed(UINT, WPARAM, LPARAM, BOOL&) {
  platform::Shell().ShowMessageBox(m_hWnd, kExtractFailedMessage, kNotice, MB_OK);
  PostMessageW(m_hWnd, WM_INSTALLER_QUIT, 0, 0);
  return 0;
}

LRESULT CMainDlg::OnExtractFinished(UINT, WPARAM, LPARAM, BOOL&) {
  const std::wstring directory = WithTrailingSeparator(ReadInstallDir());
  const std::wstring exePath = directory + kSuiteProgram;
  const std::wstring uninstallerPath = directory + kUninstaller;

  const int desktop = static_cast<int>(SendMessageW(m_hWndDesktopShortcut, BM_GETCHECK, 0, 0));
  const int startMenu = static_cast<int>(SendMessageW(m_hWndStartMenuShortcut, BM_GETCHECK, 0, 0));
  const int startAtBoot = static_cast<int>(SendMessageW(m_hWndAutorun, BM_GETCHECK, 0, 0));

  // Registration failures are silent: the finish page is shown in any case.
  RegisterProduct(exePath, 0, desktop, startMenu, startAtBoot);
  RegisterProduct(uninstallerPath, 1, 0, startMenu, 0);

  SendMessageW(m_hWndProgress, PBM_SETPOS, 100, 0);

  // The package is deleted through the wide temporary path, which names it whatever characters
  // the user's profile path holds. When that fails the next run reuses the package.
  wchar_t tempDir[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, tempDir);
  if (length > 0 && length < MAX_PATH) DeleteFileW((std::wstring(tempDir) + kPackageName).c_str());

  ShowFinishPage();
  return 0;
}

void CMainDlg::ShowFinishPage() {
  if (m_btnInstall.m_hWnd) {
    SetWindowTextW(m_btnInstall.m_hWnd, kTryItNow);
    m_btnInstall.UpdateStateImages();
  }
  ShowWindow(m_btnInstall.m_hWnd, SW_SHOW);
  ShowWindow(m_hWndDownloadPercent, SW_HIDE);
  ShowWindow(m_hWndExtractPercent, SW_HIDE);
  for (int i = 0; i < 4; ++i) {
    ShowWindow(m_btnFeatures[i].m_hWnd, SW_HIDE);
    ShowWindow(m_hWndFeatureCaptions[i], SW_HIDE);
  }
  ShowWindow(m_hWndProgressText, SW_HIDE);
  ShowWindow(m_hWndProgress, SW_HIDE);
  m_bInstalled = TRUE;
  m_nPage = PAGE_FINISH;
  InvalidateWholeWindow();
}
