// Through the fault relay in front of nginx (under Wine the scripted server), every download ends
// byte-identical in one run.
#include <gtest/gtest.h>

#include "tests/core/support/fault_relay.h"
#include "tests/core/support/script_server.h"
#include "tests/core/support/vendor_server.h"

namespace {

using testsupport::FaultRules;

constexpr std::int64_t kMiB = 1 << 20;

TEST(NetworkFaults, EveryDownloadEndsByteIdenticalInOneRun) {
  const std::string content = testsupport::MakeContent(12 << 20, 5);
#ifdef _WIN32
  testsupport::ScriptServer origin([&](const std::string& request, int) { return testsupport::ServeContent(request, content); });
#else
  testsupport::VendorServer origin(content);
#endif
  ASSERT_NE(origin.Port(), 0);
  const struct { const char* name; FaultRules rules; } cases[] = {
      {"first connection dropped", [] { FaultRules r; r.dropFirst = 1; return r; }()},
      {"refused for 2 s in the middle", [] { FaultRules r; r.outageAfterBytes = 4 * kMiB; r.outageMs = 2000; return r; }()},
      {"reset every 1-4 MiB", [] { FaultRules r; r.resetMin = kMiB; r.resetMax = 4 * kMiB; return r; }()},
      {"ranges stripped and one answer cut", [] { FaultRules r; r.stripRanges = true; r.cutFirstAfter = 3 * kMiB; return r; }()},
      {"one connection throttled", [] { FaultRules r; r.throttled = 1; r.throttleBytesPerSecond = 200 * 1024; return r; }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::FaultProxy proxy(origin.Port(), c.rules);
    ASSERT_TRUE(proxy.Listening());
    testsupport::TempDir dir;
    EXPECT_EQ(testsupport::Download(proxy.Url("/download/TavoPhoneAx.zip"), dir.Wide()), DL_OK);
    EXPECT_TRUE(testsupport::ReadAll(dir.File(L"TavoPhoneAx.zip")) == content);
    EXPECT_EQ(proxy.OutageBegun(), c.rules.outageMs > 0);
  }
}

}  // namespace
