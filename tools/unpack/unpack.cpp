// unpack PACKAGE DIR: extracts a package the way the installer does, with the console standing in
// for the installer window. Prints the extraction percentage and the window messages, answers
// every message box at once, and exits 0 when the extraction finished, 1 otherwise.
#include <atomic>
#include <cstdio>

#include "platform/shell.h"
#include "platform/text.h"
#include "unzip/extract_package.h"

namespace {

class ConsoleWindow final : public platform::IShell {
 public:
  bool Post(platform::WindowHandle, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
    switch (message) {
      case unzip::WM_EXTRACT_PROGRESS: {
        const int percent = lParam > 0 ? static_cast<int>(wParam * 100.0 / static_cast<double>(lParam)) : 0;
        if (percent != lastPercent_) std::printf("%d%%\n", percent);
        lastPercent_ = percent;
        break;
      }
      case unzip::WM_EXTRACT_FINISHED:
        std::printf("finished\n");
        finished_ = true;
        break;
      case unzip::WM_EXTRACT_FAILED:
        std::printf("failed at stage %u\n", static_cast<unsigned>(wParam));
        break;
      default:
        std::printf("message %u (%ju, %jd)\n", message, static_cast<std::uintmax_t>(wParam),
                    static_cast<std::intmax_t>(lParam));
    }
    return true;
  }
  int ShowMessageBox(platform::WindowHandle, const std::wstring& text, const std::wstring&, unsigned) override {
    std::fprintf(stderr, "message box: %s\n", platform::ToUtf8(text).c_str());
    return platform::kIdOk;
  }
  bool Open(const std::wstring&) override { return false; }

  bool finished() const { return finished_; }

 private:
  int lastPercent_ = -1;
  std::atomic<bool> finished_{false};
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: unpack PACKAGE DIR\n");
    return 2;
  }
  ConsoleWindow window;
  platform::SetShell(&window);
  // The window handle is never looked at by the console window.
  (void)ExtractPackage(platform::FromAnsi(argv[1]), platform::FromAnsi(argv[2]), &window);
  platform::SetShell(nullptr);
  return window.finished() ? 0 : 1;
}
