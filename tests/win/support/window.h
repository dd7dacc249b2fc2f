// The installer window run inside a test (module, loop, a shown MainWindow), with helpers to pump
// messages, wait for a condition, use the real mouse and keyboard, read the screen and save
// screenshots, and a shell that records instead of opening. GDI+ is started for the whole program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/window/main_window.h"
#include "platform/shell.h"
#include "platform/win/handles.h"
#include "tests/win/support/system.h"
#include "ui/message_loop.h"

namespace testsupport {

// Dispatches the thread's messages for about `milliseconds`, running the window's filter first.
void Pump(DWORD milliseconds = 100);

// Pumps messages until `done` holds or `limitMs` have passed; returns whether it held.
template <typename Condition>
bool PumpUntil(Condition done, DWORD limitMs = 10000) {
  return Eventually([&] { return Pump(10), done(); }, limitMs);
}

// A MainWindow created from its template and shown, registered with a loop of its own.
class InstallerWindow {
 public:
  InstallerWindow();
  ~InstallerWindow();
  InstallerWindow(const InstallerWindow&) = delete;
  InstallerWindow& operator=(const InstallerWindow&) = delete;

  [[nodiscard]] HWND hwnd() const { return window_->m_hWnd; }
  [[nodiscard]] HWND item(int id) const { return GetDlgItem(hwnd(), id); }
  MainWindow& window() { return *window_; }

 private:
  CMessageLoop loop_;
  std::unique_ptr<MainWindow> window_;
};

bool Checked(HWND box);
// The window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND window);
SIZE ClientSize(HWND window);

// Presses and releases `key` through the input queue (with Shift held when `shift`), then pumps
// until `done` holds; returns whether it did.
void PressKeyOnly(WORD key, bool shift);
template <typename Condition>
bool PressKey(WORD key, bool shift, Condition done) {
  PressKeyOnly(key, shift);
  return PumpUntil(done, 5000);
}

// Brings `window` to the front, lets it paint and saves the screen under it (SaveScreenshot).
bool SaveWindowScreenshot(HWND window, const std::wstring& name);
// The colour the screen shows at `point` of `window`'s client area.
COLORREF ScreenPixel(HWND window, POINT point);
// Pixels in `rect` of the window's client area that the screen shows in another colour than `ground`.
int InkIn(HWND window, const RECT& rect, COLORREF ground);

// Records what the window asks the shell to open, and opens nothing.
class RecordingShell final : public platform::IShell {
 public:
  RecordingShell() { platform::SetShell(this); }
  ~RecordingShell() { platform::SetShell(nullptr); }
  bool Open(const std::wstring& target) override {
    opened.push_back(target);
    return true;
  }
  std::vector<std::wstring> opened;
};

}  // namespace testsupport
