// Downloads through a bad network: the fault-injecting relay in front of a real server (nginx
// natively; under Wine, where there is no nginx, the scripted server). Every case must end with
// the file byte-identical, in one run.
#include <gtest/gtest.h>

#include <memory>

#include "download/http_get.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "tests/core/support/fault_proxy.h"
#include "tests/core/support/nginx_server.h"
#include "tests/core/support/script_server.h"
#include "tests/core/support/temp_dir.h"

namespace {

using testsupport::FaultProxy;
using testsupport::FaultRules;

constexpr std::int64_t kMiB = 1 << 20;

// The server behind the relay, serving `content` at /files/pkg.zip.
class Origin {
 public:
  explicit Origin(const std::string& content) : content_(content) {
#ifdef _WIN32
    script_ = std::make_unique<testsupport::ScriptServer>(
        [this](const std::string& request, int) { return testsupport::ServeContent(request, content_); });
    port_ = script_->Port();
#else
    started_ = nginx_.AddFile("files/pkg.zip", content) && nginx_.Start();
    port_ = static_cast<std::uint16_t>(nginx_.Port());
#endif
  }
  bool Started() const { return started_; }
  std::uint16_t Port() const { return port_; }

 private:
  const std::string& content_;
  bool started_ = true;
  std::uint16_t port_ = 0;
#ifdef _WIN32
  std::unique_ptr<testsupport::ScriptServer> script_;
#else
  testsupport::NginxServer nginx_;
#endif
};

TEST(NetworkFaults, EveryDownloadEndsByteIdenticalInOneRun) {
#ifdef _WIN32
  const std::int64_t big = 24 * kMiB;  // the scripted server copies each answer in memory
#else
  const std::int64_t big = 128 * kMiB;
#endif
  struct Case {
    const char* name;
    std::int64_t size;
    FaultRules rules;
  } cases[] = {
      {"first connection dropped", 6 * kMiB, [] { FaultRules r; r.dropFirst = 1; return r; }()},
      {"refused for 60 s in the middle", 24 * kMiB,
       [] { FaultRules r; r.outageAfterBytes = 8 * kMiB; r.outageMs = 60000; return r; }()},
      {"reset every 1-8 MiB", big, [] { FaultRules r; r.resetMin = kMiB; r.resetMax = 8 * kMiB; return r; }()},
      {"ranges stripped and one answer cut", 12 * kMiB,
       [] { FaultRules r; r.stripRanges = true; r.cutFirstAfter = 5 * kMiB; return r; }()},
      {"one connection throttled", 48 * kMiB,
       [] { FaultRules r; r.throttled = 1; r.throttleBytesPerSecond = 200 * 1024; return r; }()},
  };
  for (const Case& c : cases) {
    const std::string content = testsupport::MakeContent(static_cast<std::size_t>(c.size), 5);
    Origin origin(content);
    ASSERT_TRUE(origin.Started()) << c.name;
    FaultProxy proxy(origin.Port(), c.rules);
    ASSERT_TRUE(proxy.Listening()) << c.name;
    testsupport::TempDir dir;
    DownloadRequest request;
    request.url = platform::FromUtf8(proxy.Url("/files/pkg.zip"));
    request.saveLocation = dir.Wide();
    DownloadOutcome outcome;
    const std::uint32_t start = platform::TickCount();
    EXPECT_EQ(DownloadWithOutcome(request, outcome), DL_OK) << c.name;
    std::printf("  %-36s %6.1f s\n", c.name, (platform::TickCount() - start) / 1000.0);
    EXPECT_TRUE(testsupport::ReadAll(dir.File(L"pkg.zip")) == content) << c.name;
    if (c.rules.outageMs) {
      EXPECT_TRUE(proxy.OutageBegun()) << c.name;
    }
  }
}

}  // namespace
