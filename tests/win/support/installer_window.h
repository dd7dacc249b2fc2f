// The installer window run inside a test: the module, a message loop and a shown CMainDlg, with
// helpers to pump messages, find controls and use the real mouse.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/main_dlg.h"
#include "platform/win/message_loop.h"
#include "app/prompt.h"
#include "platform/shell.h"

namespace testing_support {

// Initialises the module once for the whole test program (GDI+ is started by the test
// environment).
void EnsureApplicationStarted();

// Dispatches the thread's messages for about `milliseconds`, running the dialog filter.
void Pump(DWORD milliseconds = 100);

// A CMainDlg created from its template and shown, registered with a loop of its own.
class InstallerWindow {
 public:
  InstallerWindow();
  ~InstallerWindow();
  InstallerWindow(const InstallerWindow&) = delete;
  InstallerWindow& operator=(const InstallerWindow&) = delete;

  [[nodiscard]] HWND hwnd() const { return dialog_->m_hWnd; }
  CMainDlg& dialog() { return *dialog_; }
  CMessageLoop& loop() { return loop_; }

 private:
  CMessageLoop loop_;
  std::unique_ptr<CMainDlg> dialog_;
};

// The direct children of `parent` with control id `id`, in Z order.
std::vector<HWND> ChildrenWithId(HWND parent, int id);
// The first direct child of `parent` of window class `className`.
HWND ChildOfClass(HWND parent, const wchar_t* className);
std::wstring TextOf(HWND window);
std::wstring ClassOf(HWND window);
// The window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND window);
SIZE WindowSize(HWND window);

// Moves the pointer to the centre of `control` and presses and releases the left button through
// the input queue, pumping messages in between.
void ClickWithMouse(HWND control);

// Presses and releases `key` through the input queue (with Shift held when `shift`), then pumps
// messages until `done` holds or 5 s have passed; returns whether it held.
template <typename Condition>
bool PressKey(WORD key, bool shift, Condition done);
void PressKeyOnly(WORD key, bool shift);
template <typename Condition>
bool PressKey(WORD key, bool shift, Condition done) {
  PressKeyOnly(key, shift);
  for (DWORD start = GetTickCount(); GetTickCount() - start < 5000;) {
    Pump(20);
    if (done()) return true;
  }
  return done();
}

// Records what the window opens and the boxes it shows; opens and shows nothing (every box is
// answered with OK).
class RecordingShell final : public platform::IShell, public IPrompt {
 public:
  RecordingShell() {
    platform::SetShell(this);
    SetPrompt(this);
  }
  ~RecordingShell() {
    SetPrompt(nullptr);
    platform::SetShell(nullptr);
  }
  int Show(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) override;
  bool Open(const std::wstring& target) override;

  std::vector<std::wstring> opened;
  std::vector<std::wstring> boxes;
};

}  // namespace testing_support
