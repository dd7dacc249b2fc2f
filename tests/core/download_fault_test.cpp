// The platform seam fails the Nth call of connect, send, receive, open, read, write, rename or
// remove, for N = 1, 2, 3, ... until a run meets no fault. After every run the result is a failure
// with no target, or the file byte-identical; and a clean rerun ends byte-identical, so nothing a
// faulted run left behind is trusted wrongly.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "download/http_get.h"
#include "platform/fault.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "tests/core/support/script_server.h"
#include "tests/core/support/temp_dir.h"

namespace {

using testsupport::ScriptServer;

class StopAfterBlocks final : public IDownloadCallBack {
 public:
  explicit StopAfterBlocks(int blocks) : left_(blocks) {}
  int OnProgress(std::uint32_t total, int, std::uint32_t, int) override { return total && --left_ <= 0 ? 1 : 0; }
  void OnSavePath(const std::wstring&, int) override {}
  void OnServerAddress(const std::wstring&, int) override {}

 private:
  int left_;
};

using Files = std::map<std::string, std::string>;

Files Snapshot(const testsupport::TempDir& dir) {
  Files files;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    files[entry.path().filename().string()] = testsupport::ReadAll(platform::FromUtf8(entry.path().string()));
  return files;
}

void Restore(const testsupport::TempDir& dir, const Files& files) {
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) std::filesystem::remove_all(entry.path());
  for (const auto& [name, bytes] : files) ASSERT_TRUE(testsupport::WriteAll(dir.File(platform::FromUtf8(name)), bytes));
}

class DownloadFaults : public ::testing::TestWithParam<bool> {
 protected:
  int Download(IDownloadCallBack* callback = nullptr) {
    DownloadRequest request;
    request.url = platform::FromUtf8(server.Url("/pkg.zip?md5=" + md5));
    request.saveLocation = dir.Wide();
    request.callback = callback;
    request.timing.firstPauseMs = 1;
    request.timing.maxPauseMs = 2;
    request.timing.retryBudgetMs = 2000;
    DownloadOutcome outcome;
    return DownloadWithOutcome(request, outcome);
  }

  const std::string content = testsupport::MakeContent(6000000, 9);
  const std::string md5 = [this] {
    testsupport::TempDir scratch;
    testsupport::WriteAll(scratch.File(L"f"), content);
    return platform::ToUtf8(FileMd5Hex(scratch.File(L"f")));
  }();
  ScriptServer server{[this](const std::string& request, int) { return testsupport::ServeContent(request, content); }};
  testsupport::TempDir dir;
};

TEST_P(DownloadFaults, AFaultAtAnyCallNeverLeavesAWrongFile) {
  const bool resume = GetParam();
  Files start;
  if (resume) {
    // What a stopped run leaves: a record and parts with a few blocks each.
    StopAfterBlocks stopper(6);
    ASSERT_EQ(Download(&stopper), DL_STOPPED);
    start = Snapshot(dir);
    ASSERT_GE(start.size(), 2u);
  }
  // Two threads make the number of calls vary from run to run by a few receives: the loop ends only
  // once several runs in a row met no fault, so that the last calls of the longer runs (the join,
  // the rename) are reached too.
  int faulted = 0;
  for (std::uint64_t n = 1, clean = 0; clean < 12; ++n) {
    Restore(dir, start);
    platform::ArmFault(n);
    const int result = Download();
    const bool fired = platform::FaultFired();
    platform::ArmFault(0);
    const bool present = platform::PathExists(dir.File(L"pkg.zip"));
    if (result == DL_OK)
      ASSERT_TRUE(testsupport::ReadAll(dir.File(L"pkg.zip")) == content) << "call " << n;
    else
      ASSERT_FALSE(present) << "call " << n << " result " << result;
    if (!fired) {
      ++clean;
      continue;
    }
    clean = 0;
    ++faulted;
    if (present) {
      ASSERT_TRUE(platform::RemoveFile(dir.File(L"pkg.zip")));
    }
    ASSERT_EQ(Download(), DL_OK) << "rerun after a fault at call " << n << " (result " << result << ")";
    ASSERT_TRUE(testsupport::ReadAll(dir.File(L"pkg.zip")) == content) << "rerun after call " << n;
  }
  EXPECT_GT(faulted, 20);
}

INSTANTIATE_TEST_SUITE_P(FreshAndResumed, DownloadFaults, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Resumed" : "Fresh"; });

}  // namespace
