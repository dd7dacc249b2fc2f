#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <random>

#include "platform/fs.h"
#include "platform/hash.h"
#include "platform/text.h"
#include "tests/core/support/script_server.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using platform::FromUtf8;
using testsupport::Header;
using testsupport::RangeOf;
using testsupport::Script;
using testsupport::ScriptServer;
using testsupport::Send;
using testsupport::ServeContent;

// The probe carries the browser agent; every other request is a segment's.
bool IsSegmentRequest(const std::string& request) {
  return !request.empty() && request.find("Chrome/") == std::string::npos;
}

std::vector<std::string> SegmentRanges(ScriptServer& server) {
  std::vector<std::string> ranges;
  for (const std::string& request : server.Requests())
    if (IsSegmentRequest(request)) ranges.push_back(RangeOf(request));
  return ranges;
}

bool HasRangeFrom(const std::vector<std::string>& ranges, std::int64_t first) {
  const std::string prefix = std::to_string(first) + "-";
  return std::any_of(ranges.begin(), ranges.end(), [&](const std::string& r) { return r.rfind(prefix, 0) == 0; });
}

// The whole file in one answer, as a server without ranges sends it.
Script Whole(const std::string& content) {
  return Script{Send(Header("200 OK", "Content-Length: " + std::to_string(content.size()) + "\r\n") + content)};
}

std::string RequestPath(const std::string& request) {
  const std::size_t begin = request.find(' ') + 1;
  return request.substr(begin, request.find(' ', begin) - begin);
}

class Recorder final : public IDownloadCallBack {
 public:
  int OnProgress(std::uint32_t total, int percent, std::uint32_t, int) override {
    lastTotal = total;
    EXPECT_TRUE(percent >= 0 && percent <= 100) << percent;
    if (stopWhenStalled) return stalled ? 1 : 0;
    return percent > 0 ? answer.load() : 0;  // a stop asked for once bytes have arrived
  }
  void OnStatus(const DownloadStatus& status) override { stalled = stalled || status.stalled; }
  void OnSavePath(const std::wstring& target, int) override { savePath = target; }
  void OnServerAddress(const std::wstring&, int) override {}

  std::atomic<int> answer{0};
  std::atomic<std::uint32_t> lastTotal{0};
  std::atomic<bool> stopWhenStalled{false}, stalled{false};
  std::wstring savePath;
};

class DownloadEngine : public ::testing::Test {
 protected:
  DownloadResult Download(const std::string& url, int replaceExisting = 0) {
    DownloadRequest request;
    request.url = FromUtf8(url);
    request.saveLocation = dir.Wide();
    request.callback = &recorder;
    request.replaceExisting = replaceExisting;
    request.timing = timing;
    request.handOver = handOver;
    outcome = DownloadOutcome();  // closes what an earlier download handed over
    return DownloadWithOutcome(request, outcome);
  }
  // Stops a download of `content` at its first blocks, keeping the parts.
  void StopEarly(const std::string& content, const std::string& fields = "") {
    ScriptServer slow([&](const std::string& request, int) {
      Script served = ServeContent(request, content, fields);
      return IsSegmentRequest(request) ? testsupport::Slowly(served) : served;
    });
    recorder.answer = 1;
    EXPECT_EQ(Download(slow.Url("/pkg.zip")), DL_STOPPED);
    recorder.answer = 0;
    EXPECT_TRUE(platform::PathExists(dir.File(L"pkg.zip_0")));
  }
  std::string Target() { return testsupport::ReadAll(dir.File(L"pkg.zip")); }

  testsupport::TempDir dir;
  Recorder recorder;
  bool handOver = false;
  DownloadOutcome outcome;
  DownloadTiming timing = [] {
    DownloadTiming quick;  // failed attempts come back at once; the budget stays generous
    quick.firstPauseMs = 5;
    quick.maxPauseMs = 20;
    quick.retryBudgetMs = 20000;
    return quick;
  }();
};

TEST_F(DownloadEngine, TwoSegmentsWithInclusiveRangeLinesJoinByteIdentical) {
  const std::string content = testsupport::MakeContent(10000001);
  ScriptServer server([&](const std::string& request, int) { return ServeContent(request, content); });
  EXPECT_EQ(Download(server.Url("/consezip/pkg.zip")), DL_OK);
  EXPECT_TRUE(Target() == content);
  const std::vector<std::string> ranges = SegmentRanges(server);
  for (const char* planned : {"0-5000000", "5000000-10000001"})
    EXPECT_NE(std::find(ranges.begin(), ranges.end(), planned), ranges.end()) << planned;
  EXPECT_EQ(testsupport::ReadFiles(dir).size(), 1u);  // parts and their record are gone
  EXPECT_EQ(recorder.savePath, dir.File(L"pkg.zip"));
  EXPECT_EQ(recorder.lastTotal.load(), 10000001u);
}

