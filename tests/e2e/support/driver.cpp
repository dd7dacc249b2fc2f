#include "tests/e2e/support/driver.h"

#include <shlobj.h>

#include <sstream>

#include "app/ids.h"

namespace testsupport {

std::wstring BuildUnixPath(const std::wstring& relative) { return std::wstring(UNIX_BINARY_DIR) + L"/" + relative; }
std::wstring BuildWindowsPath(const std::wstring& relative) {
  std::wstring path = L"Z:" + BuildUnixPath(relative);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

const DemoPackage* TheDemoPackage() {
  static DemoPackage package;
  if (package.size == 0 &&
      RunUnix(L"/usr/bin/python3 " UNIX_SOURCE_DIR L"/tools/fixtures/package/make-package --bin " +
              BuildUnixPath(L"bin") + L" --out " + BuildUnixPath(L"e2e/package") + L" --size 12 --files 300") == 0)
    package.size = ReadFileBytes(package.windowsPath).size();
  return package.size ? &package : nullptr;
}

bool SignFile(const std::wstring& fileUnixPath, bool otherKey) {
  std::wstring key = UNIX_SOURCE_DIR L"/build/keys/vendor-dev.key.pem";
  if (otherKey) {
    key = BuildUnixPath(L"e2e/other-vendor.key.pem");
    if (RunUnix(L"test -s " + key + L" || /usr/bin/openssl ecparam -name prime256v1 -genkey -noout -out " + key) != 0)
      return false;
  }
  return RunUnix(L"/usr/bin/openssl dgst -sha256 -sign " + key + L" -out " + fileUnixPath + L".sig " + fileUnixPath) == 0;
}

std::wstring AlteredPackage(const DemoPackage& package, const std::wstring& name) {
  std::string bytes = ReadFileBytes(package.windowsPath);
  bytes[bytes.size() / 2] ^= 0x5A;
  CreateDirectoryW(BuildWindowsPath(L"e2e\\" + name).c_str(), nullptr);
  EXPECT_TRUE(PutFile(BuildWindowsPath(L"e2e\\" + name + L"\\TavoPhoneAx.zip"), bytes));
  return BuildUnixPath(L"e2e/" + name + L"/TavoPhoneAx.zip");
}

bool VendorServer::Start(const Options& options) {
  Stop();
  DeleteFileW(BuildWindowsPath(kState + L"/access.log").c_str());
  const std::wstring server = VENDOR_SERVER;
  const size_t colon = server.rfind(L':');
  std::wstring command = L"/bin/bash " UNIX_SOURCE_DIR L"/tools/fixtures/server/vendor-server start --host " +
                         server.substr(0, colon) + L" --port " + server.substr(colon + 1) + L" --root " +
                         BuildUnixPath(kState + L"/www") + L" --state " + BuildUnixPath(kState) + L" --package " +
                         options.packageUnixPath + L" --offline " + BuildUnixPath(L"Install.exe");
  if (!options.md5.empty()) command += L" --md5 " + options.md5;
  if (!options.limitRate.empty()) command += L" --limit-rate " + options.limitRate;
  if (options.sigUnixPath == L"none") command += L" --no-sig";
  else if (!options.sigUnixPath.empty()) command += L" --sig " + options.sigUnixPath;
  return running_ = RunUnix(command) == 0;
}

void VendorServer::Stop() {
  if (running_)
    RunUnix(L"/bin/bash " UNIX_SOURCE_DIR L"/tools/fixtures/server/vendor-server stop --state " + BuildUnixPath(kState));
  running_ = false;
}

// Each access-log line ends: "GET /download/TavoPhoneAx.zip?md5=... HTTP/1.1" 206 123 "bytes=0-1"
VendorServer::Segments VendorServer::SegmentsServed() const {
  Segments served;
  std::istringstream log(ReadFileBytes(BuildWindowsPath(kState + L"/access.log")));
  for (std::string line; std::getline(log, line);) {
    const size_t request = line.find("\"GET /download/TavoPhoneAx.zip");
    const size_t requestEnd = line.find("\" ", request + 1);
    if (request == std::string::npos || requestEnd == std::string::npos) continue;
    std::istringstream rest(line.substr(requestEnd + 2));
    int status = 0;
    std::uint64_t bytes = 0;
    std::string range;
    rest >> status >> bytes >> range;
    if (range == "\"-\"" || range == "\"bytes=0-1\"") continue;
    ++served.requests;
    served.bytes += bytes;
  }
  return served;
}

// ---- the installer's windows ----

namespace {

// A visible top-level window of the process (with `box`, a message box other than `except`).
struct WindowSearch {
  DWORD processId;
  bool box;
  HWND except = nullptr;
  HWND found = nullptr;
};
BOOL CALLBACK FindWindowOf(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (owner != search->processId || window == search->except || !IsWindowVisible(window) ||
      (search->box && std::wstring(className) != L"#32770"))
    return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK LongestStaticText(HWND child, LPARAM context) {
  wchar_t className[16] = {};
  GetClassNameW(child, className, 16);
  auto* longest = reinterpret_cast<std::wstring*>(context);
  if (_wcsicmp(className, L"Static") == 0 && TextOf(child).size() > longest->size()) *longest = TextOf(child);
  return TRUE;
}

}  // namespace

HWND VisibleWindowOf(DWORD processId) {
  WindowSearch search{processId, false};
  EnumWindows(&FindWindowOf, reinterpret_cast<LPARAM>(&search));
  return search.found;
}
HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs, HWND except) {
  WindowSearch search{processId, true, except};
  Eventually([&] { return !EnumWindows(&FindWindowOf, reinterpret_cast<LPARAM>(&search)) && search.found; }, timeoutMs);
  return search.found;
}

std::wstring MessageBoxText(HWND box) {
  std::wstring longest;
  EnumChildWindows(box, &LongestStaticText, reinterpret_cast<LPARAM>(&longest));
  return longest;
}

bool Visible(HWND window, int id) { return IsWindowVisible(GetDlgItem(window, id)) != FALSE; }
std::wstring Text(HWND window, int id) { return TextOf(GetDlgItem(window, id)); }

int DownloadPercent(HWND window) {
  const std::wstring text = Text(window, IDC_DOWNLOAD_PERCENT);
  return Visible(window, IDC_DOWNLOAD_PERCENT) && !text.empty() ? _wtoi(text.c_str()) : -1;
}
bool Extracting(HWND window) { return Text(window, IDC_PROGRESS_TEXT) == L"正在解压文件"; }
bool OnFinishPage(HWND window) { return Visible(window, IDC_INSTALL) && Text(window, IDC_INSTALL) == L"立即体验"; }

void Shoot(HWND window, const wchar_t* name) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  EXPECT_TRUE(SaveScreenshot(window, name)) << "a screenshot could not be saved";
}

HWND Installer::Window() const {
  HWND window = nullptr;
  EXPECT_TRUE(Eventually([&] { return (window = VisibleWindowOf(id())) != nullptr || !Running(); }) && window)
      << "the installer shows no window";
  return window;
}

int Installer::Result(bool* visible, DWORD timeoutMs) const {
  DWORD code = 0;
  const DWORD start = GetTickCount();
  for (int poll = 0; !WaitForExit(50, &code); ++poll) {
    if (visible && (VisibleWindowOf(id()) || (poll % 10 == 0 && RunUnix(L"/usr/bin/xdotool search --onlyvisible --name Tavo") == 0)))
      *visible = true;
    if (GetTickCount() - start > timeoutMs) return -1;
  }
  return static_cast<int>(code);
}

void Installer::Answer(HWND window, const std::wstring& text, int button) const {
  HWND box = WaitForMessageBox(id(), 120000, window);
  ASSERT_NE(box, nullptr) << "no message box came";
  if (!text.empty()) {
    EXPECT_EQ(MessageBoxText(box), text);
  }
  ClickCenter(GetDlgItem(box, button));
  Eventually([&] { return !IsWindow(box); }, 5000);
}

void Installer::ExpectExit(DWORD expected, DWORD withinMs) const {
  DWORD code = 0;
  ASSERT_TRUE(WaitForExit(withinMs, &code)) << "the installer did not end in time";
  EXPECT_EQ(code, expected);
}

int RunSilently(const std::wstring& arguments) { return Installer(L"/S " + arguments).Result(); }

void InstallFlow::SetUp() {
  package_ = TheDemoPackage();
  ASSERT_NE(package_, nullptr) << "the demo package could not be made";
  Clean();
  CreateDirectoryW(kBase.c_str(), nullptr);
}

void InstallFlow::TearDown() {
  server_.Stop();
  if (!keepInstallation_) Clean();
}

void InstallFlow::Clean() {
  for (const wchar_t* pattern : {L"TavoPhoneAx.zip*", L"TavoInstall.log*"}) {
    WIN32_FIND_DATAW found;
    win::UniqueFind search(FindFirstFileW((temp_ + pattern).c_str(), &found));
    for (bool more = static_cast<bool>(search); more; more = FindNextFileW(search.get(), &found))
      DeleteFileW((temp_ + found.cFileName).c_str());
  }
  RemoveRegistration();
  RemoveTree(SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\TavoPhoneAx");
  RemoveTree(kBase);
}

void InstallFlow::StartServer(VendorServer::Options options) {
  if (options.packageUnixPath.empty()) options.packageUnixPath = package_->unixPath;
  ASSERT_TRUE(server_.Start(options)) << "the vendor server did not start (is " VENDOR_SERVER_NARROW " taken?)";
}

void InstallFlow::Untick(HWND window, int caption, int box) {
  ClickCenter(GetDlgItem(window, caption));
  ASSERT_TRUE(Eventually([&] { return SendMessageW(GetDlgItem(window, box), BM_GETCHECK, 0, 0) == BST_UNCHECKED; }));
}

void InstallFlow::Install(HWND window, const std::wstring& directory, int caption, int box) {
  if (directory.empty()) return ClickCenter(GetDlgItem(window, IDC_INSTALL));
  ClickCenter(GetDlgItem(window, IDC_CUSTOM_OPEN));
  ASSERT_TRUE(Eventually([&] { return Visible(window, IDC_BROWSE); }));
  HWND field = FindWindowExW(window, nullptr, L"WTL_BitmapEditControl", nullptr);
  ASSERT_NE(field, nullptr);
  SendMessageW(GetDlgItem(field, IDC_INSTALL_DIR), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(directory.c_str()));
  if (caption) Untick(window, caption, box);
  ClickCenter(GetDlgItem(window, IDC_INSTALL));
}

void InstallFlow::ExpectInstalledInto(const std::wstring& directory) const {
  EXPECT_EQ(RunUnix(L"/usr/bin/diff -r '" + UnixPath(package_->treePath) + L"' '" +
                    UnixPath(directory + L"\\TavoPhoneAx") + L"'"), 0)
      << "the installed files differ from the package's";
}

}  // namespace testsupport
