#include "tests/core/support/child_process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/text.h"
extern char** environ;
#endif

namespace testsupport {

ChildProcess::~ChildProcess() {
  if (running_) {
    Kill();
    Wait();
  }
}

#ifdef _WIN32

namespace {

// One argument quoted so the child's runtime reads it back unchanged: backslashes before a quote
// or before the closing quote are doubled ("C:\\dir\\" must not swallow its closing quote).
std::wstring Quote(const std::wstring& arg) {
  std::wstring quoted = L"\"";
  std::size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    quoted.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    quoted += c;
  }
  quoted.append(slashes * 2, L'\\');
  return quoted + L"\"";
}

}  // namespace

bool ChildProcess::Start(const std::wstring& program, const std::vector<std::wstring>& args) {
  std::wstring command = Quote(program);
  for (const std::wstring& arg : args) command += L" " + Quote(arg);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &process))
    return false;
  CloseHandle(process.hThread);
  handle_ = reinterpret_cast<std::intptr_t>(process.hProcess);
  running_ = true;
  return true;
}

void ChildProcess::Kill() {
  if (running_) TerminateProcess(reinterpret_cast<HANDLE>(handle_), 1);
}

int ChildProcess::Wait() {
  if (!running_) return -1;
  HANDLE process = reinterpret_cast<HANDLE>(handle_);
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  running_ = false;
  return static_cast<int>(code);
}

#else

bool ChildProcess::Start(const std::wstring& program, const std::vector<std::wstring>& args) {
  std::vector<std::string> narrow{platform::ToUtf8(program)};
  for (const std::wstring& arg : args) narrow.push_back(platform::ToUtf8(arg));
  std::vector<char*> argv;
  for (std::string& arg : narrow) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, narrow[0].c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  handle_ = pid;
  running_ = true;
  return true;
}

void ChildProcess::Kill() {
  if (running_) kill(static_cast<pid_t>(handle_), SIGKILL);
}

int ChildProcess::Wait() {
  if (!running_) return -1;
  int status = 0;
  while (waitpid(static_cast<pid_t>(handle_), &status, 0) < 0) {
    if (errno != EINTR) break;
  }
  running_ = false;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

}  // namespace testsupport
