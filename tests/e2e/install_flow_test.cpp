// The installation from end to end: the real Install.exe, worked through its window with the
// mouse or run silently, downloads the demo package from the loopback vendor server, verifies,
// extracts and registers it and starts the suite; and every way it can fail on the way.
//
// scripts/run uses InstallFlow.EveryPageFromSetupToTheStartedSuite to work the installer when
// there is no display: with WALKTHROUGH_SERVER_RUNNING=1 it serves the full package itself, and the
// test keeps what was installed.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/ids.h"
#include "system/suite.h"
#include "tests/e2e/support/driver.h"

namespace {

using namespace testsupport;

const wchar_t kNetworkFailedMessage[] =
    L"网络异常,安装失败.您可以直接下载完整的安装包进行安装，点击确定开始下载完整安装包!";
const wchar_t kExtractFailedMessage[] = L"解压文件失败,请使用管理员身份运行程序";

// The whole installation as a user sees it, into the default directory without a desktop link,
// with a screenshot of every page (build/screenshots/install-*.png); then the suite it started.
TEST_F(InstallFlow, EveryPageFromSetupToTheStartedSuite) {
  keepInstallation_ = std::getenv("WALKTHROUGH_SERVER_RUNNING") != nullptr;
  // Slowed as vendor servers are, so that the download page shows its speed.
  if (!keepInstallation_) StartServer({package_->unixPath, L"", L"1m", L""});
  Installer installer;
  HWND window = installer.Window();
  ASSERT_NE(window, nullptr);
  Shoot(window, L"install-setup");
  ClickCenter(GetDlgItem(window, IDC_CUSTOM_OPEN));
  ASSERT_TRUE(Eventually([&] { return Visible(window, IDC_BROWSE); }));
  Untick(window, IDC_DESKTOP_LABEL, IDC_DESKTOP_SHORTCUT);
  Shoot(window, L"install-setup-expanded");
  ClickCenter(GetDlgItem(window, IDC_INSTALL));

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
  const std::wstring directory = SpecialFolder(CSIDL_PROGRAM_FILES);
  if (!keepInstallation_) {
    EXPECT_TRUE(downloadShot && extractShot) << "the download page with its speed or the extracting page was not seen";
    ASSERT_GE(percents.size(), 2u) << "the download percentage did not move";
    for (size_t i = 1; i < percents.size(); ++i) EXPECT_GE(percents[i], percents[i - 1]) << "percentage went back";
    EXPECT_GE(server_.SegmentsServed().requests, 2) << "the package was not fetched in segments";
    ExpectInstalledInto(directory);
  }
  EXPECT_FALSE(Exists(temp_ + L"TavoPhoneAx.zip")) << "the package stays in the temporary directory";
  const std::wstring suite = directory + L"\\TavoPhoneAx\\Tavo.exe";
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, suite::kUninstallKey, L"UninstallString"),
            L"\"" + directory + L"\\TavoPhoneAx\\TavoUnInstall.exe\"");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, suite::kRunKey, suite::kProductName), L"\"" + suite + L"\"");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, suite::kVersionKey, suite::kVersionValue), L"1.07");
  ExpectRegistered(false, true, true);

  // "立即体验" starts the installed suite and ends the installer with 1005.
  ClickCenter(GetDlgItem(window, IDC_INSTALL));
  installer.ExpectExit(EXIT_AFTER_INSTALL);
  HWND suiteWindow = nullptr;
  ASSERT_TRUE(Eventually([&] { return (suiteWindow = FindWindowW(nullptr, suite::kProductName)) != nullptr; }))
      << "the suite did not start";
  Shoot(suiteWindow, L"install-suite");
  PostMessageW(suiteWindow, WM_CLOSE, 0, 0);
  EXPECT_TRUE(Eventually([&] { return !IsWindow(suiteWindow); })) << "the suite did not close";
}

// The browser command for http addresses, replaced by one that records what it was given, and
// put back as it was whatever the test's outcome.
class RecordingBrowser {
 public:
  explicit RecordingBrowser(const std::wstring& record) {
    previous_ = ReadString(HKEY_LOCAL_MACHINE, kKey, nullptr);
    Set(L"C:\\windows\\system32\\cmd.exe /c echo %1>" + record);
  }
  ~RecordingBrowser() {
    if (previous_) Set(*previous_);
    else RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, nullptr);
  }

 private:
  static void Set(const std::wstring& command) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, nullptr, REG_SZ, command.c_str(),
                    static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  }
  static constexpr const wchar_t* kKey = L"Software\\Classes\\http\\shell\\open\\command";
  std::optional<std::wstring> previous_;
};

