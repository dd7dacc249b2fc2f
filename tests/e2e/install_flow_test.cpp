// The installation from end to end: the real Install.exe, worked through its window with the
// mouse or run silently, downloads the demo package from the loopback vendor server, verifies,
// extracts and registers it and starts the suite; and every way it can fail on the way.
//
// scripts/run uses InstallFlow.EveryPageFromSetupToTheUninstalledSuite to work the installer when
// there is no display: with WALKTHROUGH_SERVER_RUNNING=1 it serves the full package itself, and the
// test keeps what was installed.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/ids.h"
#include "tests/e2e/support/driver.h"
#include "tests/e2e/support/system_state.h"
#include "tests/e2e/support/vendor_server.h"

namespace {

using e2e::Eventually;
using e2e::Exists;

const wchar_t kDirectoryMessage[] = L"未知的位置,请确定目录是否存在或手动创建目录";
const wchar_t kNetworkFailedMessage[] =
    L"网络异常,安装失败.您可以直接下载完整的安装包进行安装，点击确定开始下载完整安装包!";
const wchar_t kExtractFailedMessage[] = L"解压文件失败,请使用管理员身份运行程序";
// A server that is down is given up on after 5 s instead of 120.
const wchar_t kQuickRetry[] = L"/RETRY=5";

const std::wstring kBase = L"C:\\e2e-install";
const std::wstring kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavo手机助手";
const std::wstring kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kVersionKey = L"Software\\QXLDvesion";

bool Visible(HWND window, int id) { return IsWindowVisible(GetDlgItem(window, id)) != FALSE; }
std::wstring Text(HWND window, int id) { return e2e::WindowText(GetDlgItem(window, id)); }

// The download percentage shown, or -1 while none is.
int DownloadPercent(HWND window) {
  const std::wstring text = Text(window, IDC_DOWNLOAD_PERCENT);
  return Visible(window, IDC_DOWNLOAD_PERCENT) && !text.empty() ? _wtoi(text.c_str()) : -1;
}
bool Extracting(HWND window) { return Text(window, IDC_PROGRESS_TEXT) == L"正在解压文件"; }
bool OnFinishPage(HWND window) { return Visible(window, IDC_INSTALL) && Text(window, IDC_INSTALL) == L"立即体验"; }

// Waits until the window's thread has finished what it is handling (a sent message is answered
// only between two handlers), paints the window now and saves it as NAME.png.
void Shoot(HWND window, const wchar_t* name) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  EXPECT_TRUE(e2e::SaveScreenshot(window, name)) << "a screenshot could not be saved";
}

