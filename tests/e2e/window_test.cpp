// The real Install.exe's setup page worked with the mouse: dragging by the background, presses
// on buttons that do not drag, expanding, and screenshots of both heights.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/e2e/support/driver.h"
#include "tests/e2e/support/screenshot.h"

namespace {

constexpr int kInstallButtonId = 1005;
constexpr int kCustomOpenId = 1007;
constexpr int kCustomCloseId = 1008;

void MouseButton(DWORD flag) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flag;
  SendInput(1, &input, sizeof(input));
  Sleep(50);
}

// Presses at `from` (screen), moves in steps by (dx, dy) and releases.
void Drag(POINT from, int dx, int dy) {
  SetCursorPos(from.x, from.y);
  Sleep(100);
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  for (int step = 1; step <= 5; ++step) {
    SetCursorPos(from.x + dx * step / 5, from.y + dy * step / 5);
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &move, sizeof(move));
    Sleep(60);
  }
  MouseButton(MOUSEEVENTF_LEFTUP);
  Sleep(300);
}

RECT WindowRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

TEST(SetupPage, DraggingTheBackgroundMovesTheWindowAndAButtonPressDoesNot) {
  e2e::InstallerProcess installer;
  HWND window = installer.WaitForMainWindow();
  ASSERT_NE(window, nullptr);
  SetForegroundWindow(window);
  Sleep(300);

  const RECT before = WindowRect(window);
  Drag({before.left + 100, before.top + 250}, 40, 30);  // the band, where no control lies
  const RECT moved = WindowRect(window);
  EXPECT_EQ(moved.left, before.left + 40);
  EXPECT_EQ(moved.top, before.top + 30);
  EXPECT_EQ(moved.right - moved.left, before.right - before.left);

  // Pressing on the install button and moving off it before the release: no drag, no click.
  RECT button{};
  GetWindowRect(GetDlgItem(window, kInstallButtonId), &button);
  Drag({(button.left + button.right) / 2, (button.top + button.bottom) / 2}, 0, 60);
  const RECT after = WindowRect(window);
  EXPECT_EQ(after.left, moved.left);
  EXPECT_EQ(after.top, moved.top);
  EXPECT_TRUE(installer.Running());
}

TEST(SetupPage, CustomInstallExpandsBy200AndBothHeightsAreCaptured) {
  e2e::InstallerProcess installer;
  HWND window = installer.WaitForMainWindow();
  ASSERT_NE(window, nullptr);
  SetForegroundWindow(window);
  Sleep(2000);  // the first paint of the skin takes a while under Wine
  EXPECT_TRUE(e2e::SaveScreenshot(window, L"setup-collapsed"));

  const RECT collapsed = WindowRect(window);
  e2e::ClickCenter(GetDlgItem(window, kCustomOpenId));
  Sleep(2000);
  const RECT expanded = WindowRect(window);
  EXPECT_EQ(expanded.bottom - expanded.top, collapsed.bottom - collapsed.top + 200);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, kCustomCloseId)));
  EXPECT_TRUE(e2e::SaveScreenshot(window, L"setup-expanded"));

  e2e::ClickCenter(GetDlgItem(window, kCustomCloseId));
  Sleep(500);
  EXPECT_EQ(WindowRect(window).bottom, collapsed.bottom);
}

COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  COLORREF pixel = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return pixel;
}

bool Near(COLORREF a, COLORREF b) {
  return abs(GetRValue(a) - GetRValue(b)) <= 6 && abs(GetGValue(a) - GetGValue(b)) <= 6 &&
         abs(GetBValue(a) - GetBValue(b)) <= 6;
}

void MovePointerTo(int x, int y) {
  SetCursorPos(x - 3, y - 3);
  Sleep(50);
  SetCursorPos(x, y);
  INPUT move{};
  move.type = INPUT_MOUSE;
  move.mi.dwFlags = MOUSEEVENTF_MOVE;
  SendInput(1, &move, sizeof(move));
}

TEST(SetupPage, InstallButtonLightensUnderThePointer) {
  e2e::InstallerProcess installer;
  HWND window = installer.WaitForMainWindow();
  ASSERT_NE(window, nullptr);
  SetForegroundWindow(window);
  RECT button{};
  GetWindowRect(GetDlgItem(window, kInstallButtonId), &button);
  const RECT frame = WindowRect(window);
  MovePointerTo(frame.left + 100, frame.top + 250);
  Sleep(2000);  // the first paint of the skin takes a while under Wine
  EXPECT_TRUE(Near(ScreenPixel(button.left + 4, button.top + 4), RGB(0x32, 0x9E, 0xD9)));

  MovePointerTo((button.left + button.right) / 2, (button.top + button.bottom) / 2);
  Sleep(800);
  EXPECT_TRUE(Near(ScreenPixel(button.left + 4, button.top + 4), RGB(0x34, 0xB7, 0xFF)));
  EXPECT_TRUE(e2e::SaveScreenshot(window, L"setup-install-hover"));

  MovePointerTo(frame.left + 100, frame.top + 250);
  Sleep(800);
  EXPECT_TRUE(Near(ScreenPixel(button.left + 4, button.top + 4), RGB(0x32, 0x9E, 0xD9)));
}

}  // namespace
