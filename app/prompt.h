// The installer's message boxes, behind one seam: the window shows real ones; tests answer them
// without showing anything, and a silent installation never shows one.
#pragma once

#include <windows.h>

#include <string>

class IPrompt {
 public:
  // Shows a modal box on the calling thread and returns the button pressed (IDOK, IDCANCEL).
  virtual int Show(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) = 0;

 protected:
  ~IPrompt() = default;
};

// The current prompt's answer; MessageBoxW unless SetPrompt installed another.
int ShowPrompt(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);
// Replaces the prompt for the whole process; nullptr restores the real boxes. The caller keeps
// ownership and restores before the object dies.
void SetPrompt(IPrompt* prompt);
