// The suite's stand-in programs (tools/demo) put to work: the service "QXLD_Sever" installed in
// the prefix's service control manager, copies of the idle helper running under chosen names, and
// a scratch folder. Each removes what it made at scope end, also when a test fails.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win/handles.h"

namespace testing_support {

// Full path of a program built next to the tests (build/win/bin).
std::wstring StandInProgram(const wchar_t* fileName);

// Removes a folder with all it holds; a missing folder is fine.
void RemoveTree(const std::wstring& folder);

// A fresh, empty folder below the temporary directory (path ending in "\"), removed at scope end.
class ScratchFolder {
 public:
  explicit ScratchFolder(const wchar_t* name);
  ~ScratchFolder() { RemoveTree(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// The current state of "QXLD_Sever"; 0 when it is not installed.
DWORD SuiteServiceState();
// Stops and deletes "QXLD_Sever" if it is installed, and waits until it is gone.
void RemoveSuiteService();

// "QXLD_Sever" installed and running; with `stallStop` it hangs in STOP_PENDING when stopped.
// Any earlier installation is removed first, and this one at scope end.
class InstalledSuiteService {
 public:
  explicit InstalledSuiteService(bool stallStop);
  ~InstalledSuiteService() { RemoveSuiteService(); }
  InstalledSuiteService(const InstalledSuiteService&) = delete;
  InstalledSuiteService& operator=(const InstalledSuiteService&) = delete;
  bool running() const { return running_; }
  DWORD error() const { return error_; }

 private:
  bool running_ = false;
  DWORD error_ = 0;
};

// A copy of QXLD_Helper.exe at `folder`\`exeName`, started; terminated at scope end if it still runs.
class RunningCopy {
 public:
  RunningCopy(const std::wstring& folder, const wchar_t* exeName);
  ~RunningCopy();
  RunningCopy(RunningCopy&&) = default;
  bool started() const { return static_cast<bool>(process_); }
  // True when the process ended within `timeoutMs`; its exit code in `exitCode`.
  bool EndsWithin(DWORD timeoutMs, DWORD* exitCode) const;
  const std::wstring& name() const { return name_; }

 private:
  std::wstring name_;
  win::UniqueHandle process_;
};

}  // namespace testing_support
