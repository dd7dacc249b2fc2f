// winlaunch: runs a Windows program under Wine and reports its full 32-bit exit code.
//
// Wine hands Linux only the low 8 bits of an exit code (1009 arrives as 241). This launcher waits
// for the program and prints "exit code: N" with the whole code, then exits with it as well.
//   wine winlaunch.exe PROGRAM [ARGS...]
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/win/handles.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: winlaunch PROGRAM [ARGS...]\n", stderr);
    return 2;
  }
  std::wstring commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += L' ';
    commandLine += L'"';
    commandLine += argv[i];
    commandLine += L'"';
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "winlaunch: cannot start %ls (error %lu)\n", argv[1], GetLastError());
    return 2;
  }
  const win::UniqueHandle thread(process.hThread), child(process.hProcess);
  WaitForSingleObject(child.get(), INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(child.get(), &code);
  std::printf("exit code: %lu\n", code);
  std::fflush(stdout);
  return static_cast<int>(code);
}
