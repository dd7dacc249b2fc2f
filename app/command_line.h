// The installer's command line, in the conventions administrators know from NSIS and Inno Setup:
//
//   Install.exe [/S] [/NODESKTOP] [/NOSTARTMENU] [/NOAUTORUN] [/LOG=<file>] [/RETRY=<seconds>] [/?]
//               [/D=<dir>]
//
// Switches are case-insensitive. /D= comes last and takes the rest of the line as it stands, so
// the directory may contain spaces unquoted ("/D=C:\Some Dir\Tavo"); the whole switch in double
// quotes is accepted too. /LOG= takes one argument (quote it when it holds spaces).
#pragma once

#include <string>

struct CommandLine {
  bool silent = false;        // /S: no window and no message box; the exit code tells the outcome
  bool usage = false;         // /?: show what the switches are
  std::wstring directory;     // /D=: the install directory (empty: the default)
  bool desktopShortcut = true;    // cleared by /NODESKTOP
  bool startMenuShortcut = true;  // cleared by /NOSTARTMENU
  bool startAtLogon = true;       // cleared by /NOAUTORUN
  std::wstring logPath;       // /LOG=: the log file (empty: %TEMP%\TavoInstall.log)
  int retrySeconds = -1;      // /RETRY=: how long a download keeps trying without progress (-1: 120 s)
  std::wstring error;         // the first argument that is not understood; empty when all were
};

// Parses the arguments after the program name (GetCommandLineW without argv[0]).
CommandLine ParseCommandLine(const std::wstring& arguments);

// The part of a full command line after the program name (quoted or not).
std::wstring ArgumentsOf(const std::wstring& commandLine);

// The text of the usage box.
std::wstring UsageText();
