// Runs a program as a child process that a test can kill hard (SIGKILL natively,
// TerminateProcess on Windows) to simulate a crash or a power cut.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `program` (a full path) with `args`; its standard output is discarded. False when it did
  // not start (natively: an exec that fails ends the child with 127).
  bool Start(const std::wstring& program, const std::vector<std::wstring>& args);
  // Ends the child at once, without any chance to clean up.
  void Kill();
  // Waits for the child and returns its exit code (-1 when killed or not started).
  int Wait();

 private:
  std::intptr_t handle_ = 0;  // pid natively, process handle on Windows; 0 when none runs
};

}  // namespace testsupport
