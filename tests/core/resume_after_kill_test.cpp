// The download process killed without warning mid-transfer; the next run continues the parts
// and ends with the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "download/http_get.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "tests/core/support/child_process.h"
#include "tests/core/support/script_server.h"
#include "tests/core/support/temp_dir.h"

namespace {

using testsupport::RangeOf;
using testsupport::Script;
using testsupport::ScriptServer;

std::int64_t PartBytes(const testsupport::TempDir& dir) {
  std::int64_t total = 0;
  for (const wchar_t* part : {L"pkg.zip_0", L"pkg.zip_1"}) total += std::max<std::int64_t>(0, platform::FileSize(dir.File(part)));
  return total;
}

TEST(ResumeAfterKill, ASecondRunContinuesThePartsOfAKilledOne) {
  const std::string content = testsupport::MakeContent(6000000);
  std::atomic<bool> slow{true};
  ScriptServer server([&](const std::string& request, int) {
    Script served = testsupport::ServeContent(request, content);
    if (!slow.load() || RangeOf(request).empty() || RangeOf(request) == "0-1") return served;
    const std::string bytes = served[0].bytes;
    const std::size_t body = bytes.find("\r\n\r\n") + 4;
    Script trickle{testsupport::Send(bytes.substr(0, body))};
    for (std::size_t at = body; at < bytes.size(); at += 32768) {
      trickle.push_back(testsupport::Send(bytes.substr(at, 32768)));
      trickle.push_back(testsupport::Pause(40));
    }
    return trickle;
  });
  testsupport::TempDir dir;
  std::wstring url = L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/pkg.zip";

  testsupport::ChildProcess child;
  ASSERT_TRUE(child.Start(FETCH_TOOL, {url, dir.Wide()}));
  // Kill it once both parts hold something but far from all (bounded wait).
  for (int i = 0; i < 1000 && PartBytes(dir) < 400000; ++i) platform::SleepMs(10);
  child.Kill();
  child.Wait();
  const std::int64_t kept = PartBytes(dir);
  ASSERT_GT(kept, 0);
  ASSERT_LT(kept, static_cast<std::int64_t>(content.size()));
  EXPECT_FALSE(platform::PathExists(dir.File(L"pkg.zip")));

  slow = false;
  const std::size_t before = server.Requests().size();
  EXPECT_EQ(DownloadFile(url.c_str(), dir.Wide().c_str(), nullptr, 0, 1, 0, 0), DL_OK);
  EXPECT_TRUE(testsupport::ReadAll(dir.File(L"pkg.zip")) == content);
  // At least one segment continued from where the killed run stopped.
  const auto requests = server.Requests();
  int resumed = 0;
  for (std::size_t i = before; i < requests.size(); ++i) {
    const std::string range = RangeOf(requests[i]);
    if (!range.empty() && range != "0-1" && range.rfind("0-", 0) != 0 && range.rfind("3000000-", 0) != 0) ++resumed;
  }
  EXPECT_GE(resumed, 1);
}

}  // namespace
