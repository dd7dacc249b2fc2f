#include "app/installer.h"

#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>
#include <shlobj.h>

#include <memory>

#include "app/command_line.h"
#include "app/ids.h"
#include "app/install_log.h"
#include "app/window/main_window.h"
#include "app/prompt.h"
#include "platform/fs.h"
#include "platform/log.h"
#include "platform/text.h"
#include "platform/win/handles.h"
#include "system/suite.h"
#include "ui/message_loop.h"

namespace {

// A silent run shows nothing: whatever would have been a box goes to the log.
class LogOnlyPrompt final : public IPrompt {
 public:
  int Show(HWND, const std::wstring& text, const std::wstring&, UINT type) override {
    platform::Log("(silent) box not shown: %s", platform::ToUtf8(text).c_str());
    return (type & MB_TYPEMASK) == MB_OKCANCEL ? IDCANCEL : IDOK;
  }
};

// A silent run reports to nobody but the log.
class SilentEvents final : public IInstallEvents {
 public:
  void OnDownloadProgress(int) override {}
  void OnExtractStart() override {}
  void OnExtractProgress(std::int32_t, std::int32_t) override {}
  void OnInstallEnded(const InstallResult&) override {}
};

std::wstring ProgramFilesDirectory() {
  wchar_t path[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROGRAM_FILES, FALSE);  // on failure the directory is unusable
  return platform::WithTrailingSeparator(path);
}

// The running installer's window to the front, so that a second start shows the user where the
// installation already runs.
void ShowRunningInstaller() {
  HWND window = FindWindowW(nullptr, suite::kInstallerTitle);
  if (!window) return;
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
}

int RunSilent(const InstallOptions& options) {
  LogOnlyPrompt prompt;
  SetPrompt(&prompt);
  SilentEvents events;
  CInstallJob job(options, events);
  const int code = SilentExitCode(job.Run().outcome);
  SetPrompt(nullptr);
  return code;
}

}  // namespace

int SilentExitCode(InstallOutcome outcome) {
  switch (outcome) {
    case InstallOutcome::kInstalled: return EXIT_INSTALLED;
    case InstallOutcome::kDirectoryUnusable: return EXIT_DIRECTORY_UNUSABLE;
    case InstallOutcome::kDiskFull: return EXIT_DISK_FULL;
    case InstallOutcome::kCancelled:
    case InstallOutcome::kDownloadFailed: return EXIT_DOWNLOAD_FAILED;
    case InstallOutcome::kPackageRejected: return EXIT_PACKAGE_REJECTED;
    case InstallOutcome::kExtractFailed: return EXIT_EXTRACT_FAILED;
  }
  return EXIT_DOWNLOAD_FAILED;
}

int RunInstaller(int showCommand, const InstallOptions& start) {
  CMessageLoop loop;
  g_module.AddMessageLoop(&loop);

  auto dialog = std::make_unique<MainWindow>(start);
  if (!dialog->Create(nullptr)) {
    dialog.reset();
    g_module.RemoveMessageLoop();
    return EXIT_WINDOW_FAILED;
  }
  ShowWindow(dialog->m_hWnd, showCommand);

  int code = loop.Run();

  g_module.RemoveMessageLoop();
  dialog.reset();  // cancels and joins the install job before the window object goes
  return code;
}

int RunProcess(void* instance, int showCommand) {
  const std::wstring commandLine = GetCommandLineW();
  const CommandLine arguments = ParseCommandLine(ArgumentsOf(commandLine));
  CInstallLog log(arguments.logPath.empty() ? CInstallLog::DefaultPath() : arguments.logPath, commandLine);

  if (!arguments.error.empty()) {
    platform::Log("argument not understood: %s", platform::ToUtf8(arguments.error).c_str());
    if (!arguments.silent)
      ShowPrompt(nullptr, L"无法识别的参数：" + arguments.error + L"\n\n" + UsageText(), suite::kInstallerTitle,
                 MB_OK | MB_ICONWARNING);
    return EXIT_BAD_ARGUMENTS;
  }
  if (arguments.usage && !arguments.silent) {
    ShowPrompt(nullptr, UsageText(), suite::kInstallerTitle, MB_OK | MB_ICONINFORMATION);
    return EXIT_INSTALLED;
  }

  // Another run's mutex answers ERROR_ALREADY_EXISTS (or, made by another user, access denied).
  win::UniqueHandle lock(CreateMutexW(nullptr, TRUE, suite::kSingleInstanceMutex));
  const DWORD lockError = GetLastError();
  if (!lock || lockError == ERROR_ALREADY_EXISTS) {
    platform::Log("another installation is running: this one ends");
    if (!arguments.silent) ShowRunningInstaller();
    return EXIT_ALREADY_RUNNING;
  }

  InstallOptions options;
  options.directory = arguments.directory.empty() ? std::wstring() : platform::WithTrailingSeparator(arguments.directory);
  options.desktopShortcut = arguments.desktopShortcut;
  options.startMenuShortcut = arguments.startMenuShortcut;
  options.startAtLogon = arguments.startAtLogon;
  if (arguments.retrySeconds >= 0) options.retryBudgetMs = static_cast<std::uint32_t>(arguments.retrySeconds) * 1000;

  Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, background thread, codecs
  ULONG_PTR gdiplusToken = 0;
  int code = 0;
  {
    win::ComScope com;  // a failure only shows as missing shortcuts
    if (arguments.silent) {
      if (options.directory.empty()) options.directory = ProgramFilesDirectory();
      code = RunSilent(options);
    } else {
      Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr);  // a failure only shows as missing images
      g_module.Init(static_cast<HINSTANCE>(instance));
      code = RunInstaller(showCommand, options);
      g_module.Term();
    }
  }  // COM ends before GDI+
  if (gdiplusToken) Gdiplus::GdiplusShutdown(gdiplusToken);
  platform::Log("exit code %d", code);
  return code;
}
