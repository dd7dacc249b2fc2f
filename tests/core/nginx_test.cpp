// The HTTP vocabulary against a real server: nginx on loopback (natively; skipped under Wine).
#include <gtest/gtest.h>

#include <atomic>

#include "download/http_get.h"
#include "platform/text.h"
#include "tests/core/support/nginx_server.h"
#include "tests/core/support/script_server.h"

namespace {

// One server for the whole suite: starting and stopping nginx takes a moment.
class Nginx : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
#ifndef _WIN32
    content = new std::string(testsupport::MakeContent(100000, 7));
    shared = new testsupport::NginxServer;
    const bool added = shared->AddFile("files/small.bin", *content) && shared->AddFile("norange/small.bin", *content) &&
                       shared->AddFile("forbidden/secret.zip", *content);
    started = added && shared->Start();
#endif
  }
  static void TearDownTestSuite() {
    delete shared;
    delete content;
    shared = nullptr;
    content = nullptr;
  }
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "nginx runs natively only";
#endif
    ASSERT_TRUE(started) << shared->Error();
  }

  static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

  static testsupport::NginxServer* shared;
  static std::string* content;
  static bool started;
  testsupport::NginxServer& server = *shared;
};

testsupport::NginxServer* Nginx::shared = nullptr;
std::string* Nginx::content = nullptr;
bool Nginx::started = false;

TEST_F(Nginx, SizeProbes) {
  CHttpGet ranged(nullptr, 1, 0, 0);
  ASSERT_TRUE(ranged.ProbeSize(L"127.0.0.1", L"/files/small.bin", server.Port()));
  EXPECT_EQ(ranged.Total(), 100000u);
  EXPECT_EQ(ranged.RangesSupported(), 1);
  EXPECT_EQ(ranged.Validator().rfind(L"ETag: ", 0), 0u);

  CHttpGet plain(nullptr, 1, 0, 0);
  ASSERT_TRUE(plain.ProbeSize(L"127.0.0.1", L"/norange/small.bin", server.Port()));
  EXPECT_EQ(plain.Total(), 100000u);
  EXPECT_EQ(plain.RangesSupported(), 0);

  for (const wchar_t* denied : {L"/files/missing.bin", L"/forbidden/secret.zip"}) {
    CHttpGet probe(nullptr, 1, 0, 0);
    EXPECT_FALSE(probe.ProbeSize(L"127.0.0.1", denied, server.Port())) << denied;
    EXPECT_EQ(probe.Result(), DL_HTTP_DENIED) << denied;
  }
}

TEST_F(Nginx, RedirectsAreFollowedOneStepAtATime) {
  CHttpGet http(nullptr, 1, 0, 0);
  std::wstring target;
  ASSERT_TRUE(http.ProbeRedirect(Wide(server.Url("/moved/temporary.zip")), target));
  EXPECT_EQ(target, Wide(server.Url("/moved/permanent.zip")));
  ASSERT_TRUE(http.ProbeRedirect(target, target));
  EXPECT_EQ(target, Wide(server.Url("/files/small.bin")));
  EXPECT_FALSE(http.ProbeRedirect(target, target));
  EXPECT_EQ(http.Result(), DL_CONNECT_FAILED);  // untouched: the last answer was no redirect
}

TEST_F(Nginx, SegmentRequestLeavesTheSocketAtTheRangesFirstByte) {
  CHttpGet http(nullptr, 1, 0, 0);
  std::wstring address;
  platform::Socket socket = http.Sockets().ConnectServer(L"127.0.0.1", server.Port(), address);
  ASSERT_NE(socket, platform::kInvalidSocket);
  ASSERT_TRUE(http.SendRangeRequest(socket, L"127.0.0.1", L"/files/small.bin", 5000, 5100));
  // The connection stays open (keep-alive): read just the range's bytes.
  std::string body(101, '\0');
  std::size_t got = 0;
  int n;
  while (got < body.size() && (n = platform::Receive(socket, &body[got], body.size() - got)) > 0)
    got += static_cast<std::size_t>(n);
  platform::CloseSocket(socket);
  EXPECT_EQ(body, content->substr(5000, 101));  // the Range line's upper value is inclusive
}

}  // namespace

namespace {

TEST(NginxDownload, A120MiBFileInFourSegmentsArrivesByteIdentical) {
#ifdef _WIN32
  GTEST_SKIP() << "nginx runs natively only";
#else
  testsupport::NginxServer server;
  ASSERT_TRUE(server.AddFile("consezip/TavoPhoneAx.zip", testsupport::MakeContent(120u << 20, 11)));
  ASSERT_TRUE(server.Start()) << server.Error();
  testsupport::TempDir dir;
  const std::wstring served = platform::FromUtf8(
      (server.Path() / "root" / "consezip" / "TavoPhoneAx.zip").string());
  std::wstring md5 = FileMd5Hex(served);
  ASSERT_EQ(md5.size(), 32u);

  class Counter final : public IDownloadCallBack {
   public:
    int OnProgress(std::uint32_t, int percent, std::uint32_t, int) override {
      last = percent;
      return 0;
    }
    void OnSavePath(const std::wstring&, int) override {}
    void OnServerAddress(const std::wstring&, int) override { ++connections; }
    int last = -1;  // written under the engine's progress lock
    std::atomic<int> connections{0};
  } counter;

  const std::string url = server.Url("/consezip/TavoPhoneAx.zip?md5=");
  EXPECT_EQ(DownloadFile((std::wstring(url.begin(), url.end()) + md5).c_str(), dir.Wide().c_str(), &counter, 1, 1, 0,
                         0),
            DL_OK);
  EXPECT_EQ(FileMd5Hex(dir.File(L"TavoPhoneAx.zip")), md5);
  EXPECT_EQ(counter.connections.load(), 4);
  EXPECT_EQ(counter.last, 100);
#endif
}

}  // namespace
