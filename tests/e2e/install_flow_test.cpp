// The installation from end to end: the real Install.exe, worked through its window with the
// mouse, downloads the demo package from the loopback vendor server, extracts it, registers the
// suite and starts it; and every way it can fail on the way.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/support/driver.h"
#include "tests/e2e/support/system_state.h"
#include "tests/e2e/support/vendor_server.h"

namespace {

using e2e::Eventually;
using e2e::Exists;

constexpr int kInstall = 1005, kAgree = 1006, kCustomOpen = 1007, kClose = 1009, kEditField = 1214;
constexpr int kFeature1 = 1221, kProgressText = 1229, kProgress = 1230, kDownloadPercent = 1231;

const wchar_t kDirectoryMessage[] = L"未知的位置,请确定目录是否存在或手动创建目录";
const wchar_t kNetworkFailedMessage[] =
    L"网络异常,安装失败.您可以直接下载完整的安装包进行安装，点击确定开始下载完整安装包!";
const wchar_t kExtractFailedMessage[] = L"解压文件失败,请使用管理员身份运行程序";

const std::wstring kBase = L"C:\\e2e-install";
// A server that is down is given up on after 5 s instead of 120.
const wchar_t kQuickRetry[] = L"/RETRY=5";
const std::wstring kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavo手机助手";
const std::wstring kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kVersionKey = L"Software\\QXLDvesion";
const std::wstring kUrlCommandKey = L"Software\\Classes\\http\\shell\\open\\command";

bool Visible(HWND window, int id) { return IsWindowVisible(GetDlgItem(window, id)) != FALSE; }

// The download percentage shown, or -1 while none is.
int DownloadPercent(HWND window) {
  if (!Visible(window, kDownloadPercent)) return -1;
  const std::wstring text = e2e::WindowText(GetDlgItem(window, kDownloadPercent));
  return text.empty() ? -1 : _wtoi(text.c_str());
}

bool OnFinishPage(HWND window) {
  return Visible(window, kInstall) && e2e::WindowText(GetDlgItem(window, kInstall)) == L"立即体验";
}

// Compares every file below `expected` with the same name below `actual`.
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

class InstallFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    bool ok = false;
    package_ = &e2e::TheDemoPackage(&ok);
    ASSERT_TRUE(ok) << "the demo package could not be made";
    temp_ = e2e::TempDirectory();
    RemovePackageFromTemp();
    e2e::RemoveTree(kBase);
    CreateDirectoryW(kBase.c_str(), nullptr);
    RemoveRegistration();
  }

  void TearDown() override {
    server_.Stop();
    e2e::RemoveUninstallerCopies(temp_);
    RemovePackageFromTemp();
    RemoveRegistration();
    e2e::RemoveTree(kBase);
  }

  void RemovePackageFromTemp() {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((temp_ + L"TavoPhoneAx.zip*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
      DeleteFileW((temp_ + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }

  static void RemoveRegistration() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey.c_str());
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey.c_str(), L"Tavo手机助手");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kRunKey + L"\\Tavo手机助手").c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, kVersionKey.c_str());
    DeleteFileW((e2e::SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Tavo手机助手.lnk").c_str());
    e2e::RemoveTree(e2e::SpecialFolder(CSIDL_PROGRAMS) + L"\\Tavo手机助手");
  }

  void StartServer(e2e::VendorServer::Options options = {}) {
    if (options.packageUnixPath.empty()) options.packageUnixPath = package_->unixPath;
    ASSERT_TRUE(server_.Start(options)) << "the vendor server did not start (is " VENDOR_SERVER_NARROW " taken?)";
  }

  // Starts the installer and returns its window.
  HWND Launch(std::unique_ptr<e2e::InstallerProcess>& installer) {
    installer = std::make_unique<e2e::InstallerProcess>(INSTALL_EXE, kQuickRetry);
    EXPECT_TRUE(installer->started());
    HWND window = installer->WaitForMainWindow();
    EXPECT_NE(window, nullptr) << "the installer shows no window";
    return window;
  }

  // Opens the custom-install options and types `directory` into the directory field.
  static void ChooseDirectory(HWND window, const std::wstring& directory) {
    e2e::ClickCenter(GetDlgItem(window, kCustomOpen));
    HWND field = FindWindowExW(window, nullptr, L"WTL_BitmapEditControl", nullptr);
    ASSERT_NE(field, nullptr);
    HWND edit = GetDlgItem(field, kEditField);
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(directory.c_str()));
  }

  // Waits for the finish page, collecting the download percentages shown and whether the
  // extracting display appeared on the way.
  static bool WaitForFinish(HWND window, std::vector<int>* percents = nullptr, bool* sawExtracting = nullptr) {
    return Eventually(
        [&] {
          const int percent = DownloadPercent(window);
          if (percents && percent >= 0 && (percents->empty() || percents->back() != percent))
            percents->push_back(percent);
          if (sawExtracting && e2e::WindowText(GetDlgItem(window, kProgressText)) == L"正在解压文件")
            *sawExtracting = true;
          return OnFinishPage(window);
        },
        180000);
  }

  // Answers the installer's next message box with `button` after checking its text.
  static void Answer(const e2e::InstallerProcess& installer, HWND window, const std::wstring& text, int button) {
    HWND box = e2e::WaitForMessageBox(installer.id(), 120000, window);
    ASSERT_NE(box, nullptr) << "no message box came";
    if (!text.empty()) EXPECT_EQ(e2e::MessageBoxText(box), text);
    EXPECT_EQ(e2e::WindowText(box), L"提示");
    e2e::ClickCenter(GetDlgItem(box, button));
    Eventually([&] { return !IsWindow(box); }, 5000);
  }

  void InstallInto(const std::wstring& directory, std::unique_ptr<e2e::InstallerProcess>& installer, HWND* window) {
    *window = Launch(installer);
    ASSERT_NE(*window, nullptr);
    ChooseDirectory(*window, directory);
    e2e::ClickCenter(GetDlgItem(*window, kInstall));
    ASSERT_TRUE(WaitForFinish(*window)) << "the finish page never came";
  }

  const e2e::DemoPackage* package_ = nullptr;
  std::wstring temp_;
  e2e::VendorServer server_;
};

