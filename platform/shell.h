// What the portable core and the installer window ask of the desktop: posting a message to the
// installer window, a modal message box, and opening an address or a program with the shell.
//
// Shell() is the real desktop (PostMessageW, MessageBoxW, ShellExecuteW "open") on Windows.
// Natively there is no window system: posts go nowhere (false), a message box prints its text on
// standard error and answers kIdOk, and opening prints the target. Tests and tools install their
// own IShell with SetShell to record or answer what the code asks; Install.exe never does.
//
// The implementation must be callable from any thread: posts come from download and install
// worker threads, message boxes from the install worker.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// HWND on Windows; opaque elsewhere. Never dereferenced by the core.
using WindowHandle = void*;

// Message box styles and answers, with their Win32 values.
enum MessageBoxType : unsigned {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbIconError = 0x10,
  kMbIconWarning = 0x30,
  kMbIconInformation = 0x40,
};
enum MessageBoxAnswer : int { kIdOk = 1, kIdCancel = 2 };

class IShell {
 public:
  // Queues the message for the window's thread without waiting; false when it could not be queued.
  virtual bool Post(WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // Shows a modal box on the calling thread; an empty caption means the system's default caption.
  virtual int ShowMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                             unsigned type) = 0;
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
