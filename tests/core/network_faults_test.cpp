// Downloads through a bad network: the fault-injecting relay in front of the vendor's real server
// (nginx natively; under Wine, where there is no nginx, the scripted server). Every case must end
// with the file byte-identical, in one run.
#include <gtest/gtest.h>

#include <memory>

#include "download/http_get.h"
#include "platform/text.h"
#include "tests/core/support/script_server.h"
#include "tests/core/support/temp_dir.h"
#include "tests/core/support/vendor_server.h"
#include "tools/fetch/fault_relay.h"

namespace {

using testsupport::FaultRules;

constexpr std::int64_t kMiB = 1 << 20;

// The server behind the relay, serving `content` at /download/TavoPhoneAx.zip.
struct Origin {
  explicit Origin(const std::string& content) {
#ifdef _WIN32
    script = std::make_unique<testsupport::ScriptServer>(
        [&content](const std::string& request, int) { return testsupport::ServeContent(request, content); });
    port = script->Port();
#else
    vendor = std::make_unique<testsupport::VendorServer>(content);
    port = vendor->Started() ? vendor->Port() : 0;
#endif
  }
  std::unique_ptr<testsupport::ScriptServer> script;
  std::unique_ptr<testsupport::VendorServer> vendor;
  std::uint16_t port = 0;
};

TEST(NetworkFaults, EveryDownloadEndsByteIdenticalInOneRun) {
  const struct { const char* name; std::int64_t size; FaultRules rules; } cases[] = {
      {"first connection dropped", 6 * kMiB, [] { FaultRules r; r.dropFirst = 1; return r; }()},
      {"refused for 5 s in the middle", 24 * kMiB,
       [] { FaultRules r; r.outageAfterBytes = 8 * kMiB; r.outageMs = 5000; return r; }()},
      {"reset every 1-8 MiB", 32 * kMiB, [] { FaultRules r; r.resetMin = kMiB; r.resetMax = 8 * kMiB; return r; }()},
      {"ranges stripped and one answer cut", 12 * kMiB,
       [] { FaultRules r; r.stripRanges = true; r.cutFirstAfter = 5 * kMiB; return r; }()},
      {"one connection throttled", 24 * kMiB,
       [] { FaultRules r; r.throttled = 1; r.throttleBytesPerSecond = 200 * 1024; return r; }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string content = testsupport::MakeContent(static_cast<std::size_t>(c.size), 5);
    Origin origin(content);
    ASSERT_NE(origin.port, 0);
    testsupport::FaultProxy proxy(origin.port, c.rules);
    ASSERT_TRUE(proxy.Listening());
    testsupport::TempDir dir;
    DownloadRequest request;
    request.url = platform::FromUtf8(proxy.Url("/download/TavoPhoneAx.zip"));
    request.saveLocation = dir.Wide();
    DownloadOutcome outcome;
    EXPECT_EQ(DownloadWithOutcome(request, outcome), DL_OK);
    EXPECT_TRUE(testsupport::ReadAll(dir.File(L"TavoPhoneAx.zip")) == content);
    EXPECT_EQ(proxy.OutageBegun(), c.rules.outageMs > 0);
  }
}

#ifndef _WIN32
// The vendor's own answers: the package address redirects to the file with its md5 in the query.
TEST(NetworkFaults, TheVendorsRedirectLeadsToTheCheckedPackage) {
  const std::string content = testsupport::MakeContent(3 * kMiB, 7);
  testsupport::VendorServer vendor(content);
  ASSERT_TRUE(vendor.Started());
  testsupport::TempDir dir;
  DownloadRequest request;
  request.url = platform::FromUtf8(vendor.Url("/consezip/TavoPhoneAx.zip"));
  request.saveLocation = dir.Wide();
  DownloadOutcome outcome;
  EXPECT_EQ(DownloadWithOutcome(request, outcome), DL_OK);
  EXPECT_NE(outcome.finalUrl.find(L"/download/TavoPhoneAx.zip?md5="), std::wstring::npos);
  EXPECT_TRUE(testsupport::ReadAll(outcome.target) == content);
  request.url = platform::FromUtf8(vendor.Url("/download/missing.zip"));
  EXPECT_EQ(DownloadWithOutcome(request, outcome), DL_HTTP_DENIED);
}
#endif

}  // namespace
