// Working the real Install.exe as a user would: start it, find its window and controls, click
// with the mouse, and read the full exit code.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

class InstallerProcess {
 public:
  // Starts `program` (Install.exe by default) with the given arguments (none by default).
  explicit InstallerProcess(const std::wstring& program = INSTALL_EXE, const std::wstring& arguments = L"");
  ~InstallerProcess();  // terminates the process if it still runs
  InstallerProcess(const InstallerProcess&) = delete;
  InstallerProcess& operator=(const InstallerProcess&) = delete;

  [[nodiscard]] bool started() const { return process_.hProcess != nullptr; }
  [[nodiscard]] DWORD id() const { return process_.dwProcessId; }

  // The process's visible top-level window, waiting up to `timeoutMs` for it; null when none.
  HWND WaitForMainWindow(DWORD timeoutMs = 15000) const;
  // Waits for the process to end; true with its exit code when it did within `timeoutMs`.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode) const;
  [[nodiscard]] bool Running() const;

 private:
  PROCESS_INFORMATION process_{};
};

// Copies the window's area of the X display into build/screenshots/<name>.png (xwd and
// ImageMagick on the Unix side); false on failure.
bool SaveScreenshot(HWND window, const std::wstring& name);

// A visible top-level window of the process, or null.
HWND VisibleWindowOf(DWORD processId);

// Presses and releases the left button at the centre of `control`, through the input queue.
void ClickCenter(HWND control);

}  // namespace e2e
