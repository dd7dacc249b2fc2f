// What the window tests and the end-to-end tests share in the Wine prefix: files, registry values,
// processes, the suite's stand-in programs (tools/fixtures/demo) and its registration, Unix
// programs and screenshots. Whatever a helper makes it removes at scope end, also when a test fails.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/win/handles.h"

namespace testsupport {

bool Exists(const std::wstring& path);
// The whole content of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
bool PutFile(const std::wstring& path, const std::string& content);
// Removes a folder with all it holds; a missing folder is fine.
void RemoveTree(const std::wstring& folder);
std::wstring SpecialFolder(int csidl);
// The temporary directory, ending in "\".
std::wstring TempDirectory();
// A REG_SZ value's text, or nothing when it is missing or of another type.
std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* name);
bool HasKey(HKEY root, const std::wstring& key);
std::wstring TextOf(HWND window);

// Polls `condition` every 20 ms for up to `timeoutMs`; true once it holds.
template <typename Condition>
bool Eventually(Condition condition, DWORD timeoutMs = 15000) {
  for (const DWORD start = GetTickCount(); !condition(); Sleep(20))
    if (GetTickCount() - start > timeoutMs) return condition();
  return true;
}

// Runs a Unix program (absolute path first) and returns its exit code, or -1 when it could not be
// started or did not end within `timeoutMs`.
int RunUnix(const std::wstring& commandLine, DWORD timeoutMs = 180000);
// The Unix path of a Windows path (Wine's).
std::wstring UnixPath(const std::wstring& windowsPath);
// Presses and releases the left button at the centre of `control` through the input queue;
// `pause` lets each step arrive (Sleep for another process's window, a message pump for this thread's).
void ClickCenter(HWND control, void (*pause)(DWORD) = [](DWORD ms) { Sleep(ms); });
// Saves the display under `window` as <SCREENSHOT_DIR>/<name>.png (xwd and ImageMagick).
bool SaveScreenshot(HWND window, const std::wstring& name);

// The suite's desktop link and start-menu folder.
std::wstring DesktopLink();
std::wstring StartMenuFolder();
// Removes every entry and link the suite's registration may write; absent ones are fine.
void RemoveRegistration();
// Checks that the desktop link, the start-menu links and the logon value are there exactly as asked.
void ExpectRegistered(bool desktop, bool startMenu, bool startAtLogon);

// Removes the registration when made and again when it goes, so that a test that fails half-way
// (or a run that crashed) leaves the shared prefix as it found it.
struct RegistrationTraces {
  RegistrationTraces() { RemoveRegistration(); }
  ~RegistrationTraces() { RemoveRegistration(); }
  RegistrationTraces(const RegistrationTraces&) = delete;
  RegistrationTraces& operator=(const RegistrationTraces&) = delete;
};

// A started program, terminated at scope end if it still runs.
class Process {
 public:
  explicit Process(const std::wstring& program, const std::wstring& arguments = L"");
  ~Process();
  Process(Process&&) = default;
  [[nodiscard]] bool started() const { return static_cast<bool>(process_); }
  [[nodiscard]] DWORD id() const { return id_; }
  [[nodiscard]] HANDLE handle() const { return process_.get(); }
  [[nodiscard]] bool Running() const;
  // True with the exit code when the process ended within `timeoutMs`.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode) const;

 private:
  win::UniqueHandle process_;
  DWORD id_ = 0;
};

// Full path of a stand-in program built next to the tests (build/win/bin).
std::wstring StandInProgram(const wchar_t* fileName);
// The idle stand-in copied to `folder`\`exeName` and started.
Process RunningCopy(const std::wstring& folder, const wchar_t* exeName);

// The current state of "QXLD_Sever"; 0 when it is not installed.
DWORD SuiteServiceState();

// "QXLD_Sever" installed and running; with `stallStop` it hangs in STOP_PENDING when stopped.
// Any earlier installation is removed first, and this one at scope end.
class InstalledSuiteService {
 public:
  explicit InstalledSuiteService(bool stallStop);
  ~InstalledSuiteService();
  InstalledSuiteService(const InstalledSuiteService&) = delete;
  InstalledSuiteService& operator=(const InstalledSuiteService&) = delete;
  bool running() const { return running_; }
  DWORD error() const { return error_; }

 private:
  bool running_ = false;
  DWORD error_ = 0;
};

}  // namespace testsupport