// Whole-file and error answers to range requests, another range and cut answers never reach the
// part files; a lost first connection never turns the redirect page into the file.
TEST_F(DownloadEngine, CutConnectionsAndWrongAnswersStillEndByteIdentical) {
  const std::string content = testsupport::MakeContent(6000000);
  const std::string md5 = testsupport::Md5Hex(content);
  std::mt19937 random(20261206);
  std::mutex mutex;
  int segmentRequests = 0;
  ScriptServer server([&](const std::string& request, int index) {
    if (index == 0) return Script{};  // accepted, then closed without a word
    if (RequestPath(request) == "/consezip/pkg.zip")
      return Script{Send(Header("302 Found", "Location: /download/pkg.zip?md5=" + md5 + "\r\nContent-Length: 5\r\n") +
                         "moved")};
    Script served = ServeContent(request, content);
    if (!IsSegmentRequest(request)) return served;
    std::lock_guard<std::mutex> hold(mutex);
    const int segment = segmentRequests++;
    if (segment == 0) return Whole(content);
    if (segment == 1) return Script{Send(Header("416 Range Not Satisfiable", "Content-Range: bytes */6000000\r\n"))};
    if (segment == 2) {
      const std::size_t wrong = RangeOf(request).rfind("0-", 0) == 0 ? 1 : 0;
      return Script{Send(Header("206 Partial Content", "Content-Range: bytes " + std::to_string(wrong) + "-" +
                                                           std::to_string(wrong + 99999) + "/6000000\r\n") +
                         content.substr(wrong, 100000))};
    }
    if (segment < 7) {
      std::string& bytes = served[0].bytes;
      const std::size_t body = bytes.find("\r\n\r\n") + 4;
      bytes.resize(body + random() % (bytes.size() - body));
    }
    return served;
  });
  EXPECT_EQ(Download(server.Url("/consezip/pkg.zip")), DL_OK);
  EXPECT_TRUE(Target() == content);
  EXPECT_GE(segmentRequests, 9);
}

// Parts of a file with another total or another version start over. Of the same file, a complete
// part is skipped and a partial one continues, as a killed run might leave them.
TEST_F(DownloadEngine, ARerunResumesThePartsOfTheSameFileOnly) {
  const std::string first = testsupport::MakeContent(10000001, 1);
  const struct { std::string content, etag; bool resumes; } cases[] = {
      {testsupport::MakeContent(10000003, 2), "one", false},
      {testsupport::MakeContent(10000001, 3), "two", false},
      {first, "one", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.etag + (c.resumes ? " resumes" : " starts over"));
    (void)platform::RemoveFile(dir.File(L"pkg.zip"));
    StopEarly(first, "ETag: \"one\"\r\n");
    EXPECT_FALSE(platform::PathExists(dir.File(L"pkg.zip")));
    ASSERT_TRUE(testsupport::WriteAll(dir.File(L"pkg.zip_0"), first.substr(0, 5000000)));
    ASSERT_TRUE(testsupport::WriteAll(dir.File(L"pkg.zip_1"), first.substr(5000000, 1234)));
    ScriptServer server([&](const std::string& request, int) { return ServeContent(request, c.content, "ETag: \"" + c.etag + "\"\r\n"); });
    EXPECT_EQ(Download(server.Url("/pkg.zip")), DL_OK);
    EXPECT_TRUE(Target() == c.content);
    const std::vector<std::string> ranges = SegmentRanges(server);
    EXPECT_EQ(HasRangeFrom(ranges, 0), !c.resumes);
    EXPECT_EQ(HasRangeFrom(ranges, 5001234), c.resumes);
    EXPECT_FALSE(HasRangeFrom(ranges, 5000000) && c.resumes);
  }
}