TEST_F(InstallFlow, InstallsTheSuiteRegistersItAndStartsIt) {
  StartServer({package_->unixPath, L"", L"1m"});
  std::unique_ptr<e2e::InstallerProcess> installer;
  HWND window = Launch(installer);
  ASSERT_NE(window, nullptr);
  const std::wstring directory = kBase + L"\\happy";
  CreateDirectoryW(directory.c_str(), nullptr);
  ChooseDirectory(window, directory);  // without the final backslash: the installer adds it
  e2e::ClickCenter(GetDlgItem(window, kInstall));

  ASSERT_TRUE(Eventually([&] { return Visible(window, kProgress); })) << "no progress page";
  EXPECT_TRUE(Visible(window, kFeature1));
  EXPECT_FALSE(Visible(window, kAgree));
  std::vector<int> percents;
  bool sawExtracting = false;
  ASSERT_TRUE(WaitForFinish(window, &percents, &sawExtracting)) << "the finish page never came";
  std::string shown;
  for (int percent : percents) shown += std::to_string(percent) + "% ";
  ASSERT_GE(percents.size(), 2u) << "the download percentage did not move: " << shown;
  for (size_t i = 1; i < percents.size(); ++i) EXPECT_GE(percents[i], percents[i - 1]) << "percentage went back";
  EXPECT_TRUE(sawExtracting) << "the extracting display was never shown";
  EXPECT_GE(server_.SegmentRequests(), 2) << "the package was not fetched in segments";

  int files = 0;
  ExpectSameTree(package_->treePath, directory + L"\\TavoPhoneAx", &files);
  EXPECT_GT(files, 100);
  EXPECT_FALSE(Exists(temp_ + L"TavoPhoneAx.zip")) << "the package stays in the temporary directory";

  const std::wstring suite = directory + L"\\TavoPhoneAx\\Tavo.exe";
  const std::wstring uninstaller = directory + L"\\TavoPhoneAx\\TavoUnInstall.exe";
  std::wstring data;
  DWORD type = 0, bytes = 0;
  ASSERT_TRUE(e2e::ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString", &data));
  EXPECT_EQ(data, L"\"" + uninstaller + L"\"");
  ASSERT_TRUE(e2e::ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName", &data));
  EXPECT_EQ(data, L"Tavo手机助手");
  ASSERT_TRUE(e2e::ReadString(HKEY_LOCAL_MACHINE, kRunKey, L"Tavo手机助手", &data));
  EXPECT_EQ(data, L"\"" + suite + L"\"");
  ASSERT_TRUE(e2e::ReadString(HKEY_CURRENT_USER, kVersionKey, L"CurrentVesion", &data, &type, &bytes));
  EXPECT_EQ(data, L"1.07");
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_TRUE(Exists(e2e::SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Tavo手机助手.lnk"));
  const std::wstring startMenu = e2e::SpecialFolder(CSIDL_PROGRAMS) + L"\\Tavo手机助手";
  EXPECT_TRUE(Exists(startMenu + L"\\Tavo手机助手.lnk"));
  EXPECT_TRUE(Exists(startMenu + L"\\Tavo手机助手卸载.lnk"));

  // "立即体验" starts the installed suite and ends the installer.
  e2e::ClickCenter(GetDlgItem(window, kInstall));
  DWORD code = 0;
  ASSERT_TRUE(installer->WaitForExit(10000, &code));
  EXPECT_EQ(code, 1005u);
  HWND suiteWindow = nullptr;
  EXPECT_TRUE(Eventually([&] { return (suiteWindow = FindWindowW(nullptr, L"Tavo手机助手")) != nullptr; }))
      << "the suite did not start";
  if (suiteWindow) PostMessageW(suiteWindow, WM_CLOSE, 0, 0);
}

TEST_F(InstallFlow, WithoutTheAgreementOnlyTheDirectoryIsCreated) {
  StartServer();
  std::unique_ptr<e2e::InstallerProcess> installer;
  HWND window = Launch(installer);
  ASSERT_NE(window, nullptr);

  // A directory whose parent is missing: the message, nothing created, the page unchanged.
  ChooseDirectory(window, kBase + L"\\missing\\child\\");
  e2e::ClickCenter(GetDlgItem(window, kInstall));
  Answer(*installer, window, kDirectoryMessage, IDOK);
  EXPECT_FALSE(Exists(kBase + L"\\missing"));
  EXPECT_TRUE(Visible(window, kInstall));
  EXPECT_FALSE(Visible(window, kProgress));

  // Agreement unchecked: the one directory level is made, nothing else happens.
  e2e::ClickCenter(GetDlgItem(window, kAgree));
  ASSERT_TRUE(Eventually([&] { return SendMessageW(GetDlgItem(window, kAgree), BM_GETCHECK, 0, 0) == BST_UNCHECKED; },
                         3000))
      << "the agreement box did not take the click";
  ChooseDirectory(window, kBase + L"\\no-agreement");
  e2e::ClickCenter(GetDlgItem(window, kInstall));
  Sleep(1500);
  EXPECT_TRUE(Exists(kBase + L"\\no-agreement"));
  EXPECT_TRUE(Visible(window, kInstall));
  EXPECT_FALSE(Visible(window, kProgress));
  EXPECT_EQ(e2e::WaitForMessageBox(installer->id(), 500, window), nullptr);
  EXPECT_EQ(server_.SegmentRequests(), 0);
}

TEST_F(InstallFlow, ServerDownOffersTheOfflineInstaller) {
  // Cancel ends the installer with 1005.
  {
    std::unique_ptr<e2e::InstallerProcess> installer;
    HWND window = Launch(installer);
    ASSERT_NE(window, nullptr);
    ChooseDirectory(window, kBase);
    e2e::ClickCenter(GetDlgItem(window, kInstall));
    Answer(*installer, window, kNetworkFailedMessage, IDCANCEL);
    DWORD code = 0;
    ASSERT_TRUE(installer->WaitForExit(10000, &code));
    EXPECT_EQ(code, 1005u);
  }

  // OK hands the offline installer's address to the browser (here a command that records it)
  // and leaves the window open until its close button ends it with 1009.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUrlCommandKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  wchar_t previous[1024] = {};
  DWORD previousSize = sizeof(previous);
  const bool hadPrevious =
      RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(previous), &previousSize) == ERROR_SUCCESS;
  const std::wstring record = kBase + L"\\opened-url.txt";
  const std::wstring command = L"C:\\windows\\system32\\cmd.exe /c echo %1>" + record;
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));

  std::unique_ptr<e2e::InstallerProcess> installer;
  HWND window = Launch(installer);
  ChooseDirectory(window, kBase);
  e2e::ClickCenter(GetDlgItem(window, kInstall));
  Answer(*installer, window, kNetworkFailedMessage, IDOK);
  const bool opened = Eventually([&] { return !e2e::ReadFileBytes(record).empty(); });

  if (hadPrevious)
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(previous), previousSize);
  RegCloseKey(key);

  ASSERT_TRUE(opened) << "the offline installer's address was not opened";
  EXPECT_NE(e2e::ReadFileBytes(record).find("http://" + std::string(VENDOR_SERVER_NARROW) + "/consezip/InStallComplete.exe"),
            std::string::npos)
      << e2e::ReadFileBytes(record);
  Sleep(500);
  ASSERT_TRUE(installer->Running());
  EXPECT_TRUE(Visible(window, kProgress));
  e2e::ClickCenter(GetDlgItem(window, kClose));
  DWORD code = 0;
  ASSERT_TRUE(installer->WaitForExit(10000, &code));
  EXPECT_EQ(code, 1009u);
}

