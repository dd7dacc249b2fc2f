// TavoUnInstall.exe of the demo suite: asks, then removes what the installer made for the suite
// (the desktop shortcut, the start-menu folder with its shortcuts, the logon entry, the uninstall
// entry, the version value) and the suite's folder it runs from.
//
// A running program cannot delete its own file, so the folder goes in a second stage: the
// uninstaller copies itself into the temporary directory and starts the copy with
//   /remove-folder <inheritable handle of this process> <folder>
// The copy waits for this process to end, deletes the folder and asks for its own file to be
// removed at the next restart.
//
// Exit codes: 0 removed (the folder follows shortly), 1 the user declined, 2 the second stage
// could not be started (everything else is removed; the folder stays).
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cwchar>
#include <string>

#include "platform/win/handles.h"
#include "system/suite.h"

namespace {

constexpr wchar_t kCaption[] = L"Tavo手机助手卸载";
constexpr wchar_t kQuestion[] = L"您确定要完全删除Tavo手机助手及其所有组件吗?";
constexpr wchar_t kRemoveFolderSwitch[] = L"/remove-folder";
// How long the second stage waits for the first to end, and keeps retrying files still in use.
constexpr DWORD kWaitForParentMs = 30000;
constexpr int kRemoveAttempts = 20;
constexpr DWORD kRemoveRetryMs = 250;

enum ExitCode : int { kRemoved = 0, kDeclined = 1, kFolderStays = 2 };

std::wstring ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring ParentOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring NameOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

// True when `path` lies inside `folder` (compared without regard to case).
bool IsInside(const std::wstring& path, const std::wstring& folder) {
  if (path.size() <= folder.size() + 1 || path[folder.size()] != L'\\') return false;
  return CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                              static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

// Ends the suite's programs still running from its folder, so their files can be deleted.
void EndProgramsIn(const std::wstring& folder) {
  win::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == self) continue;
    win::UniqueHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (!process) continue;  // another account's process: not one of ours
    wchar_t image[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    if (!QueryFullProcessImageNameW(process.get(), 0, image, &length)) continue;
    if (!IsInside(std::wstring(image, length), folder)) continue;
    if (TerminateProcess(process.get(), 0)) WaitForSingleObject(process.get(), 5000);
  }
}

void RemoveShortcuts() {
  std::wstring desktop = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
  if (!desktop.empty()) DeleteFileW((desktop + L"\\" + suite::kShortcut).c_str());  // absent is fine

  std::wstring programs = SpecialFolder(CSIDL_PROGRAMS);
  if (programs.empty()) return;
  std::wstring menu = programs + L"\\" + suite::kStartMenuFolder;
  DeleteFileW((menu + L"\\" + suite::kShortcut).c_str());           // absent is fine
  DeleteFileW((menu + L"\\" + suite::kUninstallShortcut).c_str());  // absent is fine
  // Only when empty: whatever the user put into the folder stays.
  RemoveDirectoryW(menu.c_str());
}

void RemoveRegistration() {
  // Absent keys and values are fine: every step below may find nothing to remove.
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, suite::kUninstallKey);
  // The logon entry, a value of the Run key, and the subkey that older installers wrote it into.
  RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, suite::kRunKey, suite::kProductName);
  std::wstring runSubKey = std::wstring(suite::kRunKey) + L"\\" + suite::kProductName;
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, runSubKey.c_str());

  RegDeleteKeyValueW(HKEY_CURRENT_USER, suite::kVersionKey, suite::kVersionValue);
  win::UniqueHKey versionKey;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, suite::kVersionKey, 0, KEY_READ, versionKey.put()) != ERROR_SUCCESS) return;
  DWORD subKeys = 0;
  DWORD values = 0;
  bool empty = RegQueryInfoKeyW(versionKey.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                                nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
               subKeys == 0 && values == 0;
  versionKey.reset();
  if (empty) RegDeleteKeyW(HKEY_CURRENT_USER, suite::kVersionKey);
}

// True for the folder the suite is installed as; nothing else is ever deleted as a whole.
bool IsSuiteFolder(const std::wstring& folder) {
  return CompareStringOrdinal(NameOf(folder).c_str(), -1, suite::kFolderName, -1, TRUE) == CSTR_EQUAL;
}

// Deletes `path` and everything below it; a junction or link is removed, never followed.
// Returns true when nothing is left.
bool RemoveTree(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(path.c_str()) != 0;
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW found;
    const win::UniqueFind search(FindFirstFileW((path + L"\\*").c_str(), &found));
    for (bool more = search.valid(); more; more = FindNextFileW(search.get(), &found)) {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
    }
  }
  return RemoveDirectoryW(path.c_str()) != 0;
}

// Second stage, running from the temporary directory.
int RemoveFolderAfter(win::UniqueHandle firstStage, const std::wstring& folder) {
  WaitForSingleObject(firstStage.get(), kWaitForParentMs);
  firstStage.reset();
  if (!IsSuiteFolder(folder)) return kFolderStays;
  bool removed = false;
  for (int attempt = 0; attempt < kRemoveAttempts && !removed; ++attempt) {
    if (attempt > 0) Sleep(kRemoveRetryMs);
    removed = RemoveTree(folder);
  }
  // Needs administrator rights; without them the copy stays in the temporary directory.
  MoveFileExW(ProgramPath().c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return removed ? kRemoved : kFolderStays;
}

// Starts the second stage; true when it runs.
bool StartFolderRemoval(const std::wstring& folder) {
  wchar_t temp[MAX_PATH + 1] = {};
  if (GetTempPathW(MAX_PATH + 1, temp) == 0) return false;
  std::wstring copy = std::wstring(temp) + L"TavoUnInstall-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  if (!CopyFileW(ProgramPath().c_str(), copy.c_str(), FALSE)) return false;

  HANDLE self = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE, 0))
    return false;
  win::UniqueHandle selfForChild(self);
  std::wstring commandLine = L"\"" + copy + L"\" " + kRemoveFolderSwitch + L" " +
                             std::to_wstring(reinterpret_cast<UINT_PTR>(self)) + L" \"" + folder + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  // The copy runs in the temporary directory, so the folder is not its current directory.
  if (!CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, temp, &startup,
                      &process)) {
    DeleteFileW(copy.c_str());  // failure leaves a stray copy, nothing worse
    return false;
  }
  win::UniqueHandle thread(process.hThread), child(process.hProcess);  // not waited for
  return true;
}

int Uninstall() {
  if (MessageBoxW(nullptr, kQuestion, kCaption, MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) != IDOK)
    return kDeclined;

  const std::wstring folder = ParentOf(ProgramPath());
  EndProgramsIn(folder);
  RemoveShortcuts();
  RemoveRegistration();

  // Only the suite's own folder is deleted: run from anywhere else (a build folder, say), the
  // uninstaller leaves the files where they are.
  if (!IsSuiteFolder(folder)) return kRemoved;
  return StartFolderRemoval(folder) ? kRemoved : kFolderStays;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  const win::UniqueLocal<wchar_t**> argv(CommandLineToArgvW(GetCommandLineW(), &argc));
  if (argv && argc == 4 && std::wstring(argv.get()[1]) == kRemoveFolderSwitch) {
    win::UniqueHandle firstStage(reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(std::wcstoull(argv.get()[2], nullptr, 10))));
    return RemoveFolderAfter(std::move(firstStage), argv.get()[3]);
  }
  return Uninstall();
}
