// The requests on the wire, byte for byte, and what each kind of answer to the probe leads to.
#include <gtest/gtest.h>

#include "tests/core/support/script_server.h"

namespace {

using testsupport::Header;
using testsupport::Script;
using testsupport::ScriptServer;
using testsupport::Send;

const char kBrowserAgent[] =
    "User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36\t\t\t\t  (KHTML, like Gecko)"
    "Chrome/32.0.1700.107 Safari/537.36\r\n";

using platform::FromUtf8;

// Retries that end soon: the cases here are about answers, not about patience (but a busy machine
// must not turn a slow answer into a failed one).
int Get(const std::string& url, const testsupport::TempDir& dir) { return testsupport::Download(url, dir.Wide(), 1000); }

TEST(HttpRequest, ProbeAndSegmentLeaveInOneSendWithThePortInHost) {
  const std::string content = testsupport::MakeContent(1000);
  ScriptServer server([&](const std::string& request, int index) {
    if (index == 0) return Script{Send(Header("302 Found", "Location: /download/T.zip?k=2#x\r\n"))};
    return testsupport::ServeContent(request, content);
  });
  testsupport::TempDir dir;
  ASSERT_EQ(Get(server.Url("/consezip/T.zip?k=1#top"), dir), DL_OK);
  const std::string host = "Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\nAccept: */*\r\n";
  const std::vector<std::string> expected = {
      "GET /consezip/T.zip?k=1 HTTP/1.1\r\n" + host + kBrowserAgent + "Range: bytes=0-1\r\n\r\n",
      "GET /download/T.zip?k=2 HTTP/1.1\r\n" + host + kBrowserAgent + "Range: bytes=0-1\r\n\r\n",
      // The Range line's upper value is the piece's end, one past its last byte.
      "GET /download/T.zip?k=2 HTTP/1.1\r\n" + host + "User-Agent: Mozilla\r\nRange: bytes=0-1000\r\n\r\n",
  };
  EXPECT_EQ(server.Requests(), expected);
  for (std::size_t i = 0; i < expected.size() && i < server.FirstReads().size(); ++i)
    EXPECT_EQ(server.FirstReads()[i], expected[i].size()) << "request " << i << " arrived in pieces";
  EXPECT_TRUE(testsupport::ReadAll(dir.File(L"T.zip")) == content);
}

TEST(HttpRequest, WithoutRangesTheProbesAnswerIsTheDownloadAndACutOneIsAskedForAgain) {
  const std::string content = testsupport::MakeContent(300000);
  const std::string whole = Header("200 OK", "Content-Length: 300000\r\n") + content;
  ScriptServer server([&](const std::string&, int index) {
    return Script{Send(index == 0 ? whole.substr(0, 150000) : whole)};  // the first answer is cut
  });
  testsupport::TempDir dir;
  ASSERT_TRUE(testsupport::WriteAll(dir.File(L"f.bin_tmp"), "stale"));
  ASSERT_TRUE(testsupport::WriteAll(dir.File(L"f.bin_1"), "stale numbered part"));
  EXPECT_EQ(Get(server.Url("/f.bin"), dir), DL_OK);
  EXPECT_TRUE(testsupport::ReadAll(dir.File(L"f.bin")) == content);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);  // no whole-file GET sent only to be abandoned
  EXPECT_EQ(requests[1], "GET /f.bin HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                             "\r\nAccept: */*\r\nUser-Agent: Mozilla\r\n\r\n");
  EXPECT_EQ(testsupport::ReadFiles(dir).size(), 1u);
}

TEST(HttpRequest, AnswersThatEndTheDownloadBeforeAnyFileIsMadeAndNoServerAtAll) {
  const std::string longHeader = "HTTP/1.1 200 OK\r\nX: " + std::string(20000, 'a') + "\r\n\r\n";
  const struct { std::string answer; int result; } cases[] = {
      {Header("404 Not Found"), DL_HTTP_DENIED},
      {Header("403 Forbidden"), DL_HTTP_DENIED},
      {Header("410 Gone"), DL_HTTP_DENIED},
      {Header("302 Found", "Content-Location: /wrong\r\n"), DL_BAD_REDIRECT},
      {Header("302 Found", "Location: https://127.0.0.1/a.zip\r\n"), DL_BAD_URL},
      {Header("200 OK") + "no size, no md5", DL_NO_SIZE},
      {Header("206 Partial Content", "Content-Range: bytes 0-1/9223372036854775808\r\n"), DL_NO_SIZE},
      {Header("206 Partial Content", "Content-Range: bytes 5-6/100\r\n"), DL_RECV_FAILED},
      {"HTTP/1.1 302 Found\r\nLocation: http://b/", DL_HEADER_FAILED},
      {longHeader, DL_HEADER_FAILED},
  };
  for (const auto& c : cases) {
    ScriptServer server([&](const std::string&, int) { return Script{Send(c.answer)}; });
    testsupport::TempDir dir;
    EXPECT_EQ(Get(server.Url("/a.zip"), dir), c.result) << c.answer.substr(0, 60);
    EXPECT_TRUE(testsupport::ReadFiles(dir).empty()) << c.answer.substr(0, 60);
  }
  testsupport::TempDir dir;  // and no server at all
  EXPECT_EQ(Get("http://127.0.0.1:" + std::to_string(testsupport::UnusedPort()) + "/a.zip", dir), DL_CONNECT_FAILED);
  EXPECT_EQ(Get("http://u:pw@127.0.0.1:" + std::to_string(testsupport::UnusedPort()) + "/a.zip", dir), DL_URL_USERINFO);
  EXPECT_TRUE(testsupport::ReadFiles(dir).empty());
}

TEST(HttpRequest, SmallFileFollowsRedirectsAndKeepsToItsLimit) {
  ScriptServer server([](const std::string& request, int) {
    if (request.rfind("GET /pkg.zip.sig ", 0) == 0)
      return Script{Send(Header("302 Found", "Location: /real/pkg.zip.sig\r\n"))};
    if (request.rfind("GET /big.sig ", 0) == 0)
      return Script{Send(Header("200 OK") + std::string(2000, 's'))};  // no size, read until closed
    return Script{Send(Header("200 OK", "Content-Length: 5\r\n") + "sig!!")};
  });
  std::string body;
  std::wstring finalUrl;
  EXPECT_EQ(FetchSmallFile(FromUtf8(server.Url("/pkg.zip.sig")), 1024, body, &finalUrl, DownloadTiming()), DL_OK);
  EXPECT_EQ(body, "sig!!");
  EXPECT_EQ(finalUrl, FromUtf8(server.Url("/real/pkg.zip.sig")));
  EXPECT_EQ(FetchSmallFile(FromUtf8(server.Url("/big.sig")), 1024, body, nullptr, DownloadTiming()), DL_TOO_LARGE);
  EXPECT_EQ(FetchSmallFile(FromUtf8(server.Url("/x.sig")), 4, body, nullptr, DownloadTiming()), DL_TOO_LARGE);
}

}  // namespace