// A broken first answer fails that attempt only; framing bytes never reach a file or small body.
TEST_F(DownloadEngine, BodiesAreTakenAsTheirFramingSays) {
  const std::string content = "hello, wonderful world", md5 = testsupport::Md5Hex(content);  // 0x16 bytes
  const std::string chunked = Header("200 OK", "Transfer-Encoding: chunked\r\n");
  const struct { std::string answer; bool retried; } cases[] = {
      {chunked + "5\r\nhello\r\n11;x=\"1\"\r\n, wonderful world\r\n0\r\nT: 1\r\n\r\n", false},
      {Header("200 OK", "Transfer-Encoding: chunked\r\nContent-Length: 3\r\n") + "16 \r\n" + content + "\r\n0\r\n\r\n", false},
      {Header("100 Continue") + Header("103 Early Hints", "Link: </a>\r\n") + ServeContent("", content)[0].bytes, false},
      {Header("200 OK") + content, false},
      {Header("200 OK", "Content-Length: 22\r\n") + content + "!!", false},
      {chunked + "16\r\nhello", true},
      {chunked + "16\r\n" + content + "XX0\r\n\r\n", true},
      {chunked + "zz\r\n" + content + "\r\n0\r\n\r\n", true},
      {chunked + "1000000000000016\r\n" + content + "\r\n0\r\n\r\n", true},
      {chunked + "16\r\n" + content + "\r\n", true},
      {Header("200 OK", "Content-Length: 22\r\n") + "hello", true},
      {Header("200 OK", "Content-Length: 2x\r\n") + content, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    for (bool small : {false, true}) {
      ScriptServer server([&](const std::string& request, int index) {
        return index == 0 ? Script{Send(c.answer)} : ServeContent(request, content);
      });
      std::string body;
      EXPECT_EQ(small ? FetchSmallFile(FromUtf8(server.Url("/pkg.zip")), 100, body, nullptr, timing)
                      : Download(server.Url("/pkg.zip?md5=" + md5), 1), DL_OK);
      EXPECT_EQ(small ? body : Target(), content);
      EXPECT_EQ(server.Requests().size() > 1, c.retried);
    }
  }
  const std::string large = testsupport::MakeContent(6000000);
  ScriptServer ranged([&](const std::string& request, int) {
    const std::string bytes = ServeContent(request, large)[0].bytes;
    const std::string data = bytes.substr(bytes.find("\r\n\r\n") + 4);
    char size[20];
    std::snprintf(size, sizeof size, "%zx\r\n", data.size() - 1);
    return Script{Send(bytes.substr(0, bytes.find("Content-Length:")) + "Transfer-Encoding: chunked\r\n\r\n1\r\n" +
                       data.substr(0, 1) + "\r\n" + size + data.substr(1) + "\r\n0\r\n\r\n")};
  });
  EXPECT_TRUE(Download(ranged.Url("/pkg.zip"), 1) == DL_OK && Target() == large);  // in chunks of 1 and the rest
}

// Retry-After on a 429 or 503 (seconds, or a date against Date) is the least pause, up to the budget.
TEST_F(DownloadEngine, RetryAfterIsTheLeastPauseBeforeTheNextTry) {
  const std::string date = "Date: Sun, 06 Nov 1994 08:49:30 GMT\r\n";
  const struct { int status; std::string fields; std::uint32_t pause; } cases[] = {
      {503, "Retry-After: 7\r\n", 7000}, {503, "Retry-After: 99999\r\n", 20000}, {500, "Retry-After: 7\r\n", 3},
      {429, "Retry-After: Sun, 06 Nov 1994 08:49:37 GMT\r\n" + date, 7000},
      {503, date + "Retry-After: Sunday, 06-Nov-94 08:49:45 GMT\r\n", 15000},
      {429, "Retry-After: Sun Nov  6 08:49:31 1994\r\n" + date, 1000},
      {503, "Retry-After: Sun, 06 Nov 1994 08:49:37 GMT\r\n", 3},  // long past
      {408, "", 3}, {502, "", 3}, {504, "", 3},
  };
  timing.firstPauseMs = 3;  // too short to jitter
  for (const auto& c : cases) {
    ScriptServer server([&](const std::string& request, int index) {
      return index == 0 ? Script{Send(Header(std::to_string(c.status) + " X", c.fields))} : ServeContent(request, "file");
    });
    std::vector<std::uint32_t> pauses;  // the probe's, on this thread
    timing.pause = [&](std::uint32_t ms) { pauses.push_back(ms); return false; };
    EXPECT_EQ(Download(server.Url("/a.zip"), 1), DL_OK) << c.fields;
    EXPECT_EQ(pauses, std::vector<std::uint32_t>{c.pause}) << c.status << c.fields;
  }
}

TEST_F(DownloadEngine, StopAndDiscardDeletesEveryPart) {
  const std::string content = testsupport::MakeContent(60000000);
  ScriptServer slow([&](const std::string& request, int) {
    Script served = ServeContent(request, content);
    return IsSegmentRequest(request) ? testsupport::Slowly(served) : served;
  });
  // Three 20 MB answers built at once can take the server longer than the usual silence limit
  // under a sanitizer on a busy machine; the stop is what this run is about.
  timing.silenceMs = 120000;
  recorder.answer = 2;
  EXPECT_EQ(Download(slow.Url("/pkg.zip")), DL_STOPPED);
  EXPECT_TRUE(testsupport::ReadFiles(dir).empty());
  EXPECT_GE(SegmentRanges(slow).size(), 3u);
}

TEST_F(DownloadEngine, AStopIsHeardDuringAnOutageAndTheStatusSaysStalled) {
  recorder.stopWhenStalled = true;
  timing.stalledMs = 300;  // the product waits 3 s
  timing.retryBudgetMs = 120000;  // unheard, the stop would end as a failed connection
  EXPECT_EQ(Download("http://127.0.0.1:" + std::to_string(testsupport::UnusedPort()) + "/pkg.zip"), DL_STOPPED);
}

TEST_F(DownloadEngine, ASilentConnectionFailsAfterTheSilenceLimitAndResumes) {
  const std::string content = testsupport::MakeContent(100000);
  std::atomic<int> segmentRequests{0};
  ScriptServer server([&](const std::string& request, int) {
    Script served = ServeContent(request, content);
    if (!IsSegmentRequest(request) || segmentRequests++ > 0) return served;
    // 1,000 bytes, then silence until the server stops: only the silence limit ends this attempt.
    const std::string& bytes = served[0].bytes;
    return Script{Send(bytes.substr(0, bytes.find("\r\n\r\n") + 4 + 1000)), testsupport::Pause(600000)};
  });
  timing.silenceMs = 300;
  EXPECT_EQ(Download(server.Url("/pkg.zip")), DL_OK);
  EXPECT_TRUE(Target() == content);
  EXPECT_EQ(SegmentRanges(server), (std::vector<std::string>{"0-100000", "1000-100000"}));
}

TEST_F(DownloadEngine, TheFirstFailureIsTheResult) {
  // Part 1 cannot be made (a directory has its name); segment 0 is denied later.
  const std::string content = testsupport::MakeContent(6000000);
  ScriptServer server([&](const std::string& request, int) {
    if (IsSegmentRequest(request)) return Script{testsupport::Pause(300), Send(Header("404 Not Found"))};
    return ServeContent(request, content);
  });
  ASSERT_TRUE(platform::CreateDirectoryLevel(dir.File(L"pkg.zip_1")));
  EXPECT_EQ(Download(server.Url("/pkg.zip")), DL_PART_OPEN_FAILED);
  EXPECT_FALSE(platform::PathExists(dir.File(L"pkg.zip")));
}

TEST_F(DownloadEngine, FourRedirectsAreFollowedButNotToUnsafeNames) {
  const std::string content = testsupport::MakeContent(1000);
  ScriptServer chain([&](const std::string& request, int) {
    const std::string path = RequestPath(request);  // /r5 -> /r4 -> ... -> /r1 = the file
    if (path.size() == 3 && path[2] > '1')
      return Script{Send(Header("302 Found", "Location: /r" + std::string(1, static_cast<char>(path[2] - 1)) + "\r\n"))};
    return ServeContent(request, content);
  });
  EXPECT_EQ(Download(chain.Url("/r5")), DL_OK);
  EXPECT_TRUE(testsupport::ReadAll(dir.File(L"r1")) == content);
  EXPECT_EQ(Download(chain.Url("/r6"), 1), DL_BAD_URL);
  ASSERT_TRUE(platform::RemoveFile(dir.File(L"r1")));

  // Saved two levels down, so that a name climbing out would land inside the test's directory.
  ASSERT_TRUE(platform::CreateDirectoryChain(dir.File(L"a\\b\\")));
  for (const char* location : {"/d/..%5c..%5cevil.zip", "/d/..\\..\\evil.zip", "/d/nul.zip", "/d/a%3a%5cevil.zip"}) {
    ScriptServer server([&](const std::string& request, int) {
      if (RequestPath(request) == "/pkg.zip") return Script{Send(Header("302 Found", std::string("Location: ") + location + "\r\n"))};
      return ServeContent(request, "evil");
    });
    EXPECT_EQ(testsupport::Download(server.Url("/pkg.zip"), dir.File(L"a\\b\\")), DL_UNSAFE_NAME) << location;
    EXPECT_EQ(testsupport::ListTree(dir.Wide()), (std::vector<std::wstring>{L"a", L"a/b"})) << location;
    EXPECT_EQ(server.Requests().size(), 2u) << location;  // the probes only
  }
}

TEST_F(DownloadEngine, Md5InTheUrlIsChecked) {
  const std::string content = testsupport::MakeContent(7000000);
  const std::string md5 = testsupport::Md5Hex(content);
  ScriptServer ranges([&](const std::string& request, int) { return ServeContent(request, content); });
  // Without ranges the bytes are checked as they arrive.
  ScriptServer whole([&](const std::string&, int) { return Whole(content); });
  for (ScriptServer* server : {&ranges, &whole}) {
    EXPECT_EQ(Download(server->Url("/pkg.zip?md5=" + md5)), DL_OK);
    EXPECT_TRUE(Target() == content);
    EXPECT_EQ(Download(server->Url("/pkg.zip?md5=0" + md5.substr(1)), 1), DL_CHECKSUM_MISMATCH);
    EXPECT_TRUE(testsupport::ReadFiles(dir).empty());
  }
}

TEST_F(DownloadEngine, AHandedOverFileIsHeldWithTheDigestsOfItsBytes) {
  const std::string content = testsupport::MakeContent(10000001), md5 = testsupport::Md5Hex(content);
  platform::Digest sha(platform::DigestKind::kSha256);
  sha.Update(content.data(), content.size());
  const std::vector<std::uint8_t> sha256 = sha.Finish();
  ScriptServer ranged([&](const std::string& request, int) { return ServeContent(request, content); });
  ScriptServer whole([&](const std::string&, int) { return Whole(content); });
  StopEarly(content);
  handOver = true;
  for (auto [server, what] : {std::pair{&ranged, "resumed"}, {&ranged, "fresh"}, {&whole, "whole"}}) {
    SCOPED_TRACE(what);
    EXPECT_EQ(Download(server->Url("/pkg.zip?md5=" + md5), 1), DL_OK);
    EXPECT_TRUE(platform::EqualsIgnoringCase(outcome.md5, FromUtf8(md5)));
    EXPECT_TRUE(outcome.sha256 == sha256);
    std::string held(content.size() + 1, '\0');
    EXPECT_EQ(outcome.file.Read(held.data(), held.size()), static_cast<std::int64_t>(content.size()));
    EXPECT_TRUE(held.substr(0, content.size()) == content);
#ifdef _WIN32  // no other writer while it is held, however much it offers to share
    EXPECT_EQ(CreateFileW(outcome.target.c_str(), GENERIC_WRITE, 7, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
#endif
  }
}

TEST_F(DownloadEngine, NestedAndNamedTargetsAndAPresentTarget) {
  const std::string content = testsupport::MakeContent(1000);
  ScriptServer server([&](const std::string& request, int) { return ServeContent(request, content); });
  const std::wstring nested = dir.Wide() + L"a\\b\\c\\";
  EXPECT_EQ(DownloadFile(FromUtf8(server.Url("/pkg.zip")).c_str(), nested.c_str(), nullptr, 0, 1, 0, 0), DL_OK);
  EXPECT_TRUE(testsupport::ReadAll(nested + L"pkg.zip") == content);
  const std::wstring named = dir.Wide() + L"d\\setup";
  EXPECT_EQ(DownloadFile(FromUtf8(server.Url("/pkg.zip?x=1")).c_str(), named.c_str(), nullptr, 0, 1, 0, 1), DL_OK);
  EXPECT_TRUE(testsupport::ReadAll(named + L".zip") == content);

  // A target that is there is kept, unless replacing is asked for.
  const std::size_t before = server.Requests().size();
  ASSERT_TRUE(testsupport::WriteAll(dir.File(L"pkg.zip"), "old"));
  EXPECT_EQ(Download(server.Url("/pkg.zip")), DL_ALREADY_PRESENT);
  EXPECT_EQ(server.Requests().size(), before + 1);
  EXPECT_EQ(Target(), "old");
  EXPECT_EQ(Download(server.Url("/pkg.zip"), 1), DL_OK);
  EXPECT_TRUE(Target() == content);
}

}  // namespace
