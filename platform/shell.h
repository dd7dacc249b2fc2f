// What the Windows shell side asks of the desktop besides its own windows: opening an address or
// a program with the shell's "open" verb.
//
// Shell() is the real desktop (ShellExecuteW "open") on Windows; natively opening prints the
// target. Tests install their own IShell with SetShell to record what the code asks; Install.exe
// never does. Callable from any thread.
#pragma once

#include <string>

namespace platform {

class IShell {
 public:
  // Opens an address or a program with the shell's "open" verb, shown normally.
  virtual bool Open(const std::wstring& target) = 0;

 protected:
  ~IShell() = default;
};

IShell& Shell();
// Replaces the shell for the whole process; nullptr restores the real one. The caller keeps
// ownership and must restore before the object dies.
void SetShell(IShell* shell);

}  // namespace platform
