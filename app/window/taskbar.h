// The installer's taskbar button shows the installation's progress, behind one seam: the window
// drives the system's (ITaskbarList3); tests install a recorder instead.
#pragma once

#include <windows.h>

#include <cstdint>

class ITaskbarProgress {
 public:
  enum class State { kNone, kNormal, kError };

  // The button's look: no progress, a normal bar, or the error state.
  virtual void SetState(HWND window, State state) = 0;
  // The bar's fill, `done` of `total`.
  virtual void SetValue(HWND window, std::uint64_t done, std::uint64_t total) = 0;

 protected:
  ~ITaskbarProgress() = default;
};

// The current taskbar: the system's unless SetTaskbar installed another. On the window's thread.
ITaskbarProgress& Taskbar();
// Replaces the taskbar for the whole process; nullptr restores the system's. The caller keeps
// ownership and restores before the object dies.
void SetTaskbar(ITaskbarProgress* taskbar);
