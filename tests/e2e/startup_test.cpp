// Install.exe started for real: its window appears, the close button ends it with 1009, and the
// cancel command that Esc or Alt+F4 produce leaves it open.
#include <gtest/gtest.h>

#include "tests/e2e/support/driver.h"

namespace {

constexpr int kCloseButtonId = 1009;

TEST(Startup, CloseButtonEndsTheInstallerWithCode1009) {
  e2e::InstallerProcess installer;
  ASSERT_TRUE(installer.started());
  HWND window = installer.WaitForMainWindow();
  ASSERT_NE(window, nullptr);

  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  EXPECT_STREQ(title, L"Tavo手机助手安装程序");

  HWND close = GetDlgItem(window, kCloseButtonId);
  ASSERT_NE(close, nullptr);
  e2e::ClickCenter(close);

  DWORD code = 0;
  ASSERT_TRUE(installer.WaitForExit(5000, &code)) << "the installer did not end after the close button";
  EXPECT_EQ(code, 1009u);
}

TEST(Startup, CancelCommandAndEscapeLeaveTheWindowOpen) {
  e2e::InstallerProcess installer;
  HWND window = installer.WaitForMainWindow();
  ASSERT_NE(window, nullptr);

  PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
  PostMessageW(window, WM_CLOSE, 0, 0);  // Alt+F4 and the task bar arrive as the cancel command
  SetForegroundWindow(window);
  PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageW(window, WM_KEYUP, VK_ESCAPE, 0);
  Sleep(1000);

  EXPECT_TRUE(installer.Running());
  EXPECT_TRUE(IsWindow(window));
  EXPECT_TRUE(IsWindowVisible(window));
}

}  // namespace
