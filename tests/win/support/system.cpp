#include "tests/win/support/system.h"

#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "system/suite.h"

namespace testsupport {
namespace {

constexpr wchar_t kServiceName[] = L"QXLD_Sever";
constexpr wchar_t kReleaseEvent[] = L"Global\\QXLD_Sever.release";

// Stops and deletes "QXLD_Sever" if it is installed (letting a stalled stop go first), and waits
// until it is gone.
void RemoveSuiteService() {
  win::UniqueHandle release(OpenEventW(EVENT_MODIFY_STATE, FALSE, kReleaseEvent));
  if (release) SetEvent(release.get());
  {
    win::UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    win::UniqueScHandle service;
    if (manager) service.reset(OpenServiceW(manager.get(), kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service) return;
    SERVICE_STATUS status{};
    ControlService(service.get(), SERVICE_CONTROL_STOP, &status);  // refused when already stopped
    Eventually([] { return SuiteServiceState() == SERVICE_STOPPED; }, 30000);
    DeleteService(service.get());
  }
  Eventually([] { return SuiteServiceState() == 0; }, 30000);
}

}  // namespace

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFileBytes(const std::wstring& path) {
  win::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string content;
  char buffer[65536];
  DWORD got = 0;
  while (file && ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) content.append(buffer, got);
  return content;
}

bool PutFile(const std::wstring& path, const std::string& content) {
  win::UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
         written == content.size();
}

void RemoveTree(const std::wstring& folder) {
  std::wstring from = folder;
  while (!from.empty() && from.back() == L'\\') from.pop_back();
  if (!Exists(from)) return;
  from.push_back(L'\0');  // the list of paths ends with an empty one
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NO_UI;
  SHFileOperationW(&operation);
}

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

std::wstring TempDirectory() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  return temp;
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* name) {
  win::UniqueHKey opened;
  wchar_t buffer[1024] = {};
  DWORD type = 0, bytes = sizeof(buffer);
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.put()) != ERROR_SUCCESS ||
      RegQueryValueExW(opened.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS ||
      type != REG_SZ || bytes % 2 != 0)
    return std::nullopt;
  std::wstring text(buffer, bytes / sizeof(wchar_t));
  if (!text.empty() && text.back() == L'\0') text.pop_back();  // the one terminator RegSetValueExW may store
  return text;
}

bool HasKey(HKEY root, const std::wstring& key) {
  win::UniqueHKey opened;
  return RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

// Wine starts the Unix program but cannot wait for it: the process handle it returns is signalled
// at once. So the command runs under /bin/sh, which writes its exit status into a file that is
// polled through drive Z:.
int RunUnix(const std::wstring& commandLine, DWORD timeoutMs) {
  static int counter = 0;
  const std::wstring status = L"/tmp/tavo-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
  std::wstring line = L"Z:\\bin\\sh -c \"" + commandLine + L" >/dev/null 2>&1; echo $? >" + status + L".tmp && mv " +
                      status + L".tmp " + status + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return -1;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::string code;
  const std::wstring windowsStatus = L"Z:" + status;
  if (!Eventually([&] { return !(code = ReadFileBytes(windowsStatus)).empty(); }, timeoutMs)) return -1;
  DeleteFileW(windowsStatus.c_str());
  return atoi(code.c_str());
}

std::wstring UnixPath(const std::wstring& windowsPath) {
  using ToUnix = char*(CDECL*)(const wchar_t*);  // Wine's own map of drives to Unix folders
  static const auto toUnix =
      reinterpret_cast<ToUnix>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  char* unix = toUnix ? toUnix(windowsPath.c_str()) : nullptr;
  wchar_t path[MAX_PATH * 2] = {};
  if (unix) MultiByteToWideChar(CP_UTF8, 0, unix, -1, path, MAX_PATH * 2);
  HeapFree(GetProcessHeap(), 0, unix);
  return path;
}

void ClickCenter(HWND control, void (*pause)(DWORD)) {
  RECT bounds{};
  GetWindowRect(control, &bounds);
  SetForegroundWindow(GetAncestor(control, GA_ROOT));
  SetCursorPos((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
  for (DWORD flags : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
    pause(50);  // the pointer's move, then the press, reach the window as separate events
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(INPUT));
  }
  pause(100);
}

bool SaveScreenshot(HWND window, const std::wstring& name) {
  RECT r{};
  if (!GetWindowRect(window, &r)) return false;
  const std::wstring folder = UnixPath(SCREENSHOT_DIR);
  const std::wstring crop = std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top) + L"+" +
                            std::to_wstring(r.left) + L"+" + std::to_wstring(r.top);
  return RunUnix(L"mkdir -p " + folder + L" && xwd -root -silent | convert xwd:- -crop " + crop + L" +repage " +
                 folder + L"/" + name + L".png") == 0;
}

std::wstring DesktopLink() { return SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\" + suite::kShortcut; }

std::wstring StartMenuFolder() { return SpecialFolder(CSIDL_PROGRAMS) + L"\\" + suite::kStartMenuFolder; }

void RemoveRegistration() {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, suite::kUninstallKey);
  RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, suite::kRunKey, suite::kProductName);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(suite::kRunKey) + L"\\" + suite::kProductName).c_str());
  RegDeleteTreeW(HKEY_CURRENT_USER, suite::kVersionKey);
  DeleteFileW(DesktopLink().c_str());
  RemoveTree(StartMenuFolder());
}

