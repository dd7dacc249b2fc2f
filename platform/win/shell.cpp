#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

#include <atomic>

namespace platform {
namespace {

class DesktopShell final : public IShell {
 public:
  bool Post(WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
    return PostMessageW(static_cast<HWND>(window), message, wParam, lParam) != FALSE;
  }
  int ShowMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                     unsigned type) override {
    return MessageBoxW(static_cast<HWND>(owner), text.c_str(), caption.empty() ? nullptr : caption.c_str(),
                       type);
  }
  bool Open(const std::wstring& target) override {
    auto result = ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
  }
};

DesktopShell g_desktop;
std::atomic<IShell*> g_current{nullptr};

}  // namespace

IShell& Shell() {
  IShell* current = g_current.load();
  return current ? *current : g_desktop;
}

void SetShell(IShell* shell) { g_current.store(shell); }

}  // namespace platform