TEST_F(InstallFlow, APackageAlreadyInTheTemporaryDirectoryIsNotDownloadedAgain) {
  ASSERT_TRUE(CopyFileW(package_->windowsPath.c_str(), (temp_ + L"TavoPhoneAx.zip").c_str(), FALSE));
  StartServer();
  std::unique_ptr<e2e::InstallerProcess> installer;
  HWND window = nullptr;
  InstallInto(kBase, installer, &window);
  EXPECT_EQ(server_.SegmentRequests(), 0) << "the package was downloaded again";
  int files = 0;
  ExpectSameTree(package_->treePath, kBase + L"\\TavoPhoneAx", &files);

  // The server is still asked first: without it the run is a network failure.
  server_.Stop();
  ASSERT_TRUE(CopyFileW(package_->windowsPath.c_str(), (temp_ + L"TavoPhoneAx.zip").c_str(), FALSE));
  installer.reset();
  window = Launch(installer);
  ChooseDirectory(window, kBase);
  e2e::ClickCenter(GetDlgItem(window, kInstall));
  Answer(*installer, window, kNetworkFailedMessage, IDCANCEL);
}

// A copy of the demo package with one byte of an item's data changed, under build/e2e/NAME/.
std::wstring AlteredPackage(const e2e::DemoPackage& package, const std::wstring& name) {
  std::string bytes = e2e::ReadFileBytes(package.windowsPath);
  bytes[bytes.size() / 2] ^= 0x5A;
  CreateDirectoryW(e2e::BuildWindowsPath(L"e2e\\" + name).c_str(), nullptr);
  EXPECT_TRUE(e2e::PutFile(e2e::BuildWindowsPath(L"e2e\\" + name + L"\\TavoPhoneAx.zip"), bytes));
  return e2e::BuildUnixPath(L"e2e/" + name + L"/TavoPhoneAx.zip");
}

