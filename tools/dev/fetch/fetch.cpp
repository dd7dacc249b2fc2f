// fetch URL DIR [--segments 0|1] [--log]: runs the download engine once, printing progress and
// the result code (--log: the engine's log lines on standard error). Exits 0 for results 1
// (downloaded) and 7 (already present), 1 otherwise. Natively the proxy comes from http_proxy.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "download/http_get.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/text.h"

namespace {

class ConsoleProgress final : public IDownloadCallBack {
 public:
  int OnProgress(std::uint32_t total, int percent, std::uint32_t kibPerSecond, int) override {
    if (percent != last_) {
      last_ = percent;
      std::printf("progress %3d%% of %u bytes, %u KiB/s\n", percent, total, kibPerSecond);
      std::fflush(stdout);
    }
    return 0;
  }
  void OnSavePath(const std::wstring& target, int) override {
    std::printf("saving to %s\n", platform::ToUtf8(target).c_str());
  }
  void OnServerAddress(const std::wstring&, int) override {}

 private:
  int last_ = -1;
};

class StderrLog final : public platform::ILogSink {
 public:
  void WriteLine(const std::string& line) override {
    std::lock_guard<std::mutex> hold(mutex_);
    std::fprintf(stderr, "%6u ms  %s\n", platform::TickCount() - start_, line.c_str());
  }

 private:
  std::mutex mutex_;
  const std::uint32_t start_ = platform::TickCount();
};

int Usage() {
  std::fprintf(stderr, "usage: fetch URL DIR [--segments 0|1] [--log]\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  int allowSegments = 1;
  bool log = false;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--log") == 0) {
      log = true;
    } else if (std::strcmp(argv[i], "--segments") == 0 && i + 1 < argc &&
               (!std::strcmp(argv[i + 1], "0") || !std::strcmp(argv[i + 1], "1"))) {
      allowSegments = argv[++i][0] - '0';
    } else {
      return Usage();
    }
  }
  const std::wstring url = platform::FromAnsi(argv[1]);
  // The engine takes a Windows-shaped directory ending in "\\"; natively "\\" maps back to "/".
  std::wstring dir = platform::FromAnsi(argv[2]);
  for (wchar_t& c : dir)
    if (c == L'/') c = L'\\';
  if (dir.empty() || dir.back() != L'\\') dir += L'\\';

  StderrLog sink;
  if (log) platform::SetLogSink(&sink);
  ConsoleProgress progress;
  const DownloadResult result = DownloadFile(url.c_str(), dir.c_str(), &progress, 0, allowSegments, 0, 0);
  platform::SetLogSink(nullptr);
  std::printf("result %d %s\n", result, DownloadResultName(result));
  return result == DL_OK || result == DL_ALREADY_PRESENT ? 0 : 1;
}
