#include "platform/shell.h"

#include <atomic>
#include <cstdio>

#include "platform/text.h"

namespace platform {
namespace {

// Without a window system nothing can be posted; boxes and opened targets are reported on stderr.
class ConsoleShell final : public IShell {
 public:
  bool Post(WindowHandle, unsigned, std::uintptr_t, std::intptr_t) override { return false; }
  int ShowMessageBox(WindowHandle, const std::wstring& text, const std::wstring& caption, unsigned) override {
    std::fprintf(stderr, "[%s] %s\n", ToUtf8(caption).c_str(), ToUtf8(text).c_str());
    return kIdOk;
  }
  bool Open(const std::wstring& target) override {
    std::fprintf(stderr, "open %s\n", ToUtf8(target).c_str());
    return false;
  }
};

ConsoleShell g_console;
std::atomic<IShell*> g_current{nullptr};

}  // namespace

IShell& Shell() {
  IShell* current = g_current.load();
  return current ? *current : g_console;
}

void SetShell(IShell* shell) { g_current.store(shell); }

}  // namespace platform