TEST_F(InstallFlow, ServerDownOffersTheOfflineInstaller) {
  {  // Cancel ends the installer with 1005.
    Installer installer;
    HWND window = installer.Window();
    ASSERT_NE(window, nullptr);
    Install(window);
    installer.Answer(window, kNetworkFailedMessage, IDCANCEL);
    installer.ExpectExit(EXIT_AFTER_INSTALL);
  }
  // OK hands the offline installer's address to the browser and leaves the window open until its
  // close button ends it with 1009.
  const std::wstring record = kBase + L"\\opened-url.txt";
  RecordingBrowser browser(record);
  Installer installer;
  HWND window = installer.Window();
  ASSERT_NE(window, nullptr);
  Install(window);
  installer.Answer(window, kNetworkFailedMessage, IDOK);
  ASSERT_TRUE(Eventually([&] { return !ReadFileBytes(record).empty(); })) << "no address was opened";
  EXPECT_NE(ReadFileBytes(record).find("http://" VENDOR_SERVER_NARROW "/consezip/InStallComplete.exe"), std::string::npos)
      << ReadFileBytes(record);
  EXPECT_TRUE(Visible(window, IDC_PROGRESS));
  ClickCenter(GetDlgItem(window, IDC_CLOSE));
  installer.ExpectExit(EXIT_CLOSED);
}

// A package already in the temporary directory is checked like a download: the vendor's own is
// installed without being fetched again; anything else is replaced by the server's package.
TEST_F(InstallFlow, APackageInTheTemporaryDirectoryIsUsedOnlyWhenItIsTheVendors) {
  const std::wstring older = AlteredPackage(*package_, L"older");
  ASSERT_TRUE(SignFile(older));  // validly signed, but not what the server names by its md5
  StartServer();
  const struct {
    std::wstring planted;
    bool fetched;
  } cases[] = {
      {package_->windowsPath, false},
      {package_->windowsPath + L".sig", true},  // other content
      {BuildWindowsPath(L"e2e\\older\\TavoPhoneAx.zip"), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.planted));
    RemoveTree(kBase + L"\\TavoPhoneAx");
    ASSERT_TRUE(CopyFileW(c.planted.c_str(), (temp_ + L"TavoPhoneAx.zip").c_str(), FALSE));
    const int requestsBefore = server_.SegmentsServed().requests;
    EXPECT_EQ(RunSilently(L"/D=" + kBase), EXIT_INSTALLED);
    EXPECT_EQ(server_.SegmentsServed().requests > requestsBefore, c.fetched);
    ExpectInstalledInto(kBase);
  }
}

// A damaged package that the vendor did sign: the extraction fails with its own message and the
// installer's, ends with 1005, deletes the package, and the next run downloads it afresh.
TEST_F(InstallFlow, ASignedButDamagedPackageFailsTheExtractionAndIsFetchedAgain) {
  const std::wstring damaged = AlteredPackage(*package_, L"damaged");
  ASSERT_TRUE(SignFile(damaged));
  StartServer({damaged, L"", L"", L""});
  {
    Installer installer;
    HWND window = installer.Window();
    ASSERT_NE(window, nullptr);
    Install(window, kBase);
    HWND first = WaitForMessageBox(installer.id(), 120000, window);
    ASSERT_NE(first, nullptr) << "the extraction said nothing";
    EXPECT_EQ(MessageBoxText(first).rfind(L"未解压完全!", 0), 0u) << "the extraction's own message is missing";
    ClickCenter(GetDlgItem(first, IDOK));
    Eventually([&] { return !IsWindow(first); }, 5000);
    installer.Answer(window, kExtractFailedMessage, IDOK);
    installer.ExpectExit(EXIT_AFTER_INSTALL);
  }
  EXPECT_FALSE(Exists(temp_ + L"TavoPhoneAx.zip")) << "the damaged package stays and would block every run";
  StartServer();
  EXPECT_EQ(RunSilently(L"/D=" + kBase), EXIT_INSTALLED);
  ExpectInstalledInto(kBase);
}

