#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

#include <atomic>

namespace platform {
namespace {

class DesktopShell final : public IShell {
 public:
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
