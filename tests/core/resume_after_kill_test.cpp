// A download killed after a split: the next run continues every piece and ends byte-identical.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "platform/clock.h"
#include "platform/fs.h"
#include "tests/core/support/child_process.h"
#include "tests/core/support/script_server.h"

namespace {

using testsupport::RangeOf;
using testsupport::Script;
using testsupport::ScriptServer;

TEST(ResumeAfterKill, ASecondRunContinuesEveryPieceOfAKilledOneAfterASplit) {
  const std::string content = testsupport::MakeContent(16000000);
  std::atomic<bool> slow{true};
  ScriptServer server([&](const std::string& request, int) {
    Script served = testsupport::ServeContent(request, content);
    if (!slow.load() || RangeOf(request).rfind("0-", 0) != 0 || RangeOf(request) == "0-1") return served;
    // The first half trickles a byte a second, so the other connection finishes and takes over
    // part of it, and the piece at 0 is still far from its end at the kill however long the rest
    // takes on a busy machine; the bytes come often enough that the client never gives up on it.
    const std::string& bytes = served[0].bytes;
    return testsupport::Slowly({testsupport::Send(bytes.substr(0, bytes.find("\r\n\r\n") + 4 + 600))}, 1, 1000);
  });
  testsupport::TempDir dir;
  const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/pkg.zip";

  testsupport::ChildProcess child;
  ASSERT_TRUE(child.Start(FETCH_TOOL, {url, dir.Wide()}));
  // Kill it once a third piece and the first hold bytes, while the first is far from done.
  for (int i = 0; i < 6000 && (platform::FileSize(dir.File(L"pkg.zip_2")) <= 0 ||
                               platform::FileSize(dir.File(L"pkg.zip_0")) <= 0); ++i)
    platform::SleepMs(10);
  child.Kill();
  child.Wait();
  const std::int64_t first = platform::FileSize(dir.File(L"pkg.zip_0"));
  ASSERT_GT(platform::FileSize(dir.File(L"pkg.zip_2")), 0);
  ASSERT_GT(first, 0);
  ASSERT_LT(first, 8000000);
  EXPECT_FALSE(platform::PathExists(dir.File(L"pkg.zip")));

  slow = false;
  const std::size_t before = server.Requests().size();
  EXPECT_EQ(DownloadFile(url.c_str(), dir.Wide().c_str(), nullptr, 0, 1, 0, 0), DL_OK);
  EXPECT_TRUE(testsupport::ReadAll(dir.File(L"pkg.zip")) == content);
  // The first piece continued exactly where its part file ends (the record names ranges only; every
  // byte written is a resume point); nothing started over from 0.
  std::string ranges;
  for (std::size_t i = before; i < server.Requests().size(); ++i) ranges += " " + RangeOf(server.Requests()[i]);
  EXPECT_NE(ranges.find(" " + std::to_string(first) + "-"), std::string::npos) << ranges;
  EXPECT_EQ(ranges.find(" 0-", 5), std::string::npos) << ranges;  // only the probe's "0-1" starts at 0
}

}  // namespace