// A run closed during the download, one killed during it, one closed during the extraction: each
// ends at once (without waiting for the transfer or the extraction to finish) and the part files
// stay. The last run, without the start at logon, continues them, installs identical files, and
// first stops the suite's service and processes left running by an earlier installation.
TEST_F(InstallFlow, InterruptedRunsResumeAndInstallIdenticalFiles) {
  // The same server throughout: a new copy of the package would have a new validator, and parts
  // of another file are never continued.
  StartServer({package_->unixPath, L"", L"512k", L""});
  const std::wstring log = temp_ + L"TavoInstall.log";
  for (const int stopAt : {20, 40}) {
    DeleteFileW(log.c_str());
    Installer installer;
    HWND window = installer.Window();
    ASSERT_NE(window, nullptr);
    Install(window, kBase);
    ASSERT_TRUE(Eventually([&] { return DownloadPercent(window) >= stopAt; }, 120000)) << "no progress";
    if (stopAt == 40) continue;  // killed: the process is terminated here, mid-download
    ClickCenter(GetDlgItem(window, IDC_CLOSE));
    // Far less than the rest of the download takes at this rate: the close cancels it.
    installer.ExpectExit(EXIT_CLOSED, 4000);
    EXPECT_NE(ReadFileBytes(log).find("installation ended: cancelled"), std::string::npos) << ReadFileBytes(log);
    EXPECT_TRUE(Exists(temp_ + L"TavoPhoneAx.zip_0")) << "the part files were not kept";
  }
  const std::uint64_t sentBefore = server_.SegmentsServed().bytes;
  {
    Installer installer;
    HWND window = installer.Window();
    ASSERT_NE(window, nullptr);
    Install(window, kBase);
    ASSERT_TRUE(Eventually([&] { return Extracting(window) || OnFinishPage(window); }, 120000));
    ClickCenter(GetDlgItem(window, IDC_CLOSE));
    installer.ExpectExit(EXIT_CLOSED);
  }
  EXPECT_LT(server_.SegmentsServed().bytes - sentBefore, package_->size * 85 / 100) << "the parts were not continued";

  // At full speed, and without what the closed run may have registered before the close came.
  StartServer();
  RemoveRegistration();
  InstalledSuiteService service(false);
  ASSERT_TRUE(service.running()) << "no demo service, error " << service.error();
  Process helper = RunningCopy(kBase + L"\\TavoPhoneAx", L"QXLD_Helper.exe");
  Process bystander = RunningCopy(kBase + L"\\other-tool", L"QXLD_Helper.exe");  // the same name, not the suite's
  ASSERT_TRUE(helper.Running() && bystander.Running());
  Installer installer;
  HWND window = installer.Window();
  ASSERT_NE(window, nullptr);
  Install(window, kBase, IDC_AUTORUN_LABEL, IDC_AUTORUN);
  ASSERT_TRUE(Eventually([&] { return DownloadPercent(window) >= 0 || Extracting(window) || OnFinishPage(window); }, 60000));
  EXPECT_EQ(SuiteServiceState(), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_FALSE(helper.Running());
  EXPECT_TRUE(bystander.Running()) << "a program of the suite's name outside its folder was ended";
  ASSERT_TRUE(Eventually([&] { return OnFinishPage(window); }, 180000)) << "the finish page never came";
  ExpectInstalledInto(kBase);
  ExpectRegistered(true, true, false);
}

// ---- unattended installations ----

TEST_F(InstallFlow, SilentInstallsWithTheChosenFolderAndOptionsAndNoWindow) {
  StartServer();
  const std::wstring log = kBase + L"\\silent.log";
  const std::wstring directory = kBase + L"\\Some Dir\\Tavo";
  const struct {
    const wchar_t* switches;
    bool desktop, startMenu, autorun;
  } cases[] = {{L"/S /NOSTARTMENU", true, false, true}, {L"/s /NoDesktop /noautorun", false, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.switches)));
    Clean();
    CreateDirectoryW(kBase.c_str(), nullptr);
    CreateDirectoryW((kBase + L"\\Some Dir").c_str(), nullptr);
    bool visible = false;
    ASSERT_EQ(Installer(std::wstring(c.switches) + L" /LOG=" + log + L" /D=" + directory).Result(&visible), EXIT_INSTALLED)
        << ReadFileBytes(log);
    EXPECT_FALSE(visible) << "a silent run showed a window";
    ExpectInstalledInto(directory);
    ExpectRegistered(c.desktop, c.startMenu, c.autorun);
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, suite::kUninstallKey));
    const std::string text = ReadFileBytes(log);
    for (const char* line : {"command line: ", "install into C:\\e2e-install\\Some Dir\\Tavo\\", "GET http://",
                             "package verified", "registry HKLM\\", "installation ended: installed", "exit code 0"})
      EXPECT_NE(text.find(line), std::string::npos) << "the log lacks: " << line;
  }
}

