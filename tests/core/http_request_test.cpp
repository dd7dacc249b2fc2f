#include <gtest/gtest.h>

#include "download/http_get.h"
#include "tests/core/support/script_server.h"

namespace {

using testsupport::Header;
using testsupport::Script;
using testsupport::ScriptServer;
using testsupport::Send;

const char kBrowserAgent[] =
    "User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36\t\t\t\t  (KHTML, like Gecko)"
    "Chrome/32.0.1700.107 Safari/537.36\r\n";

ScriptServer::Handler Always(std::string bytes) {
  return [bytes](const std::string&, int) { return Script{Send(bytes)}; };
}

// One handler per connection, in order; later connections get the last one.
ScriptServer::Handler InTurn(std::vector<std::string> answers) {
  return [answers](const std::string&, int index) {
    return Script{Send(answers[std::min<std::size_t>(static_cast<std::size_t>(index), answers.size() - 1)])};
  };
}

platform::Socket Connect(CHttpGet& http, const ScriptServer& server) {
  std::wstring address;
  return http.Sockets().ConnectServer(L"127.0.0.1", server.Port(), address);
}

class HttpRequest : public ::testing::Test {
 protected:
  CHttpGet http{nullptr, 1, 0, 0};
};

TEST_F(HttpRequest, RequestsAreSentByteForByte) {
  ScriptServer server(InTurn({Header("302 Found", "Location: http://127.0.0.1/next.zip\r\n"),
                              Header("200 OK", "Server: x\r\n"), Header("200 OK", "Content-Length: 9\r\n")}));
  std::wstring target;
  ASSERT_TRUE(http.ProbeRedirect(L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/consezip/T.zip?md5=A",
                                 target));
  EXPECT_EQ(target, L"http://127.0.0.1/next.zip");
  ASSERT_TRUE(http.ProbeSize(L"127.0.0.1", L"/consezip/T.zip", server.Port()));

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0], std::string("GET /consezip/T.zip?md5=A HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\n") +
                             kBrowserAgent + "\r\n");
  EXPECT_EQ(requests[1],
            "GET /consezip/T.zip HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\nUser-Agent: Mozilla\r\n"
            "Range: bytes=0-1\r\n\r\n");
  EXPECT_EQ(requests[2],
            "GET /consezip/T.zip HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\nUser-Agent: Mozilla\r\n\r\n");
}

TEST_F(HttpRequest, SegmentAndPlainRequestLines) {
  ScriptServer server(InTurn({Header("206 Partial Content", "Content-Range: bytes 5000000-10000000/10000001\r\n"),
                              Header("200 OK", "Content-Length: 3\r\n")}));
  platform::Socket socket = Connect(http, server);
  EXPECT_TRUE(http.SendRangeRequest(socket, L"127.0.0.1", L"/f.bin", 5000000, 10000001));
  platform::CloseSocket(socket);
  socket = Connect(http, server);
  EXPECT_TRUE(http.SendPlainRequest(socket, L"127.0.0.1", L"/f.bin"));
  platform::CloseSocket(socket);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0],
            "GET /f.bin HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\nUser-Agent: Mozilla\r\n"
            "Range: bytes=5000000-10000001\r\n\r\n");
  EXPECT_EQ(requests[1], "GET /f.bin HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\nUser-Agent: Mozilla\r\n\r\n");
}

TEST_F(HttpRequest, HeaderReadStopsAtTheBlankLine) {
  const std::string header = Header("200 OK", "content-length: 5\r\n");
  ScriptServer server([header](const std::string&, int) {
    return Script{testsupport::Dribble(header), Send("XBODY")};
  });
  platform::Socket socket = Connect(http, server);
  ASSERT_NE(socket, platform::kInvalidSocket);
  std::wstring text = L"GET / HTTP/1.1\r\n\r\n";
  ASSERT_TRUE(http.SendText(socket, text));
  CHttpGet::HeaderBuffer buffer;
  ASSERT_EQ(http.ReadHeader(socket, buffer), static_cast<int>(header.size()));
  EXPECT_EQ(std::string(buffer.data()), header);
  char first = 0;
  ASSERT_EQ(platform::Receive(socket, &first, 1), 1);
  EXPECT_EQ(first, 'X');
  platform::CloseSocket(socket);
}

