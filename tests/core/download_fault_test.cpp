// The platform seam fails the Nth counted call, for N = 1, 2, ...: every run ends in a failure with
// no target or the file byte-identical, and a clean rerun over what a failed run left does too.
#include <gtest/gtest.h>

#include "platform/fault.h"
#include "platform/fs.h"
#include "tests/core/support/script_server.h"

namespace {

// Stops a download once most of it has arrived, so that a resumed run has little left to fetch.
class StopNearTheEnd final : public IDownloadCallBack {
 public:
  int OnProgress(std::uint32_t, int percent, std::uint32_t, int) override { return percent >= 90 ? 1 : 0; }
  void OnSavePath(const std::wstring&, int) override {}
  void OnServerAddress(const std::wstring&, int) override {}
};

// Fresh: a small file in one piece, with its md5. Resumed: two pieces continued from a run stopped
// near its end, so every run reaches the join cheaply; no md5, so a wrong join would show here.
class DownloadFaults : public ::testing::TestWithParam<bool> {
 protected:
  DownloadResult Download(IDownloadCallBack* callback = nullptr) {
    const std::string path = GetParam() ? "/pkg.zip" : "/pkg.zip?md5=" + testsupport::Md5Hex(content);
    return testsupport::Download(server.Url(path), dir.Wide(), 2000, callback);
  }

  const std::string content = testsupport::MakeContent(GetParam() ? 5300000 : 400000, 9);
  testsupport::ScriptServer server{
      [this](const std::string& request, int) { return testsupport::ServeContent(request, content); }};
  testsupport::TempDir dir;
  const std::wstring target = dir.File(L"pkg.zip");
};

TEST_P(DownloadFaults, AFaultAtAnyCallNeverLeavesAWrongFile) {
  testsupport::Files start;
  if (GetParam()) {
    StopNearTheEnd stopper;
    ASSERT_EQ(Download(&stopper), DL_STOPPED);
    start = testsupport::ReadFiles(dir);
    ASSERT_GE(start.size(), 3u);  // the record and at least two parts
  }
  // The call count varies with the threads: stop only after many runs in a row met no fault.
  int faulted = 0, reruns = 0;
  for (std::uint64_t n = 1, clean = 0; clean < 12; ++n) {
    testsupport::WriteFiles(dir, start);
    platform::ArmFault(n);
    const DownloadResult result = Download();
    const bool fired = platform::FaultFired();
    platform::ArmFault(0);
    if (result == DL_OK)
      ASSERT_TRUE(testsupport::ReadAll(target) == content) << "call " << n;
    else
      ASSERT_FALSE(platform::PathExists(target)) << "call " << n << " result " << result;
    clean = fired ? 0 : clean + 1;
    faulted += fired;
    if (result == DL_OK || testsupport::ReadFiles(dir).empty()) continue;
    ++reruns;
    ASSERT_EQ(Download(), DL_OK) << "rerun after a fault at call " << n << " (result " << result << ")";
    ASSERT_TRUE(testsupport::ReadAll(target) == content) << "rerun after call " << n;
  }
  EXPECT_GT(faulted, 40);
  EXPECT_GT(reruns, 0);
}

INSTANTIATE_TEST_SUITE_P(FreshAndResumed, DownloadFaults, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Resumed" : "Fresh"; });

}  // namespace