// Whatever a hostile server or network serves in place of the vendor's signed package, nothing of
// it is extracted: the package is deleted and the user sees the network-failure box.
TEST_F(InstallFlow, OnlyTheVendorsSignedPackageIsEverExtracted) {
  const std::wstring altered = AlteredPackage(*package_, L"altered");
  ASSERT_TRUE(e2e::SignFile(altered, true));  // altered.sig: made with a key Install.exe does not trust
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
    HWND window = Launch(installer);
    ChooseDirectory(window, kBase);
    e2e::ClickCenter(GetDlgItem(window, kInstall));
    Answer(*installer, window, kNetworkFailedMessage, IDCANCEL);
    EXPECT_FALSE(Exists(temp_ + L"TavoPhoneAx.zip")) << "the rejected package was kept";
    EXPECT_FALSE(Exists(kBase + L"\\TavoPhoneAx")) << "something of the rejected package was extracted";
  }
}

// A package planted in the temporary directory is checked like a download: the server's own is
// fetched and installed instead.
TEST_F(InstallFlow, APlantedPackageIsReplacedByTheServersOwn) {
  const std::wstring older = AlteredPackage(*package_, L"older");
  ASSERT_TRUE(e2e::SignFile(older));  // validly signed, but not what the server names by its md5
  StartServer();
  // Other content (any file that is not the package: its signature file will do), and a validly
  // signed package with another md5.
  for (const std::wstring& planted :
       {package_->windowsPath + L".sig", e2e::BuildWindowsPath(L"e2e\\older\\TavoPhoneAx.zip")}) {
    SCOPED_TRACE(std::string(planted.begin(), planted.end()));
    e2e::RemoveTree(kBase + L"\\TavoPhoneAx");
    ASSERT_TRUE(CopyFileW(planted.c_str(), (temp_ + L"TavoPhoneAx.zip").c_str(), FALSE));
    std::unique_ptr<e2e::InstallerProcess> installer;
    HWND window = nullptr;
    const int requestsBefore = server_.SegmentRequests();
    InstallInto(kBase, installer, &window);
    EXPECT_GT(server_.SegmentRequests(), requestsBefore) << "the planted package was not replaced";
    int files = 0;
    ExpectSameTree(package_->treePath, kBase + L"\\TavoPhoneAx", &files);
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
    HWND window = Launch(installer);
    ChooseDirectory(window, kBase);
    e2e::ClickCenter(GetDlgItem(window, kInstall));
    HWND first = e2e::WaitForMessageBox(installer->id(), 120000, window);
    ASSERT_NE(first, nullptr) << "the extraction said nothing";
    EXPECT_NE(e2e::MessageBoxText(first), kExtractFailedMessage) << "the extraction's own message is missing";
    e2e::ClickCenter(GetDlgItem(first, IDOK));
    Eventually([&] { return !IsWindow(first); }, 5000);
    Answer(*installer, window, kExtractFailedMessage, IDOK);
    DWORD code = 0;
    ASSERT_TRUE(installer->WaitForExit(10000, &code));
    EXPECT_EQ(code, 1005u);
  }
  EXPECT_FALSE(Exists(temp_ + L"TavoPhoneAx.zip")) << "the damaged package stays and would block every run";

  StartServer();
  std::unique_ptr<e2e::InstallerProcess> installer;
  HWND window = nullptr;
  InstallInto(kBase, installer, &window);
  EXPECT_GE(server_.SegmentRequests(), 1) << "the package was not downloaded again";
}