TEST_F(HttpRequest, HeaderReadFailsOrIsCut) {
  // Closed before the blank line, silent past the receive time-out, and longer than the buffer.
  const std::string longHeader = "HTTP/1.1 200 OK\r\nX: " + std::string(20000, 'a') + "\r\n\r\n";
  ScriptServer server([&](const std::string&, int index) {
    if (index == 0) return Script{Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n")};
    if (index == 1) return Script{Send("HTTP/1.1 200 OK\r\n"), testsupport::Stall(3000)};
    return Script{Send(longHeader)};
  });
  http.Sockets().m_nReceiveTimeoutMs = 200;
  CHttpGet::HeaderBuffer buffer;
  for (int index = 0; index < 2; ++index) {
    platform::Socket socket = Connect(http, server);
    std::wstring request = L"GET / HTTP/1.1\r\n\r\n";
    ASSERT_TRUE(http.SendText(socket, request));
    EXPECT_EQ(http.ReadHeader(socket, buffer), 0) << "connection " << index;
    platform::CloseSocket(socket);
  }
  platform::Socket socket = Connect(http, server);
  ASSERT_TRUE(http.SendText(socket, L"GET / HTTP/1.1\r\n\r\n"));
  EXPECT_EQ(http.ReadHeader(socket, buffer), 10239);
  EXPECT_EQ(buffer[10239], '\0');
  platform::CloseSocket(socket);
}

TEST_F(HttpRequest, RedirectProbeOutcomes) {
  struct Case {
    std::string answer;
    bool redirected;
    std::wstring target;
    int result;
  } cases[] = {
      {Header("302 Found", "Location: http://cdn.example/p.zip?md5=1\r\n"), true, L"http://cdn.example/p.zip?md5=1",
       DL_CONNECT_FAILED},
      {Header("301 Moved Permanently", "Content-Location: /wrong\r\nLOCATION: http://b/c.zip\r\n"), true,
       L"http://b/c.zip", DL_CONNECT_FAILED},
      {Header("302 Found", "Content-Location: /wrong\r\n"), false, L"", DL_BAD_REDIRECT},
      {Header("404 Not Found"), false, L"", DL_HTTP_DENIED},
      {Header("403 Forbidden"), false, L"", DL_HTTP_DENIED},
      {Header("200 OK", "Content-Length: 1\r\n"), false, L"", DL_CONNECT_FAILED},
      {"HTTP/1.1 302 Found\r\nLocation: http://b/", false, L"", DL_HEADER_FAILED},
  };
  for (const Case& c : cases) {
    CHttpGet probe(nullptr, 1, 0, 0);
    ScriptServer server(Always(c.answer));
    std::wstring target;
    EXPECT_EQ(probe.ProbeRedirect(L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/a.zip", target),
              c.redirected)
        << c.answer;
    if (c.redirected) {
      EXPECT_EQ(target, c.target);
    }
    EXPECT_EQ(probe.Result(), c.result) << c.answer;
  }
}

TEST_F(HttpRequest, SizeProbeOutcomes) {
  struct Case {
    std::vector<std::string> answers;  // range probe, then plain probe
    bool ok;
    std::uint64_t total;
    int ranges;
    int result;
  } cases[] = {
      {{Header("206 Partial Content", "Content-Length: 2\r\nContent-Range: bytes 0-1/4096\r\n")}, true, 4096, 1,
       DL_CONNECT_FAILED},
      {{Header("200 OK", "Content-Length: 4096\r\n")}, true, 4096, 0, DL_CONNECT_FAILED},
      {{Header("206 Partial Content", "Content-Range: bytes 0-1/*\r\n"), Header("200 OK", "Content-Length: 77\r\n")},
       true, 77, 0, DL_CONNECT_FAILED},
      {{Header("200 OK"), Header("200 OK")}, false, 0, 0, DL_CONNECT_FAILED},
      {{Header("404 Not Found")}, false, 0, 0, DL_HTTP_DENIED},
      {{Header("200 OK"), Header("403 Forbidden")}, false, 0, 0, DL_HTTP_DENIED},
      {{"HTTP/1.1 206 Partial"}, false, 0, 0, DL_HEADER_FAILED},
      // A file of 2 GiB or more is refused instead of being taken for a small one.
      {{Header("206 Partial Content", "Content-Range: bytes 0-1/4294967297\r\n"),
        Header("200 OK", "Content-Length: 4294967297\r\n")},
       false, 0, 0, DL_CONNECT_FAILED},
  };
  for (const Case& c : cases) {
    CHttpGet probe(nullptr, 1, 0, 0);
    ScriptServer server(InTurn(c.answers));
    EXPECT_EQ(probe.ProbeSize(L"127.0.0.1", L"/a.zip", server.Port()), c.ok) << c.answers[0];
    EXPECT_EQ(probe.Total(), c.total) << c.answers[0];
    EXPECT_EQ(probe.RangesSupported(), c.ranges) << c.answers[0];
    EXPECT_EQ(probe.Result(), c.result) << c.answers[0];
  }
}

TEST_F(HttpRequest, SizeProbeKeepsWhatIdentifiesTheVersion) {
  ScriptServer etag(Always(Header("206 Partial Content", "Content-Range: bytes 0-1/10\r\nLast-Modified: Mon\r\n"
                                                         "etag: \"v2\"\r\n")));
  ASSERT_TRUE(http.ProbeSize(L"127.0.0.1", L"/a", etag.Port()));
  EXPECT_EQ(http.Validator(), L"ETag: \"v2\"");
  CHttpGet other(nullptr, 1, 0, 0);
  ScriptServer modified(Always(Header("206 Partial Content", "Content-Range: bytes 0-1/10\r\n"
                                                             "Last-Modified: Mon, 01 Dec 2026 10:00:00 GMT\r\n")));
  ASSERT_TRUE(other.ProbeSize(L"127.0.0.1", L"/a", modified.Port()));
  EXPECT_EQ(other.Validator(), L"Last-Modified: Mon, 01 Dec 2026 10:00:00 GMT");
}

TEST_F(HttpRequest, SegmentRequestNeedsTheRangeAskedFor) {
  struct Case {
    std::string answer;
    bool ok;
    int result;
  } cases[] = {
      {Header("206 Partial Content", "Content-Range: bytes 100-199/1000\r\n"), true, DL_CONNECT_FAILED},
      {Header("206 Partial Content", "content-range: BYTES 100-199/1000\r\n"), true, DL_CONNECT_FAILED},
      {Header("200 OK", "Content-Length: 1000\r\n"), false, DL_RECV_FAILED},
      {Header("416 Range Not Satisfiable", "Content-Range: bytes */1000\r\n"), false, DL_RECV_FAILED},
      {Header("206 Partial Content", "Content-Range: bytes 0-199/1000\r\n"), false, DL_RECV_FAILED},
      {Header("206 Partial Content", "Content-Length: 100\r\n"), false, DL_RECV_FAILED},
      {Header("404 Not Found"), false, DL_HTTP_DENIED},
  };
  for (const Case& c : cases) {
    CHttpGet segment(nullptr, 1, 0, 0);
    ScriptServer server(Always(c.answer));
    platform::Socket socket = Connect(segment, server);
    EXPECT_EQ(segment.SendRangeRequest(socket, L"127.0.0.1", L"/a", 100, 200), c.ok) << c.answer;
    EXPECT_EQ(segment.Result(), c.result) << c.answer;
    platform::CloseSocket(socket);
  }
}

TEST_F(HttpRequest, NoServerMeansNoConnection) {
  std::uint16_t port = 0;
  platform::Socket probe = platform::Listen(testsupport::Loopback(), 0, port);
  platform::CloseSocket(probe);  // nothing listens there any more
  std::wstring target;
  EXPECT_FALSE(http.ProbeRedirect(L"http://127.0.0.1:" + std::to_wstring(port) + L"/a.zip", target));
  EXPECT_FALSE(http.ProbeSize(L"127.0.0.1", L"/a.zip", port));
  EXPECT_EQ(http.Result(), DL_CONNECT_FAILED);
}

}  // namespace
