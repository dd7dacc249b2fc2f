#include "tests/core/support/child_process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/text.h"
#endif

namespace testsupport {

ChildProcess::~ChildProcess() {
  Kill();
  Wait();
}

#ifdef _WIN32

bool ChildProcess::Start(const std::wstring& program, const std::vector<std::wstring>& args) {
  // Quoted for the child's runtime; a final backslash is doubled so it does not escape the quote.
  std::wstring command = L"\"" + program + L"\"";
  for (const std::wstring& arg : args) command += L" \"" + arg + (arg.back() == L'\\' ? L"\\\"" : L"\"");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &process))
    return false;
  CloseHandle(process.hThread);
  handle_ = reinterpret_cast<std::intptr_t>(process.hProcess);
  return true;
}

void ChildProcess::Kill() {
  if (handle_) TerminateProcess(reinterpret_cast<HANDLE>(handle_), 1);
}

int ChildProcess::Wait() {
  if (!handle_) return -1;
  HANDLE process = reinterpret_cast<HANDLE>(handle_);
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  handle_ = 0;
  return static_cast<int>(code);
}

#else

bool ChildProcess::Start(const std::wstring& program, const std::vector<std::wstring>& args) {
  std::vector<std::string> narrow{platform::ToUtf8(program)};
  for (const std::wstring& arg : args) narrow.push_back(platform::ToUtf8(arg));
  std::vector<char*> argv;
  for (std::string& arg : narrow) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {  // the child: its output goes nowhere
    dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  handle_ = pid > 0 ? pid : 0;
  return pid > 0;
}

void ChildProcess::Kill() {
  if (handle_) kill(static_cast<pid_t>(handle_), SIGKILL);
}

int ChildProcess::Wait() {
  int status = 0;
  if (!handle_ || waitpid(static_cast<pid_t>(handle_), &status, 0) < 0) return -1;
  handle_ = 0;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

}  // namespace testsupport
