#include "tests/win/support/window.h"

#include <objidl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>


namespace testsupport {
namespace {

// GDI+ for every test, started once as the installer's process entry does.
class GdiplusEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
  }
  void TearDown() override { Gdiplus::GdiplusShutdown(token_); }

 private:
  ULONG_PTR token_ = 0;
};
[[maybe_unused]] ::testing::Environment* const kGdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

}  // namespace

void Pump(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      // The window's own filter first (its keyboard handling), as its message loop does.
      CMessageLoop* loop = g_module.GetMessageLoop();
      if (loop && loop->PreTranslateMessage(&message)) continue;
      HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
      if (!root || !IsDialogMessageW(root, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
    Sleep(10);
  } while (GetTickCount() - start < milliseconds);
}

InstallerWindow::InstallerWindow() {
  [[maybe_unused]] static const bool started = (g_module.Init(GetModuleHandleW(nullptr)), true);  // once per program
  g_module.AddMessageLoop(&loop_);
  window_ = std::make_unique<MainWindow>();
  if (window_->Create(nullptr)) {
    ShowWindow(window_->m_hWnd, SW_SHOWNORMAL);
    SetForegroundWindow(window_->m_hWnd);
    Pump(200);
  }
}

InstallerWindow::~InstallerWindow() {
  window_.reset();
  Pump(50);
  g_module.RemoveMessageLoop();
}

bool Checked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

RECT RectInParent(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

SIZE ClientSize(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return {client.right, client.bottom};
}

void PressKeyOnly(WORD key, bool shift) {
  std::vector<INPUT> keys;
  auto add = [&keys](WORD vk, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = flags;
    keys.push_back(input);
  };
  if (shift) add(VK_SHIFT, 0);
  add(key, 0);
  add(key, KEYEVENTF_KEYUP);
  if (shift) add(VK_SHIFT, KEYEVENTF_KEYUP);
  SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
}

bool SaveWindowScreenshot(HWND window, const std::wstring& name) {
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump(200);
  return SaveScreenshot(window, name);
}

COLORREF ScreenPixel(HWND window, POINT point) {
  ClientToScreen(window, &point);
  win::WindowDc screen(nullptr);
  return GetPixel(screen.get(), point.x, point.y);
}

int InkIn(HWND window, const RECT& rect, COLORREF ground) {
  int ink = 0;
  for (int x = rect.left; x < rect.right; ++x)
    for (int y = rect.top; y < rect.bottom; ++y) ink += ScreenPixel(window, {x, y}) != ground;
  return ink;
}

}  // namespace testsupport