void ExpectRegistered(bool desktop, bool startMenu, bool startAtLogon) {
  EXPECT_EQ(Exists(DesktopLink()), desktop) << "desktop link";
  EXPECT_EQ(Exists(StartMenuFolder() + L"\\" + suite::kShortcut), startMenu) << "start-menu link";
  EXPECT_EQ(Exists(StartMenuFolder() + L"\\" + suite::kUninstallShortcut), startMenu) << "start-menu uninstall link";
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, suite::kRunKey, suite::kProductName).has_value(), startAtLogon)
      << "the logon entry";
}

Process::Process(const std::wstring& program, const std::wstring& arguments) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  std::wstring commandLine = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return;
  CloseHandle(info.hThread);
  process_.reset(info.hProcess);
  id_ = info.dwProcessId;
}

Process::~Process() {
  if (Running()) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 5000);
  }
}

bool Process::Running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

bool Process::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
  return process_ && WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0 &&
         GetExitCodeProcess(process_.get(), exitCode);
}

std::wstring StandInProgram(const wchar_t* fileName) { return std::wstring(DEMO_BIN_DIR) + L"\\" + fileName; }

Process RunningCopy(const std::wstring& folder, const wchar_t* exeName) {
  CreateDirectoryW(folder.c_str(), nullptr);  // shared by several copies: may exist
  const std::wstring path = folder + L"\\" + exeName;
  // A second process of the same name runs the same file, which cannot be overwritten while it runs.
  CopyFileW(StandInProgram(L"QXLD_Helper.exe").c_str(), path.c_str(), TRUE);
  Process copy(path);
  if (copy.started()) WaitForInputIdle(copy.handle(), 5000);  // up and in its message loop
  return copy;
}

DWORD SuiteServiceState() {
  win::UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  win::UniqueScHandle service;
  if (manager) service.reset(OpenServiceW(manager.get(), kServiceName, SERVICE_QUERY_STATUS));
  SERVICE_STATUS status{};
  return service && QueryServiceStatus(service.get(), &status) ? status.dwCurrentState : 0;
}

InstalledSuiteService::InstalledSuiteService(bool stallStop) {
  RemoveSuiteService();
  win::UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
  std::wstring command = L"\"" + StandInProgram(L"QXLD_Sever.exe") + L"\"" + (stallStop ? L" --stall-stop" : L"");
  win::UniqueScHandle service;
  if (manager)
    service.reset(CreateServiceW(manager.get(), kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                 SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                 command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!service || !StartServiceW(service.get(), 0, nullptr)) {
    error_ = GetLastError();
    return;
  }
  running_ = Eventually([] { return SuiteServiceState() == SERVICE_RUNNING; }, 30000);
}

InstalledSuiteService::~InstalledSuiteService() { RemoveSuiteService(); }

}  // namespace testsupport
