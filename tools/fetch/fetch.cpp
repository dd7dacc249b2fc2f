// fetch URL DIR [--segments 0|1]: runs the download engine once, printing progress and the
// result code. Exits 0 for results 1 (downloaded) and 7 (already present), 1 otherwise.
#include <cstdio>
#include <cstring>
#include <string>

#include "download/http_get.h"
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

int Usage() {
  std::fprintf(stderr, "usage: fetch URL DIR [--segments 0|1]\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) return Usage();
  int allowSegments = 1;
  if (argc == 5) {
    if (std::strcmp(argv[3], "--segments") != 0 || (std::strcmp(argv[4], "0") && std::strcmp(argv[4], "1")))
      return Usage();
    allowSegments = argv[4][0] - '0';
  }
  const std::wstring url = platform::FromAnsi(argv[1]);
  // The engine takes a Windows-shaped directory ending in "\\"; natively "\\" maps back to "/".
  std::wstring dir = platform::FromAnsi(argv[2]);
  for (wchar_t& c : dir)
    if (c == L'/') c = L'\\';
  if (dir.empty() || dir.back() != L'\\') dir += L'\\';

  ConsoleProgress progress;
  const int result = DownloadFile(url.c_str(), dir.c_str(), &progress, 0, allowSegments, 0, 0);
  std::printf("result %d %s\n", result, DownloadResultName(result));
  return result == DL_OK || result == DL_ALREADY_PRESENT ? 0 : 1;
}
