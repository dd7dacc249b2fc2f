// unpack PACKAGE DIR [--writers N]: extracts a package the way the installer does, with the console
// standing in for the installer window. Prints the extraction percentage and the outcome (the
// run's log lines on standard error), and exits 0 when the extraction finished, 1 otherwise.
// --writers sets the threads that write the files (0: the reading thread writes them too).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/log.h"
#include "platform/text.h"
#include "unzip/extract_package.h"

namespace {

class ConsoleLog final : public platform::ILogSink {
 public:
  void WriteLine(const std::string& line) override { std::fprintf(stderr, "%s\n", line.c_str()); }
};

class ConsoleReport final : public unzip::IExtractReport {
 public:
  void OnExtractProgress(std::int32_t index, std::int32_t count) override {
    const int percent = count > 0 ? static_cast<int>(index * 100.0 / count) : 0;
    if (percent != lastPercent_) std::printf("%d%%\n", percent);
    lastPercent_ = percent;
  }
  bool ExtractCancelled() override { return false; }
  void OnExtractFinished() override { std::printf("finished\n"); }
  void OnExtractFailed(unzip::ExtractStage stage, std::int32_t result, const std::wstring& item,
                       bool packageBad) override {
    std::printf("failed at stage %u, result %d%s%s%s\n", static_cast<unsigned>(stage), static_cast<int>(result),
                item.empty() ? "" : ", item ", platform::ToUtf8(item).c_str(),
                packageBad ? ", package deleted" : "");
  }

 private:
  int lastPercent_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
  unsigned writers = unzip::kDefaultWriterThreads;
  if (argc == 5 && std::strcmp(argv[3], "--writers") == 0) {
    writers = static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10));
  } else if (argc != 3) {
    std::fprintf(stderr, "usage: unpack PACKAGE DIR [--writers N]\n");
    return 2;
  }
  ConsoleLog log;
  platform::SetLogSink(&log);
  ConsoleReport report;
  const bool finished = ExtractPackage(platform::FromAnsi(argv[1]), platform::FromAnsi(argv[2]), report, writers);
  platform::SetLogSink(nullptr);
  return finished ? 0 : 1;
}