// Each failure of an unattended run has its exit code and a log line that names the cause; of
// whatever a hostile server serves in place of the vendor's signed package nothing is extracted
// or kept.
TEST_F(InstallFlow, SilentFailuresHaveTheirExitCodeAndALogLine) {
  const std::wstring altered = AlteredPackage(*package_, L"altered");
  ASSERT_TRUE(SignFile(altered, true));  // with a key Install.exe does not trust
  const std::wstring otherKeySig = BuildUnixPath(L"e2e/other-key.sig");
  ASSERT_EQ(RunUnix(L"/bin/mv " + altered + L".sig " + otherKeySig), 0);
  const std::wstring log = kBase + L"\\failures.log";
  const std::wstring vendors = package_->unixPath;
  const struct {
    const wchar_t* arguments;
    VendorServer::Options server;  // no package: the server is down
    int code;
    const char* logLine;
  } cases[] = {
      {L"/BOGUS", {vendors}, EXIT_BAD_ARGUMENTS, "argument not understood: /BOGUS"},
      {L"/D=C:\\e2e-install\\missing\\child", {vendors}, EXIT_DIRECTORY_UNUSABLE, "cannot be made"},
      {L"/D=Tavo", {vendors}, EXIT_DIRECTORY_UNUSABLE, "install directory Tavo\\ cannot be made"},
      {L"", {}, EXIT_DOWNLOAD_FAILED, "download result 18"},
      {L"", {vendors, L"0123456789abcdef0123456789abcdef"}, EXIT_PACKAGE_REJECTED, "differs from the address's"},
      {L"", {vendors, L"", L"", L"none"}, EXIT_PACKAGE_REJECTED, "signature http://"},
      {L"", {altered, L"", L"", otherKeySig}, EXIT_PACKAGE_REJECTED, "does not verify"},
      {L"", {altered, L"", L"", vendors + L".sig"}, EXIT_PACKAGE_REJECTED, "does not verify"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logLine);
    if (!c.server.packageUnixPath.empty()) StartServer(c.server);
    DeleteFileW(log.c_str());
    EXPECT_EQ(RunSilently(L"/LOG=" + log + L" " + c.arguments), c.code);
    EXPECT_NE(ReadFileBytes(log).find(c.logLine), std::string::npos) << ReadFileBytes(log);
    EXPECT_FALSE(Exists(SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\TavoPhoneAx")) << "something was extracted";
    EXPECT_FALSE(Exists(temp_ + L"TavoPhoneAx.zip")) << "the rejected package was kept";
    server_.Stop();
  }
}

TEST_F(InstallFlow, ASecondInstallerEndsAtOnceWhileTheFirstInstalls) {
  StartServer({package_->unixPath, L"", L"2m", L""});
  Installer first(L"/S /D=" + kBase + L"\\first");
  ASSERT_TRUE(Eventually([&] { return Exists(temp_ + L"TavoPhoneAx.zip_parts"); }, 60000)) << "no download began";
  EXPECT_EQ(Installer(L"/S /D=" + kBase + L"\\second").Result(nullptr, 20000), EXIT_ALREADY_RUNNING);
  EXPECT_EQ(first.Result(), EXIT_INSTALLED);
  ExpectInstalledInto(kBase + L"\\first");
  EXPECT_FALSE(Exists(kBase + L"\\second"));
}

TEST_F(InstallFlow, TheLogStartsANewFileWhenItGrowsPastItsLimit) {
  const std::wstring log = kBase + L"\\big.log";
  ASSERT_TRUE(PutFile(log, std::string((1 << 20) - 100, 'x')));
  for (int run = 0; run < 3; ++run) EXPECT_EQ(RunSilently(L"/UNKNOWN /LOG=" + log), EXIT_BAD_ARGUMENTS);
  EXPECT_LT(ReadFileBytes(log).size(), 1u << 20);
  EXPECT_EQ(ReadFileBytes(log + L".1").find(std::string(1000, 'x')), 0u) << "the older file is not kept";
  EXPECT_NE(ReadFileBytes(log).find("/UNKNOWN"), std::string::npos);
}

// A small volume (tmpfs, as root) mapped into the prefix as drive Q:, removed again afterwards.
struct SmallDrive {
  SmallDrive() {
    const char* prefix = std::getenv("WINEPREFIX");
    if (!prefix) return;
    link = std::wstring(prefix, prefix + std::strlen(prefix)) + L"/dosdevices/q:";
    RunUnix(L"/bin/mkdir -p " + dir);
    mounted = RunUnix(L"/bin/mount -t tmpfs -o size=2m tmpfs " + dir) == 0 && RunUnix(L"/bin/ln -sfn " + dir + L" " + link) == 0;
  }
  ~SmallDrive() {
    if (!link.empty()) RunUnix(L"/bin/rm -f " + link + L"; /bin/umount " + dir);
  }
  const std::wstring dir = BuildUnixPath(L"small-drive");
  std::wstring link;
  bool mounted = false;
};

TEST_F(InstallFlow, AFullDiskIsReportedBeforeAnythingIsWritten) {
  SmallDrive drive;
  if (!drive.mounted) GTEST_SKIP() << "a small volume cannot be mounted here (needs root)";
  StartServer();
  const std::wstring log = kBase + L"\\full.log";
  EXPECT_EQ(RunSilently(L"/LOG=" + log + L" /D=Q:\\Tavo"), EXIT_DISK_FULL);
  EXPECT_NE(ReadFileBytes(log).find("not enough disk space"), std::string::npos) << ReadFileBytes(log);
  EXPECT_FALSE(Exists(L"Q:\\Tavo\\TavoPhoneAx")) << "files were written to the full drive";
}

}  // namespace
