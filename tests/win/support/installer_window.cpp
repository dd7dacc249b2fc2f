#include "tests/win/support/installer_window.h"

namespace testing_support {

void EnsureApplicationStarted() {
  static bool started = false;
  if (started) return;
  started = true;
  g_module.Init(GetModuleHandleW(nullptr));
}

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
  EnsureApplicationStarted();
  g_module.AddMessageLoop(&loop_);
  dialog_ = std::make_unique<CMainDlg>();
  if (dialog_->Create(nullptr)) {
    ShowWindow(dialog_->m_hWnd, SW_SHOWNORMAL);
    SetForegroundWindow(dialog_->m_hWnd);
    Pump(200);
  }
}

InstallerWindow::~InstallerWindow() {
  dialog_.reset();
  Pump(50);
  g_module.RemoveMessageLoop();
}

namespace {
struct ChildSearch {
  HWND parent;
  int id;
  const wchar_t* className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<ChildSearch*>(context);
  if (GetParent(window) != search->parent) return TRUE;
  if (search->className ? ClassOf(window) == search->className : GetDlgCtrlID(window) == search->id)
    search->found.push_back(window);
  return TRUE;
}
}  // namespace

std::vector<HWND> ChildrenWithId(HWND parent, int id) {
  ChildSearch search{parent, id, nullptr, {}};
  EnumChildWindows(parent, &CollectChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND ChildOfClass(HWND parent, const wchar_t* className) {
  ChildSearch search{parent, 0, className, {}};
  EnumChildWindows(parent, &CollectChild, reinterpret_cast<LPARAM>(&search));
  return search.found.empty() ? nullptr : search.found.front();
}

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

RECT RectInParent(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

SIZE WindowSize(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

void ClickWithMouse(HWND control) {
  RECT bounds{};
  GetWindowRect(control, &bounds);
  SetForegroundWindow(GetAncestor(control, GA_ROOT));
  SetCursorPos((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
  Pump(50);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  SendInput(1, &input, sizeof(input));
  Pump(50);
  input.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(1, &input, sizeof(input));
  Pump(100);
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

int RecordingShell::Show(HWND, const std::wstring& text, const std::wstring&, UINT) {
  boxes.push_back(text);
  return IDOK;
}

bool RecordingShell::Open(const std::wstring& target) {
  opened.push_back(target);
  return true;
}

}  // namespace testing_support
