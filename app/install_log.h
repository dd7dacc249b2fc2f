// The run's log file: every run, silent or not, appends to %TEMP%\TavoInstall.log (or the file
// /LOG= names), so that support staff can tell what happened without a screen share.
//
// A header line names the time, Install.exe's version, the Windows version and the command line;
// then every platform::Log line follows with its time and thread. Lines from several threads never
// interleave. When the file grows past kMaxBytes it is renamed to "<file>.1" (replacing an older
// one) and a new file is started, so the log stays small across many runs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/log.h"
#include "platform/win/handles.h"

class CInstallLog final : public platform::ILogSink {
 public:
  static constexpr std::uint64_t kMaxBytes = 1 << 20;

  // Opens (or creates) the log and installs it as the process's log sink. When the file cannot be
  // opened the run goes on without a log.
  CInstallLog(std::wstring path, const std::wstring& commandLine);
  ~CInstallLog();
  CInstallLog(const CInstallLog&) = delete;
  CInstallLog& operator=(const CInstallLog&) = delete;

  void WriteLine(const std::string& line) override;
  const std::wstring& Path() const { return path_; }

  // %TEMP%\TavoInstall.log.
  static std::wstring DefaultPath();

 private:
  void Open();
  void Append(const std::string& text);

  std::mutex mutex_;
  std::wstring path_;
  win::UniqueFileHandle file_;
  std::uint64_t size_ = 0;
};
