#include "platform/shell.h"

#include <atomic>
#include <cstdio>

#include "platform/text.h"

namespace platform {
namespace {

// Without a desktop there is nothing to open: the target is reported on stderr.
class ConsoleShell final : public IShell {
 public:
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