TEST_F(InstallFlow, AnInterruptedDownloadResumesAndInstallsIdenticalFiles) {
  StartServer({package_->unixPath, L"", L"1m"});
  {
    std::unique_ptr<e2e::InstallerProcess> installer;
    HWND window = Launch(installer);
    ChooseDirectory(window, kBase);
    e2e::ClickCenter(GetDlgItem(window, kInstall));
    ASSERT_TRUE(Eventually([&] { return DownloadPercent(window) >= 30; }, 120000)) << "the download did not progress";
  }  // the installer is terminated here, mid-download
  // The server logs a request when it notices the closed connection.
  ASSERT_TRUE(Eventually([&] { return server_.SegmentRequests() >= 2; }, 10000));
  const std::uint64_t firstRun = server_.SegmentBytesSent();

  std::unique_ptr<e2e::InstallerProcess> installer;
  HWND window = nullptr;
  InstallInto(kBase, installer, &window);
  const std::uint64_t secondRun = server_.SegmentBytesSent() - firstRun;
  EXPECT_LT(secondRun, package_->size * 85 / 100) << "the second run did not continue the parts";
  int files = 0;
  ExpectSameTree(package_->treePath, kBase + L"\\TavoPhoneAx", &files);
}

// The suite's service and helper, running from an earlier installation.
class RunningSuite {
 public:
  RunningSuite() {
    const std::wstring folder = kBase + L"\\old-suite";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring serviceExe = folder + L"\\QXLD_Sever.exe";
    helperExe_ = folder + L"\\QXLD_Helper.exe";
    CopyFileW((std::wstring(DEMO_SUITE_DIR) + L"\\QXLD_Sever.exe").c_str(), serviceExe.c_str(), FALSE);
    CopyFileW((std::wstring(DEMO_SUITE_DIR) + L"\\QXLD_Helper.exe").c_str(), helperExe_.c_str(), FALSE);
    manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    service_ = CreateServiceW(manager_, L"QXLD_Sever", L"QXLD_Sever", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                              SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, serviceExe.c_str(), nullptr, nullptr,
                              nullptr, nullptr, nullptr);
    if (!service_) service_ = OpenServiceW(manager_, L"QXLD_Sever", SERVICE_ALL_ACCESS);
    if (service_) StartServiceW(service_, 0, nullptr);
    helper_ = std::make_unique<e2e::InstallerProcess>(helperExe_);
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
  bool ServiceRunning() const {
    SERVICE_STATUS status{};
    return service_ && QueryServiceStatus(service_, &status) && status.dwCurrentState == SERVICE_RUNNING;
  }
  bool ServiceStopped() const {
    SERVICE_STATUS status{};
    return service_ && QueryServiceStatus(service_, &status) && status.dwCurrentState == SERVICE_STOPPED;
  }
  const e2e::InstallerProcess& helper() const { return *helper_; }

 private:
  std::wstring helperExe_;
  SC_HANDLE manager_ = nullptr;
  SC_HANDLE service_ = nullptr;
  std::unique_ptr<e2e::InstallerProcess> helper_;
};

TEST_F(InstallFlow, TheRunningServiceAndProcessesAreStoppedBeforeExtraction) {
  RunningSuite suite;
  ASSERT_TRUE(Eventually([&] { return suite.ServiceRunning(); }, 10000)) << "the demo service did not start";
  ASSERT_TRUE(suite.helper().Running());

  StartServer({package_->unixPath, L"", L"4m"});
  std::unique_ptr<e2e::InstallerProcess> installer;
  HWND window = Launch(installer);
  ChooseDirectory(window, kBase + L"\\with-service");
  e2e::ClickCenter(GetDlgItem(window, kInstall));
  // The stop step runs before the worker starts, so by the first download percentage both are gone.
  ASSERT_TRUE(Eventually([&] { return DownloadPercent(window) >= 0 || OnFinishPage(window); }, 60000));
  EXPECT_TRUE(suite.ServiceStopped());
  EXPECT_FALSE(suite.helper().Running());
  EXPECT_TRUE(WaitForFinish(window));
}

TEST_F(InstallFlow, TheSuitesUninstallerRemovesWhatTheInstallerRegistered) {
  StartServer();
  std::unique_ptr<e2e::InstallerProcess> installer;
  HWND window = nullptr;
  const std::wstring directory = kBase + L"\\to-uninstall\\";
  CreateDirectoryW(directory.c_str(), nullptr);
  InstallInto(directory, installer, &window);
  PostMessageW(window, WM_COMMAND, kClose, 0);
  ASSERT_TRUE(e2e::HasKey(HKEY_LOCAL_MACHINE, kUninstallKey));

  // The logon entry that earlier versions wrote into a subkey of Run goes too.
  const std::wstring oldRunSubKey = kRunKey + L"\\Tavo手机助手";
  HKEY old = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, oldRunSubKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &old, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(old);

  std::wstring uninstallCommand;
  ASSERT_TRUE(e2e::ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString", &uninstallCommand));
  // A command line: the uninstaller's path in quotes, as the list of installed programs runs it.
  ASSERT_GT(uninstallCommand.size(), 2u);
  ASSERT_EQ(uninstallCommand.front(), L'"');
  ASSERT_EQ(uninstallCommand.back(), L'"');
  e2e::InstallerProcess uninstaller(uninstallCommand.substr(1, uninstallCommand.size() - 2));
  HWND box = e2e::WaitForMessageBox(uninstaller.id());
  ASSERT_NE(box, nullptr) << "the uninstaller asked nothing";
  e2e::ClickCenter(GetDlgItem(box, IDOK));
  DWORD code = 99;
  ASSERT_TRUE(uninstaller.WaitForExit(20000, &code));
  EXPECT_EQ(code, 0u);

  EXPECT_FALSE(e2e::HasKey(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(e2e::HasValue(HKEY_LOCAL_MACHINE, kRunKey, L"Tavo手机助手"));
  EXPECT_FALSE(e2e::HasKey(HKEY_LOCAL_MACHINE, oldRunSubKey));
  EXPECT_FALSE(e2e::HasValue(HKEY_CURRENT_USER, kVersionKey, L"CurrentVesion"));
  EXPECT_FALSE(Exists(e2e::SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Tavo手机助手.lnk"));
  EXPECT_FALSE(Exists(e2e::SpecialFolder(CSIDL_PROGRAMS) + L"\\Tavo手机助手"));
  EXPECT_TRUE(Eventually([&] { return !Exists(directory + L"TavoPhoneAx"); })) << "the suite's folder stays";
}

// ---- unattended installations (/S) and closing mid-run ----

struct WindowSearch {
  DWORD id;
  bool found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->id && IsWindowVisible(window)) search->found = true;
  return !search->found;
}

// True while no window of the process is visible to Windows; with `onDisplay`, nor any window of
// the installer's title mapped on the X display (xdotool).
bool NoVisibleWindow(const e2e::InstallerProcess& process, bool onDisplay) {
  WindowSearch search{process.id(), false};
  EnumWindows(&FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
  if (search.found) return false;
  return !onDisplay || e2e::RunUnix(L"/usr/bin/xdotool search --onlyvisible --name Tavo", 10000) != 0;
}

// Runs Install.exe with `arguments` to its end; the exit code, or -1 when it did not end.
// `visible` is set when a window of it was ever seen.
int RunInstaller(const std::wstring& arguments, bool* visible = nullptr, DWORD timeoutMs = 180000) {
  e2e::InstallerProcess installer(INSTALL_EXE, std::wstring(kQuickRetry) + L" " + arguments);
  if (!installer.started()) return -1;
  DWORD code = 0;
  const DWORD start = GetTickCount();
  for (int poll = 0; !installer.WaitForExit(50, &code); ++poll) {
    if (visible && !NoVisibleWindow(installer, poll % 10 == 0)) *visible = true;
    if (GetTickCount() - start > timeoutMs) return -1;
  }
  return static_cast<int>(code);
}

std::string LogText(const std::wstring& path) { return e2e::ReadFileBytes(path); }

TEST_F(InstallFlow, SilentInstallsWithTheChosenFolderAndOptionsAndNoWindow) {
  StartServer();
  const std::wstring log = kBase + L"\\silent.log";
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
    RemoveRegistration();
    const std::wstring directory = kBase + L"\\Some Dir\\Tavo";
    CreateDirectoryW((kBase + L"\\Some Dir").c_str(), nullptr);
    bool visible = false;
    const std::wstring arguments = std::wstring(c.switches) + L" /LOG=" + log + L" /D=" + directory;
    ASSERT_EQ(RunInstaller(arguments, &visible), 0) << LogText(log);
    EXPECT_FALSE(visible) << "a silent run showed a window";
    int files = 0;
    ExpectSameTree(package_->treePath, directory + L"\\TavoPhoneAx", &files);
    EXPECT_GT(files, 100);
    EXPECT_EQ(Exists(e2e::SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Tavo手机助手.lnk"), c.desktop);
    EXPECT_EQ(Exists(e2e::SpecialFolder(CSIDL_PROGRAMS) + L"\\Tavo手机助手\\Tavo手机助手.lnk"), c.startMenu);
    EXPECT_EQ(e2e::HasValue(HKEY_LOCAL_MACHINE, kRunKey, L"Tavo手机助手"), c.autorun);
    EXPECT_TRUE(e2e::HasKey(HKEY_LOCAL_MACHINE, kUninstallKey));
  }
  const std::string text = LogText(log);
  for (const char* line : {"command line: ", "install into C:\\e2e-install\\Some Dir\\Tavo\\", "download result 1",
                           "registry HKLM\\", "installation ended: installed", "exit code 0"})
    EXPECT_NE(text.find(line), std::string::npos) << "the log lacks: " << line;
}

// Each failure of an unattended run has its exit code and a log line that names the cause.
TEST_F(InstallFlow, SilentFailuresHaveTheirExitCodeAndALogLine) {
  const std::wstring log = kBase + L"\\failures.log";
  const struct {
    const wchar_t* arguments;
    bool serverUp;
    int code;
    const char* logLine;
  } cases[] = {
      {L"/S /BOGUS", true, 2, "argument not understood: /BOGUS"},
      {L"/S /D=C:\\e2e-install\\missing\\child", true, 3, "cannot be made"},
      {L"/S", false, 6, "download result 18"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logLine);
    if (c.serverUp) StartServer();
    DeleteFileW(log.c_str());
    EXPECT_EQ(RunInstaller(std::wstring(L"/LOG=") + log + L" " + c.arguments), c.code);
    EXPECT_NE(LogText(log).find(c.logLine), std::string::npos) << LogText(log);
    server_.Stop();
  }
}

TEST_F(InstallFlow, ASecondInstallerEndsAtOnceWhileTheFirstInstalls) {
  StartServer({package_->unixPath, L"", L"2m"});
  e2e::InstallerProcess first(INSTALL_EXE, L"/S /D=" + kBase + L"\\first");
  ASSERT_TRUE(Eventually([&] { return Exists(temp_ + L"TavoPhoneAx.zip_parts"); }, 60000)) << "no download began";
  EXPECT_EQ(RunInstaller(L"/S /D=" + kBase + L"\\second", nullptr, 20000), 4);
  DWORD code = 99;
  ASSERT_TRUE(first.WaitForExit(180000, &code));
  EXPECT_EQ(code, 0u);
  int files = 0;
  ExpectSameTree(package_->treePath, kBase + L"\\first\\TavoPhoneAx", &files);
  EXPECT_FALSE(Exists(kBase + L"\\second"));
}

TEST_F(InstallFlow, TheLogStartsANewFileWhenItGrowsPastItsLimit) {
  const std::wstring log = kBase + L"\\big.log";
  ASSERT_TRUE(e2e::PutFile(log, std::string((1 << 20) - 100, 'x')));
  for (int run = 0; run < 3; ++run) EXPECT_EQ(RunInstaller(L"/S /UNKNOWN /LOG=" + log), 2);
  EXPECT_LT(LogText(log).size(), 1u << 20);
  EXPECT_EQ(LogText(log + L".1").find(std::string(1000, 'x')), 0u) << "the older file is not kept";
  EXPECT_NE(LogText(log).find("/UNKNOWN"), std::string::npos);
}

// Closing the window mid-run ends the installer quickly with 1009; the part files stay, and the
// next run continues them.
TEST_F(InstallFlow, ClosingDuringDownloadOrExtractionEndsAt1009AndTheNextRunResumes) {
  StartServer({package_->unixPath, L"", L"1m"});
  {
    std::unique_ptr<e2e::InstallerProcess> installer;
    HWND window = Launch(installer);
    ChooseDirectory(window, kBase);
    e2e::ClickCenter(GetDlgItem(window, kInstall));
    ASSERT_TRUE(Eventually([&] { return DownloadPercent(window) >= 35; }, 120000)) << "the download did not progress";
    const DWORD closed = GetTickCount();
    e2e::ClickCenter(GetDlgItem(window, kClose));
    DWORD code = 0;
    ASSERT_TRUE(installer->WaitForExit(5000, &code));
    EXPECT_EQ(code, 1009u);
    EXPECT_LT(GetTickCount() - closed, 2500u) << "closing took too long";  // 2 s, plus the click itself
    EXPECT_TRUE(Exists(temp_ + L"TavoPhoneAx.zip_0")) << "the part files were not kept";
  }
  const std::uint64_t firstRun = server_.SegmentBytesSent();
  std::unique_ptr<e2e::InstallerProcess> installer;
  HWND window = Launch(installer);
  ChooseDirectory(window, kBase);
  e2e::ClickCenter(GetDlgItem(window, kInstall));
  ASSERT_TRUE(Eventually([&] { return e2e::WindowText(GetDlgItem(window, kProgressText)) == L"正在解压文件"; }, 120000));
  EXPECT_LT(server_.SegmentBytesSent() - firstRun, package_->size * 85 / 100)
      << "the second run did not continue the parts";
  e2e::ClickCenter(GetDlgItem(window, kClose));
  DWORD code = 0;
  ASSERT_TRUE(installer->WaitForExit(2500, &code)) << "closing during the extraction took too long";
  EXPECT_EQ(code, 1009u);
}

// A small volume mounted as drive Q: (tmpfs, as root): too little room for the files is refused
// before anything is written there.
class SmallDrive {
 public:
  SmallDrive() {
    const std::wstring dir = std::wstring(UNIX_BINARY_DIR) + L"/small-drive";
    const char* prefix = std::getenv("WINEPREFIX");
    if (!prefix) return;
    link_ = std::wstring(prefix, prefix + std::strlen(prefix)) + L"/dosdevices/q:";
    e2e::RunUnix(L"/bin/mkdir -p " + dir);
    if (e2e::RunUnix(L"/bin/mount -t tmpfs -o size=2m tmpfs " + dir) != 0) return;
    dir_ = dir;
    mounted_ = e2e::RunUnix(L"/bin/ln -sfn " + dir + L" " + link_) == 0;
  }
  ~SmallDrive() {
    if (!dir_.empty()) {
      e2e::RunUnix(L"/bin/rm -f " + link_);
      e2e::RunUnix(L"/bin/umount " + dir_);
    }
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
  EXPECT_EQ(RunInstaller(L"/S /LOG=" + log + L" /D=Q:\\Tavo"), 5);
  EXPECT_NE(LogText(log).find("not enough disk space"), std::string::npos) << LogText(log);
  EXPECT_FALSE(Exists(L"Q:\\Tavo\\TavoPhoneAx")) << "files were written to the full drive";
}

}  // namespace
