// A child process a test can kill hard, as a crash or a power cut would end it.
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

  // Starts `program` (a full path), its output discarded; natively a failed exec exits 127.
  bool Start(const std::wstring& program, const std::vector<std::wstring>& args);
  void Kill();
  // Waits for the child and returns its exit code (-1 when killed or not started).
  int Wait();

 private:
  std::intptr_t handle_ = 0;  // pid natively, process handle on Windows; 0 when none runs
};

}  // namespace testsupport
