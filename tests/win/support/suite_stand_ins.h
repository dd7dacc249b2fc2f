// The suite's stand-in programs (tools/demo) put to work for the tests: the service
// "QXLD_Sever" installed in the prefix's service control manager, and copies of the idle helper
// running under chosen executable names.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win/handles.h"

namespace test {

// Full path of a program built next to the tests (build/win/bin).
std::wstring StandInProgram(const wchar_t* fileName);

// A fresh, empty folder below the temporary directory, removed with everything in it at scope end.
class ScratchFolder {
 public:
  explicit ScratchFolder(const wchar_t* name);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  // The folder's path, ending in "\".
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// Removes a folder with all it holds; a missing folder is fine.
void RemoveTree(const std::wstring& folder);

// "QXLD_Sever" installed and running from QXLD_Sever.exe; with `stallStop` it hangs in
// STOP_PENDING when stopped. Any earlier installation is removed first. At scope end the service
// is released, stopped and deleted again.
class InstalledSuiteService {
 public:
  explicit InstalledSuiteService(bool stallStop);
  ~InstalledSuiteService();
  InstalledSuiteService(const InstalledSuiteService&) = delete;
  InstalledSuiteService& operator=(const InstalledSuiteService&) = delete;

  // True once the service reported SERVICE_RUNNING.
  bool running() const { return running_; }
  DWORD error() const { return error_; }

 private:
  bool running_ = false;
  DWORD error_ = 0;
};

// Stops and deletes the service "QXLD_Sever" if it is installed, and waits until it is gone.
void RemoveSuiteService();

// The current state of "QXLD_Sever"; 0 when it cannot be read (not installed).
DWORD SuiteServiceState();

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

}  // namespace test