// Compares every file below `expected` with the same name below `actual`; counts them.
void ExpectSameTree(const std::wstring& expected, const std::wstring& actual, int* files) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((expected + L"\\*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE) << "nothing to compare in the package's tree";
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ExpectSameTree(expected + L"\\" + name, actual + L"\\" + name, files);
    } else {
      ++*files;
      EXPECT_TRUE(e2e::ReadFileBytes(expected + L"\\" + name) == e2e::ReadFileBytes(actual + L"\\" + name))
          << "installed file differs from the package: " << std::string(name.begin(), name.end());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// Runs Install.exe with `arguments` to its end: its exit code, or -1 when it did not end. With
// `visible`, records whether a window of it was ever seen, by Windows or on the X display.
int RunInstaller(const std::wstring& arguments, bool* visible = nullptr, DWORD timeoutMs = 180000) {
  e2e::InstallerProcess installer(INSTALL_EXE, std::wstring(kQuickRetry) + L" " + arguments);
  if (!installer.started()) return -1;
  DWORD code = 0;
  const DWORD start = GetTickCount();
  for (int poll = 0; !installer.WaitForExit(50, &code); ++poll) {
    if (visible && (e2e::VisibleWindowOf(installer.id()) ||
                    (poll % 10 == 0 && e2e::RunUnix(L"/usr/bin/xdotool search --onlyvisible --name Tavo", 10000) == 0)))
      *visible = true;
    if (GetTickCount() - start > timeoutMs) return -1;
  }
  return static_cast<int>(code);
}

// A copy of the demo package with one byte of an item's data changed, under build/e2e/NAME/.
std::wstring AlteredPackage(const e2e::DemoPackage& package, const std::wstring& name) {
  std::string bytes = e2e::ReadFileBytes(package.windowsPath);
  bytes[bytes.size() / 2] ^= 0x5A;
  CreateDirectoryW(e2e::BuildWindowsPath(L"e2e\\" + name).c_str(), nullptr);
  EXPECT_TRUE(e2e::PutFile(e2e::BuildWindowsPath(L"e2e\\" + name + L"\\TavoPhoneAx.zip"), bytes));
  return e2e::BuildUnixPath(L"e2e/" + name + L"/TavoPhoneAx.zip");
}

class InstallFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    bool ok = false;
    package_ = &e2e::TheDemoPackage(&ok);
    ASSERT_TRUE(ok) << "the demo package could not be made";
    temp_ = e2e::TempDirectory();
    Clean();
    CreateDirectoryW(kBase.c_str(), nullptr);
  }
  void TearDown() override {
    server_.Stop();
    if (!keepInstallation_) Clean();
  }

  // Everything an installation may leave: the package and its parts, the registration, the
  // folders the tests install into.
  void Clean() {
    e2e::RemoveUninstallerCopies(temp_);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((temp_ + L"TavoPhoneAx.zip*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
      DeleteFileW((temp_ + found.cFileName).c_str());
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey.c_str());
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey.c_str(), L"Tavo手机助手");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kRunKey + L"\\Tavo手机助手").c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, kVersionKey.c_str());
    DeleteFileW((e2e::SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Tavo手机助手.lnk").c_str());
    e2e::RemoveTree(e2e::SpecialFolder(CSIDL_PROGRAMS) + L"\\Tavo手机助手");
    e2e::RemoveTree(e2e::SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\TavoPhoneAx");
    e2e::RemoveTree(kBase);
  }

  void StartServer(e2e::VendorServer::Options options = {}) {
    if (options.packageUnixPath.empty()) options.packageUnixPath = package_->unixPath;
    ASSERT_TRUE(server_.Start(options)) << "the vendor server did not start (is " VENDOR_SERVER_NARROW " taken?)";
  }

  // Starts the installer and returns its window.
  static HWND Launch(std::unique_ptr<e2e::InstallerProcess>& installer) {
    installer = std::make_unique<e2e::InstallerProcess>(INSTALL_EXE, kQuickRetry);
    HWND window = installer->WaitForMainWindow();
    EXPECT_NE(window, nullptr) << "the installer shows no window";
    return window;
  }

  // Opens the custom-install options and types `directory` into the directory field.
  static void ChooseDirectory(HWND window, const std::wstring& directory) {
    e2e::ClickCenter(GetDlgItem(window, IDC_CUSTOM_OPEN));
    HWND field = FindWindowExW(window, nullptr, L"WTL_BitmapEditControl", nullptr);
    ASSERT_NE(field, nullptr);
    SendMessageW(GetDlgItem(field, IDC_INSTALL_DIR), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(directory.c_str()));
  }

  // Starts the installer, installs into `directory` and presses the install button.
  static HWND StartInstall(std::unique_ptr<e2e::InstallerProcess>& installer, const std::wstring& directory) {
    HWND window = Launch(installer);
    if (!window) return nullptr;
    ChooseDirectory(window, directory);
    e2e::ClickCenter(GetDlgItem(window, IDC_INSTALL));
    return window;
  }

  // Answers the installer's next message box with `button` after checking its text.
  static void Answer(const e2e::InstallerProcess& installer, HWND window, const std::wstring& text, int button) {
    HWND box = e2e::WaitForMessageBox(installer.id(), 120000, window);
    ASSERT_NE(box, nullptr) << "no message box came";
    if (!text.empty()) EXPECT_EQ(e2e::MessageBoxText(box), text);
    e2e::ClickCenter(GetDlgItem(box, button));
    Eventually([&] { return !IsWindow(box); }, 5000);
  }

  static void ExpectExit(const e2e::InstallerProcess& installer, DWORD expected, DWORD withinMs = 10000) {
    DWORD code = 0;
    ASSERT_TRUE(installer.WaitForExit(withinMs, &code)) << "the installer did not end in time";
    EXPECT_EQ(code, expected);
  }

  void ExpectInstalledInto(const std::wstring& directory) const {
    int files = 0;
    ExpectSameTree(package_->treePath, directory + L"\\TavoPhoneAx", &files);
    EXPECT_GT(files, 100);
  }

  const e2e::DemoPackage* package_ = nullptr;
  std::wstring temp_;
  e2e::VendorServer server_;
  bool keepInstallation_ = false;
};

// The whole installation as a user sees it, into the default directory, with a screenshot of every
// page (build/screenshots/install-*.png); then the suite it started, and its uninstaller.
TEST_F(InstallFlow, EveryPageFromSetupToTheUninstalledSuite) {
  keepInstallation_ = std::getenv("WALKTHROUGH_SERVER_RUNNING") != nullptr;
  // Slowed as vendor servers are, so that the download page shows its speed.
  if (!keepInstallation_) StartServer({package_->unixPath, L"", L"1m", L""});
  std::unique_ptr<e2e::InstallerProcess> installer;
  HWND window = Launch(installer);
  ASSERT_NE(window, nullptr);
  Shoot(window, L"install-setup");
  e2e::ClickCenter(GetDlgItem(window, IDC_CUSTOM_OPEN));
  ASSERT_TRUE(Eventually([&] { return Visible(window, IDC_BROWSE); }));
  Shoot(window, L"install-setup-expanded");
  e2e::ClickCenter(GetDlgItem(window, IDC_INSTALL));

  std::vector<int> percents;
  bool downloadShot = false, extractShot = false;
  ASSERT_TRUE(Eventually(
      [&] {
        const int percent = DownloadPercent(window);
        if (percent >= 0 && (percents.empty() || percents.back() != percent)) percents.push_back(percent);
        if (!downloadShot && percent >= 5 && Text(window, IDC_DOWNLOAD_SPEED).find(L"B/s") != std::wstring::npos) {
          EXPECT_TRUE(Visible(window, IDC_FEATURE1) && !Visible(window, IDC_AGREE));
          Shoot(window, L"install-downloading");
          downloadShot = true;
        }
        if (!extractShot && Extracting(window)) {
          Shoot(window, L"install-extracting");
          extractShot = true;
        }
        return OnFinishPage(window);
      },
      300000))
      << "the finish page never came";
  Shoot(window, L"install-finish");
  if (!keepInstallation_) {
    EXPECT_TRUE(downloadShot) << "the download page with its speed was never seen";
    EXPECT_TRUE(extractShot) << "the extracting page was never seen";
    ASSERT_GE(percents.size(), 2u) << "the download percentage did not move";
    for (size_t i = 1; i < percents.size(); ++i) EXPECT_GE(percents[i], percents[i - 1]) << "percentage went back";
    EXPECT_GE(server_.SegmentRequests(), 2) << "the package was not fetched in segments";
  }

  const std::wstring directory = e2e::SpecialFolder(CSIDL_PROGRAM_FILES);
  if (!keepInstallation_) ExpectInstalledInto(directory);
  EXPECT_FALSE(Exists(temp_ + L"TavoPhoneAx.zip")) << "the package stays in the temporary directory";
  const std::wstring suite = directory + L"\\TavoPhoneAx\\Tavo.exe";
  const std::wstring uninstaller = directory + L"\\TavoPhoneAx\\TavoUnInstall.exe";
  std::wstring data;
  ASSERT_TRUE(e2e::ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString", &data));
  EXPECT_EQ(data, L"\"" + uninstaller + L"\"");
  ASSERT_TRUE(e2e::ReadString(HKEY_LOCAL_MACHINE, kRunKey, L"Tavo手机助手", &data));
  EXPECT_EQ(data, L"\"" + suite + L"\"");
  ASSERT_TRUE(e2e::ReadString(HKEY_CURRENT_USER, kVersionKey, L"CurrentVesion", &data));
  EXPECT_EQ(data, L"1.07");
  const std::wstring startMenu = e2e::SpecialFolder(CSIDL_PROGRAMS) + L"\\Tavo手机助手";
  EXPECT_TRUE(Exists(e2e::SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Tavo手机助手.lnk"));
  EXPECT_TRUE(Exists(startMenu + L"\\Tavo手机助手.lnk"));
  EXPECT_TRUE(Exists(startMenu + L"\\Tavo手机助手卸载.lnk"));

  // "立即体验" starts the installed suite and ends the installer with 1005.
  e2e::ClickCenter(GetDlgItem(window, IDC_INSTALL));
  ExpectExit(*installer, EXIT_AFTER_INSTALL);
  HWND suiteWindow = nullptr;
  ASSERT_TRUE(Eventually([&] { return (suiteWindow = FindWindowW(nullptr, L"Tavo手机助手")) != nullptr; }))
      << "the suite did not start";
  Shoot(suiteWindow, L"install-suite");
  PostMessageW(suiteWindow, WM_CLOSE, 0, 0);
  if (keepInstallation_) return;

  // The uninstaller that the list of installed programs runs removes every entry, also the logon
  // entry earlier versions wrote into a subkey of Run, and the suite's folder.
  HKEY old = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kRunKey + L"\\Tavo手机助手").c_str(), 0, nullptr, 0, KEY_WRITE,
                            nullptr, &old, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(old);
  e2e::InstallerProcess uninstall(uninstaller);
  HWND box = e2e::WaitForMessageBox(uninstall.id());
  ASSERT_NE(box, nullptr) << "the uninstaller asked nothing";
  e2e::ClickCenter(GetDlgItem(box, IDOK));
  ExpectExit(uninstall, 0, 20000);
  EXPECT_FALSE(e2e::HasKey(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(e2e::HasValue(HKEY_LOCAL_MACHINE, kRunKey, L"Tavo手机助手"));
  EXPECT_FALSE(e2e::HasKey(HKEY_LOCAL_MACHINE, kRunKey + L"\\Tavo手机助手"));
  EXPECT_FALSE(e2e::HasValue(HKEY_CURRENT_USER, kVersionKey, L"CurrentVesion"));
  EXPECT_FALSE(Exists(e2e::SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Tavo手机助手.lnk"));
  EXPECT_FALSE(Exists(startMenu));
  EXPECT_TRUE(Eventually([&] { return !Exists(directory + L"\\TavoPhoneAx"); })) << "the suite's folder stays";
}

TEST_F(InstallFlow, AMissingParentOrAgreementStartsNothing) {
  StartServer();
  std::unique_ptr<e2e::InstallerProcess> installer;
  HWND window = StartInstall(installer, kBase + L"\\missing\\child\\");
  ASSERT_NE(window, nullptr);
  Answer(*installer, window, kDirectoryMessage, IDOK);
  EXPECT_FALSE(Exists(kBase + L"\\missing")) << "a parent of the install directory was made";

  // Agreement unchecked: the one directory level is made, nothing else happens.
  e2e::ClickCenter(GetDlgItem(window, IDC_AGREE));
  ASSERT_TRUE(Eventually([&] { return SendMessageW(GetDlgItem(window, IDC_AGREE), BM_GETCHECK, 0, 0) == BST_UNCHECKED; }));
  SendMessageW(GetDlgItem(FindWindowExW(window, nullptr, L"WTL_BitmapEditControl", nullptr), IDC_INSTALL_DIR),
               WM_SETTEXT, 0, reinterpret_cast<LPARAM>((kBase + L"\\no-agreement").c_str()));
  e2e::ClickCenter(GetDlgItem(window, IDC_INSTALL));
  EXPECT_TRUE(Eventually([&] { return Exists(kBase + L"\\no-agreement"); }));
  SendMessageW(window, WM_NULL, 0, 0);  // the window has handled the click once this returns
  EXPECT_TRUE(Visible(window, IDC_INSTALL));
  EXPECT_FALSE(Visible(window, IDC_PROGRESS));
  EXPECT_EQ(e2e::WaitForMessageBox(installer->id(), 500, window), nullptr);
  EXPECT_EQ(server_.SegmentRequests(), 0);
}

// The browser command for http addresses, replaced by one that records what it was given, and
// put back as it was whatever the test's outcome.
class RecordingBrowser {
 public:
  explicit RecordingBrowser(const std::wstring& record) {
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    DWORD size = sizeof(previous_);
    had_ = RegQueryValueExW(key_, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(previous_), &size) == ERROR_SUCCESS;
    previousSize_ = size;
    const std::wstring command = L"C:\\windows\\system32\\cmd.exe /c echo %1>" + record;
    RegSetValueExW(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  }
  ~RecordingBrowser() {
    if (had_) RegSetValueExW(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(previous_), previousSize_);
    else RegDeleteValueW(key_, nullptr);
    RegCloseKey(key_);
  }

 private:
  static constexpr const wchar_t* kKey = L"Software\\Classes\\http\\shell\\open\\command";
  HKEY key_ = nullptr;
  wchar_t previous_[1024] = {};
  DWORD previousSize_ = 0;
  bool had_ = false;
};

TEST_F(InstallFlow, ServerDownOffersTheOfflineInstaller) {
  {  // Cancel ends the installer with 1005.
    std::unique_ptr<e2e::InstallerProcess> installer;
    HWND window = StartInstall(installer, kBase);
    ASSERT_NE(window, nullptr);
    Answer(*installer, window, kNetworkFailedMessage, IDCANCEL);
    ExpectExit(*installer, EXIT_AFTER_INSTALL);
  }
  // OK hands the offline installer's address to the browser and leaves the window open until its
  // close button ends it with 1009.
  const std::wstring record = kBase + L"\\opened-url.txt";
  RecordingBrowser browser(record);
  std::unique_ptr<e2e::InstallerProcess> installer;
  HWND window = StartInstall(installer, kBase);
  ASSERT_NE(window, nullptr);
  Answer(*installer, window, kNetworkFailedMessage, IDOK);
  ASSERT_TRUE(Eventually([&] { return !e2e::ReadFileBytes(record).empty(); })) << "no address was opened";
  EXPECT_NE(e2e::ReadFileBytes(record).find("http://" VENDOR_SERVER_NARROW "/consezip/InStallComplete.exe"),
            std::string::npos)
      << e2e::ReadFileBytes(record);
  EXPECT_TRUE(Visible(window, IDC_PROGRESS));
  e2e::ClickCenter(GetDlgItem(window, IDC_CLOSE));
  ExpectExit(*installer, EXIT_CLOSED);
}

// Whatever a hostile server or network serves in place of the vendor's signed package, nothing of
// it is extracted: the package is deleted and the user sees the network-failure box.
TEST_F(InstallFlow, OnlyTheVendorsSignedPackageIsEverExtracted) {
  const std::wstring altered = AlteredPackage(*package_, L"altered");
  ASSERT_TRUE(e2e::SignFile(altered, true));  // with a key Install.exe does not trust
  const std::wstring otherKeySig = e2e::BuildUnixPath(L"e2e/other-key.sig");
  ASSERT_EQ(e2e::RunUnix(L"/bin/mv " + altered + L".sig " + otherKeySig), 0);
  const struct {
    const char* what;
    e2e::VendorServer::Options server;
  } cases[] = {
      {"the vendor's package with another md5", {package_->unixPath, L"0123456789abcdef0123456789abcdef", L"", L""}},
      {"another package, its md5, no signature", {altered, L"", L"", L"none"}},
      {"another package signed with another key", {altered, L"", L"", otherKeySig}},
      {"another package with the vendor's package's signature", {altered, L"", L"", package_->unixPath + L".sig"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    StartServer(c.server);
    std::unique_ptr<e2e::InstallerProcess> installer;
    HWND window = StartInstall(installer, kBase);
    ASSERT_NE(window, nullptr);
    Answer(*installer, window, kNetworkFailedMessage, IDCANCEL);
    EXPECT_FALSE(Exists(temp_ + L"TavoPhoneAx.zip")) << "the rejected package was kept";
    EXPECT_FALSE(Exists(kBase + L"\\TavoPhoneAx")) << "something of the rejected package was extracted";
  }
}

// A package already in the temporary directory is checked like a download: the vendor's own is
// installed without being fetched again; anything else is replaced by the server's package.
TEST_F(InstallFlow, APackageInTheTemporaryDirectoryIsUsedOnlyWhenItIsTheVendors) {
  const std::wstring older = AlteredPackage(*package_, L"older");
  ASSERT_TRUE(e2e::SignFile(older));  // validly signed, but not what the server names by its md5
  StartServer();
  const struct {
    std::wstring planted;
    bool fetched;
  } cases[] = {
      {package_->windowsPath, false},
      {package_->windowsPath + L".sig", true},  // other content
      {e2e::BuildWindowsPath(L"e2e\\older\\TavoPhoneAx.zip"), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.planted.begin(), c.planted.end()));
    e2e::RemoveTree(kBase + L"\\TavoPhoneAx");
    ASSERT_TRUE(CopyFileW(c.planted.c_str(), (temp_ + L"TavoPhoneAx.zip").c_str(), FALSE));
    const int requestsBefore = server_.SegmentRequests();
    std::unique_ptr<e2e::InstallerProcess> installer;
    HWND window = StartInstall(installer, kBase);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(Eventually([&] { return OnFinishPage(window); }, 180000)) << "the finish page never came";
    EXPECT_EQ(server_.SegmentRequests() > requestsBefore, c.fetched);
    ExpectInstalledInto(kBase);
  }
}

// A damaged package that the vendor did sign: the extraction fails with its own message and the
// installer's, ends with 1005, deletes the package, and the next run downloads it afresh.
TEST_F(InstallFlow, ASignedButDamagedPackageFailsTheExtractionAndIsFetchedAgain) {
  const std::wstring damaged = AlteredPackage(*package_, L"damaged");
  ASSERT_TRUE(e2e::SignFile(damaged));
  StartServer({damaged, L"", L"", L""});
  {
    std::unique_ptr<e2e::InstallerProcess> installer;
    HWND window = StartInstall(installer, kBase);
    ASSERT_NE(window, nullptr);
    HWND first = e2e::WaitForMessageBox(installer->id(), 120000, window);
    ASSERT_NE(first, nullptr) << "the extraction said nothing";
    EXPECT_EQ(e2e::MessageBoxText(first).rfind(L"未解压完全!", 0), 0u) << "the extraction's own message is missing";
    e2e::ClickCenter(GetDlgItem(first, IDOK));
    Eventually([&] { return !IsWindow(first); }, 5000);
    Answer(*installer, window, kExtractFailedMessage, IDOK);
    ExpectExit(*installer, EXIT_AFTER_INSTALL);
  }
  EXPECT_FALSE(Exists(temp_ + L"TavoPhoneAx.zip")) << "the damaged package stays and would block every run";
  StartServer();
  EXPECT_EQ(RunInstaller(L"/S /D=" + kBase), EXIT_INSTALLED);
  ExpectInstalledInto(kBase);
}

// A run closed during the download, one killed during it, one closed during the extraction: each
// ends with 1009 at once (without waiting for the transfer or the extraction to finish), the part
// files stay, and the last run continues them and installs identical files.
TEST_F(InstallFlow, InterruptedRunsResumeAndInstallIdenticalFiles) {
  StartServer({package_->unixPath, L"", L"256k", L""});
  const std::wstring log = temp_ + L"TavoInstall.log";
  for (const int stopAt : {20, 40}) {
    DeleteFileW(log.c_str());
    std::unique_ptr<e2e::InstallerProcess> installer;
    HWND window = StartInstall(installer, kBase);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(Eventually([&] { return DownloadPercent(window) >= stopAt; }, 120000)) << "no progress";
    if (stopAt == 40) continue;  // killed: the process is terminated here, mid-download
    e2e::ClickCenter(GetDlgItem(window, IDC_CLOSE));
    // Far less than the rest of the download takes at this rate: the close cancels it.
    ExpectExit(*installer, EXIT_CLOSED, 10000);
    EXPECT_NE(e2e::ReadFileBytes(log).find("installation ended: cancelled"), std::string::npos)
        << e2e::ReadFileBytes(log);
    EXPECT_TRUE(Exists(temp_ + L"TavoPhoneAx.zip_0")) << "the part files were not kept";
  }
  // The same server: a new copy of the package would have a new validator, and parts of another
  // file are never continued.
  const std::uint64_t sentBefore = server_.SegmentBytesSent();
  {
    std::unique_ptr<e2e::InstallerProcess> installer;
    HWND window = StartInstall(installer, kBase);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(Eventually([&] { return Extracting(window) || OnFinishPage(window); }, 120000));
    e2e::ClickCenter(GetDlgItem(window, IDC_CLOSE));
    ExpectExit(*installer, EXIT_CLOSED);
  }
  EXPECT_LT(server_.SegmentBytesSent() - sentBefore, package_->size * 85 / 100) << "the parts were not continued";
  EXPECT_EQ(RunInstaller(L"/S /D=" + kBase), EXIT_INSTALLED);
  ExpectInstalledInto(kBase);
}

// The suite's service and helper, running from an earlier installation.
class RunningSuite {
 public:
  RunningSuite() {
    const std::wstring folder = kBase + L"\\old-suite";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring serviceExe = folder + L"\\QXLD_Sever.exe";
    const std::wstring helperExe = folder + L"\\QXLD_Helper.exe";
    CopyFileW((std::wstring(DEMO_SUITE_DIR) + L"\\QXLD_Sever.exe").c_str(), serviceExe.c_str(), FALSE);
    CopyFileW((std::wstring(DEMO_SUITE_DIR) + L"\\QXLD_Helper.exe").c_str(), helperExe.c_str(), FALSE);
    manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    service_ = CreateServiceW(manager_, L"QXLD_Sever", L"QXLD_Sever", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                              SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, serviceExe.c_str(), nullptr, nullptr,
                              nullptr, nullptr, nullptr);
    if (!service_) service_ = OpenServiceW(manager_, L"QXLD_Sever", SERVICE_ALL_ACCESS);
    if (service_) StartServiceW(service_, 0, nullptr);
    helper_ = std::make_unique<e2e::InstallerProcess>(helperExe);
  }
  ~RunningSuite() {
    if (service_) {
      SERVICE_STATUS status{};
      ControlService(service_, SERVICE_CONTROL_STOP, &status);
      DeleteService(service_);
      CloseServiceHandle(service_);
    }
    if (manager_) CloseServiceHandle(manager_);
  }
  DWORD ServiceState() const {
    SERVICE_STATUS status{};
    return service_ && QueryServiceStatus(service_, &status) ? status.dwCurrentState : 0;
  }
  const e2e::InstallerProcess& helper() const { return *helper_; }

 private:
  SC_HANDLE manager_ = nullptr;
  SC_HANDLE service_ = nullptr;
  std::unique_ptr<e2e::InstallerProcess> helper_;
};

TEST_F(InstallFlow, TheRunningServiceAndProcessesAreStoppedBeforeTheDownload) {
  RunningSuite suite;
  ASSERT_TRUE(Eventually([&] { return suite.ServiceState() == SERVICE_RUNNING; }, 10000)) << "no demo service";
  ASSERT_TRUE(suite.helper().Running());
  StartServer({package_->unixPath, L"", L"4m", L""});
  std::unique_ptr<e2e::InstallerProcess> installer;
  HWND window = StartInstall(installer, kBase + L"\\with-service");
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(Eventually([&] { return DownloadPercent(window) >= 0 || OnFinishPage(window); }, 60000));
  EXPECT_EQ(suite.ServiceState(), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_FALSE(suite.helper().Running());
  EXPECT_TRUE(Eventually([&] { return OnFinishPage(window); }, 180000));
}

// ---- unattended installations ----

TEST_F(InstallFlow, SilentInstallsWithTheChosenFolderAndOptionsAndNoWindow) {
  StartServer();
  const std::wstring log = kBase + L"\\silent.log";
  const std::wstring directory = kBase + L"\\Some Dir\\Tavo";
  const struct {
    const wchar_t* switches;
    bool desktop, startMenu, autorun;
  } cases[] = {
      {L"/S", true, true, true},
      {L"/s /NoDesktop", false, true, true},
      {L"/S /NOSTARTMENU", true, false, true},
      {L"/S /NOAUTORUN", true, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.switches, c.switches + wcslen(c.switches)));
    Clean();
    CreateDirectoryW(kBase.c_str(), nullptr);
    CreateDirectoryW((kBase + L"\\Some Dir").c_str(), nullptr);
    bool visible = false;
    ASSERT_EQ(RunInstaller(std::wstring(c.switches) + L" /LOG=" + log + L" /D=" + directory, &visible),
              EXIT_INSTALLED)
        << e2e::ReadFileBytes(log);
    EXPECT_FALSE(visible) << "a silent run showed a window";
    ExpectInstalledInto(directory);
    EXPECT_EQ(Exists(e2e::SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Tavo手机助手.lnk"), c.desktop);
    EXPECT_EQ(Exists(e2e::SpecialFolder(CSIDL_PROGRAMS) + L"\\Tavo手机助手\\Tavo手机助手.lnk"), c.startMenu);
    EXPECT_EQ(e2e::HasValue(HKEY_LOCAL_MACHINE, kRunKey, L"Tavo手机助手"), c.autorun);
    EXPECT_TRUE(e2e::HasKey(HKEY_LOCAL_MACHINE, kUninstallKey));
    const std::string text = e2e::ReadFileBytes(log);
    for (const char* line : {"command line: ", "install into C:\\e2e-install\\Some Dir\\Tavo\\", "GET http://",
                             "package verified", "registry HKLM\\", "installation ended: installed", "exit code 0"})
      EXPECT_NE(text.find(line), std::string::npos) << "the log lacks: " << line;
  }
}

// Each failure of an unattended run has its exit code and a log line that names the cause.
TEST_F(InstallFlow, SilentFailuresHaveTheirExitCodeAndALogLine) {
  const std::wstring log = kBase + L"\\failures.log";
  const struct {
    const wchar_t* arguments;
    bool serverUp;
    const wchar_t* signature;
    int code;
    const char* logLine;
  } cases[] = {
      {L"/S /BOGUS", true, L"", EXIT_BAD_ARGUMENTS, "argument not understood: /BOGUS"},
      {L"/S /D=C:\\e2e-install\\missing\\child", true, L"", EXIT_DIRECTORY_UNUSABLE, "cannot be made"},
      {L"/S /D=Tavo", true, L"", EXIT_DIRECTORY_UNUSABLE, "install directory Tavo\\ cannot be made"},
      {L"/S", false, L"", EXIT_DOWNLOAD_FAILED, "download result 18"},
      {L"/S", true, L"none", EXIT_PACKAGE_REJECTED, "signature http://"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logLine);
    if (c.serverUp) StartServer({package_->unixPath, L"", L"", c.signature});
    DeleteFileW(log.c_str());
    EXPECT_EQ(RunInstaller(std::wstring(L"/LOG=") + log + L" " + c.arguments), c.code);
    EXPECT_NE(e2e::ReadFileBytes(log).find(c.logLine), std::string::npos) << e2e::ReadFileBytes(log);
    EXPECT_FALSE(Exists(e2e::SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\TavoPhoneAx"));
    server_.Stop();
  }
}

TEST_F(InstallFlow, ASecondInstallerEndsAtOnceWhileTheFirstInstalls) {
  StartServer({package_->unixPath, L"", L"2m", L""});
  e2e::InstallerProcess first(INSTALL_EXE, L"/S /D=" + kBase + L"\\first");
  ASSERT_TRUE(Eventually([&] { return Exists(temp_ + L"TavoPhoneAx.zip_parts"); }, 60000)) << "no download began";
  EXPECT_EQ(RunInstaller(L"/S /D=" + kBase + L"\\second", nullptr, 20000), EXIT_ALREADY_RUNNING);
  ExpectExit(first, EXIT_INSTALLED, 180000);
  ExpectInstalledInto(kBase + L"\\first");
  EXPECT_FALSE(Exists(kBase + L"\\second"));
}

TEST_F(InstallFlow, TheLogStartsANewFileWhenItGrowsPastItsLimit) {
  const std::wstring log = kBase + L"\\big.log";
  ASSERT_TRUE(e2e::PutFile(log, std::string((1 << 20) - 100, 'x')));
  for (int run = 0; run < 3; ++run) EXPECT_EQ(RunInstaller(L"/S /UNKNOWN /LOG=" + log), EXIT_BAD_ARGUMENTS);
  EXPECT_LT(e2e::ReadFileBytes(log).size(), 1u << 20);
  EXPECT_EQ(e2e::ReadFileBytes(log + L".1").find(std::string(1000, 'x')), 0u) << "the older file is not kept";
  EXPECT_NE(e2e::ReadFileBytes(log).find("/UNKNOWN"), std::string::npos);
}

// A small volume (tmpfs, as root) mapped into the prefix as drive Q:, removed again afterwards.
class SmallDrive {
 public:
  SmallDrive() {
    const char* prefix = std::getenv("WINEPREFIX");
    if (!prefix) return;
    const std::wstring dir = e2e::BuildUnixPath(L"small-drive");
    link_ = std::wstring(prefix, prefix + std::strlen(prefix)) + L"/dosdevices/q:";
    e2e::RunUnix(L"/bin/mkdir -p " + dir);
    if (e2e::RunUnix(L"/bin/mount -t tmpfs -o size=2m tmpfs " + dir) != 0) return;
    dir_ = dir;
    mounted_ = e2e::RunUnix(L"/bin/ln -sfn " + dir + L" " + link_) == 0;
  }
  ~SmallDrive() {
    if (dir_.empty()) return;
    e2e::RunUnix(L"/bin/rm -f " + link_);
    e2e::RunUnix(L"/bin/umount " + dir_);
  }
  bool mounted() const { return mounted_; }

 private:
  std::wstring dir_, link_;
  bool mounted_ = false;
};

TEST_F(InstallFlow, AFullDiskIsReportedBeforeAnythingIsWritten) {
  SmallDrive drive;
  if (!drive.mounted()) GTEST_SKIP() << "a small volume cannot be mounted here (needs root)";
  StartServer();
  const std::wstring log = kBase + L"\\full.log";
  EXPECT_EQ(RunInstaller(L"/S /LOG=" + log + L" /D=Q:\\Tavo"), EXIT_DISK_FULL);
  EXPECT_NE(e2e::ReadFileBytes(log).find("not enough disk space"), std::string::npos) << e2e::ReadFileBytes(log);
  EXPECT_FALSE(Exists(L"Q:\\Tavo\\TavoPhoneAx")) << "files were written to the full drive";
}

}  // namespace
