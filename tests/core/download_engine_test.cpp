#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <mutex>
#include <filesystem>
#include <random>
#include <set>

#include "download/http_get.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/hash.h"
#include "platform/text.h"
#include "tests/core/support/script_server.h"
#include "tests/core/support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using testsupport::Header;
using testsupport::RangeOf;
using testsupport::Script;
using testsupport::ScriptServer;
using testsupport::Send;
using testsupport::Slowly;
using testsupport::ServeContent;
using testsupport::TempDir;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// The probe carries the browser agent; every other request is a segment's.
bool IsSegmentRequest(const std::string& request) {
  return !request.empty() && request.find("Chrome/") == std::string::npos;
}

bool HasRangeFrom(const std::vector<std::string>& ranges, std::int64_t first) {
  const std::string prefix = std::to_string(first) + "-";
  return std::any_of(ranges.begin(), ranges.end(), [&](const std::string& r) { return r.rfind(prefix, 0) == 0; });
}

std::vector<std::string> SegmentRanges(ScriptServer& server) {
  std::vector<std::string> ranges;
  for (const std::string& request : server.Requests())
    if (IsSegmentRequest(request)) ranges.push_back(RangeOf(request));
  return ranges;
}

std::string RequestPath(const std::string& request) {
  const std::size_t begin = request.find(' ') + 1;
  return request.substr(begin, request.find(' ', begin) - begin);
}

class Recorder final : public IDownloadCallBack {
 public:
  int OnProgress(std::uint32_t total, int percent, std::uint32_t, int) override {
    ++reports;
    lastTotal = total;
    EXPECT_GE(percent, 0);
    EXPECT_LE(percent, 100);
    return percent > 0 ? answer.load() : 0;  // a stop asked for once bytes have arrived
  }
  void OnSavePath(const std::wstring& target, int) override { savePath = target; }
  void OnServerAddress(const std::wstring& address, int cookie) override {
    EXPECT_EQ(address, L"127.0.0.1");
    EXPECT_EQ(cookie, 42);
    ++addresses;
  }

  std::atomic<int> answer{0};
  std::atomic<int> reports{0};
  std::atomic<int> addresses{0};
  std::atomic<std::uint32_t> lastTotal{0};
  std::wstring savePath;
};

// The engine's own hex digest of `content` (upper case).
std::string Md5Of(const std::string& content) {
  TempDir scratch;
  testsupport::WriteAll(scratch.File(L"f"), content);
  return platform::ToUtf8(FileMd5Hex(scratch.File(L"f")));
}

std::set<std::string> FileNames(const TempDir& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) names.insert(entry.path().filename().string());
  return names;
}

class DownloadEngine : public ::testing::Test {
 protected:
  int Download(const std::string& url, int allowSegments = 1, int replaceExisting = 0) {
    DownloadRequest request;
    request.url = Wide(url);
    request.saveLocation = dir.Wide();
    request.callback = &recorder;
    request.allowSegments = allowSegments;
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
      return IsSegmentRequest(request) ? Slowly(served) : served;
    });
    recorder.answer = 1;
    EXPECT_EQ(Download(slow.Url("/pkg.zip")), DL_STOPPED);
    recorder.answer = 0;
    EXPECT_TRUE(platform::PathExists(dir.File(L"pkg.zip_0")));
  }
  std::string Target() { return testsupport::ReadAll(dir.File(L"pkg.zip")); }
  bool TargetExists() { return platform::PathExists(dir.File(L"pkg.zip")); }

  TempDir dir;
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

TEST(SegmentPlan, CountsBySize) {
  for (const auto& [size, count] : {std::pair{1, 1}, {5242880, 1}, {5242881, 2}, {52428800, 2}, {104857600, 3}, {104857601, 4}})
    EXPECT_EQ(CHttpGet::SegmentCount(size), count) << size;
}

TEST_F(DownloadEngine, TwoSegmentsWithInclusiveRangeLinesJoinByteIdentical) {
  const std::string content = testsupport::MakeContent(10000001);
  ScriptServer server([&](const std::string& request, int) { return ServeContent(request, content); });
  EXPECT_EQ(Download(server.Url("/consezip/pkg.zip")), DL_OK);
  EXPECT_TRUE(Target() == content);
  const std::vector<std::string> ranges = SegmentRanges(server);
  for (const char* planned : {"0-5000000", "5000000-10000001"})
    EXPECT_NE(std::find(ranges.begin(), ranges.end(), planned), ranges.end()) << planned;
  EXPECT_EQ(FileNames(dir), std::set<std::string>{"pkg.zip"});  // parts and their record are gone
  EXPECT_EQ(recorder.savePath, dir.File(L"pkg.zip"));
  EXPECT_EQ(recorder.lastTotal.load(), 10000001u);
  EXPECT_EQ(recorder.addresses.load(), 0);  // cookie 0: no address reports
  EXPECT_EQ(DownloadFile(Wide(server.Url("/pkg.zip")).c_str(), dir.Wide().c_str(), &recorder, 42, 1, 1, 0), DL_OK);
  EXPECT_GT(recorder.addresses.load(), 0);
}

TEST_F(DownloadEngine, TheFirstConnectionDroppedStillEndsByteIdenticalInOneRun) {
  // The vendor's redirect carries the md5; losing it must not turn the redirect page into the file.
  const std::string content = testsupport::MakeContent(3000000);
  const std::string md5 = Md5Of(content);
  ScriptServer server([&](const std::string& request, int index) {
    if (index == 0) return Script{};  // accepted, then closed without a word
    if (RequestPath(request) == "/consezip/pkg.zip")
      return Script{Send(Header("302 Found", "Location: /download/pkg.zip?md5=" + md5 + "\r\nContent-Length: 5\r\n") +
                         "moved")};
    return ServeContent(request, content);
  });
  EXPECT_EQ(Download(server.Url("/consezip/pkg.zip")), DL_OK);
  EXPECT_TRUE(Target() == content);
}

TEST_F(DownloadEngine, ARerunResumesEveryPartAndSkipsCompleteOnes) {
  const std::string content = testsupport::MakeContent(10000001);
  StopEarly(content);
  EXPECT_FALSE(TargetExists());
  // Make part 0 complete and part 1 hold its first 1,234 bytes, as a killed run might leave them.
  ASSERT_TRUE(testsupport::WriteAll(dir.File(L"pkg.zip_0"), content.substr(0, 5000000)));
  ASSERT_TRUE(testsupport::WriteAll(dir.File(L"pkg.zip_1"), content.substr(5000000, 1234)));

  ScriptServer server([&](const std::string& request, int) { return ServeContent(request, content); });
  EXPECT_EQ(Download(server.Url("/pkg.zip")), DL_OK);
  const std::vector<std::string> ranges = SegmentRanges(server);
  EXPECT_TRUE(HasRangeFrom(ranges, 5001234));
  EXPECT_FALSE(HasRangeFrom(ranges, 0));
  EXPECT_FALSE(HasRangeFrom(ranges, 5000000));
  EXPECT_TRUE(Target() == content);
}

TEST_F(DownloadEngine, PartsOfAnotherFileAreDiscarded) {
  const std::string first = testsupport::MakeContent(6000000, 1);
  const std::string resized = testsupport::MakeContent(6000002, 2);
  const std::string reissued = testsupport::MakeContent(6000000, 3);
  auto finish = [&](const std::string& content, const std::string& fields) {
    ScriptServer server([&](const std::string& request, int) { return ServeContent(request, content, fields); });
    EXPECT_EQ(Download(server.Url("/pkg.zip")), DL_OK);
    EXPECT_TRUE(Target() == content);
    return SegmentRanges(server);
  };

  StopEarly(first, "ETag: \"one\"\r\n");
  EXPECT_TRUE(HasRangeFrom(finish(resized, "ETag: \"one\"\r\n"), 0));  // another total
  ASSERT_TRUE(platform::RemoveFile(dir.File(L"pkg.zip")));

  StopEarly(first, "ETag: \"one\"\r\n");
  EXPECT_TRUE(HasRangeFrom(finish(reissued, "ETag: \"two\"\r\n"), 0));  // same total, another version
  ASSERT_TRUE(platform::RemoveFile(dir.File(L"pkg.zip")));

  // The same file still resumes: each segment continues after what its part holds.
  StopEarly(first, "ETag: \"one\"\r\n");
  const std::int64_t kept0 = std::max<std::int64_t>(0, platform::FileSize(dir.File(L"pkg.zip_0")));
  const std::int64_t kept1 = std::max<std::int64_t>(0, platform::FileSize(dir.File(L"pkg.zip_1")));
  ASSERT_GT(kept0 + kept1, 0);
  const std::vector<std::string> ranges = finish(first, "ETag: \"one\"\r\n");
  EXPECT_TRUE(HasRangeFrom(ranges, kept0));
  EXPECT_TRUE(HasRangeFrom(ranges, 3000000 + kept1));
}

TEST_F(DownloadEngine, StopAndDiscardDeletesEveryPart) {
  const std::string content = testsupport::MakeContent(60000000);
  ScriptServer slow([&](const std::string& request, int) {
    Script served = ServeContent(request, content);
    return IsSegmentRequest(request) ? Slowly(served) : served;
  });
  recorder.answer = 2;
  const std::uint32_t start = platform::TickCount();
  EXPECT_EQ(Download(slow.Url("/pkg.zip")), DL_STOPPED);
  EXPECT_LT(platform::TickCount() - start, 5000u);
  EXPECT_EQ(FileNames(dir), std::set<std::string>{});
  EXPECT_GE(SegmentRanges(slow).size(), 3u);
}

TEST_F(DownloadEngine, AStopIsHeardDuringAnOutageAndTheStatusSaysStalled) {
  class Watcher final : public IDownloadCallBack {
   public:
    int OnProgress(std::uint32_t, int, std::uint32_t, int) override { return stalled ? 1 : 0; }
    void OnSavePath(const std::wstring&, int) override {}
    void OnServerAddress(const std::wstring&, int) override {}
    void OnStatus(const DownloadStatus& status) override { stalled = stalled || status.stalled; }
    bool stalled = false;  // calls never overlap
  } watcher;
  const std::uint16_t port = testsupport::UnusedPort();
  DownloadRequest request;
  request.url = L"http://127.0.0.1:" + std::to_wstring(port) + L"/pkg.zip";
  request.saveLocation = dir.Wide();
  request.callback = &watcher;
  request.timing.stalledMs = 300;  // the product waits 3 s; the retry budget stays at 120 s
  DownloadOutcome outcome;
  const std::uint32_t start = platform::TickCount();
  EXPECT_EQ(DownloadWithOutcome(request, outcome), DL_STOPPED);
  EXPECT_LT(platform::TickCount() - start, 10000u);
  EXPECT_TRUE(watcher.stalled);
}

TEST_F(DownloadEngine, CutConnectionsAndWrongAnswersStillEndByteIdentical) {
  const std::string content = testsupport::MakeContent(6000000);
  std::mt19937 random(20261206);
  std::mutex mutex;
  int segmentRequests = 0;
  ScriptServer server([&](const std::string& request, int) {
    Script served = ServeContent(request, content);
    if (!IsSegmentRequest(request)) return served;
    std::lock_guard<std::mutex> hold(mutex);
    const int index = segmentRequests++;
    // Whole-file and error answers to a range request must not reach the part files.
    if (index == 0) return Script{Send(Header("200 OK", "Content-Length: 6000000\r\n") + content)};
    if (index == 1) return Script{Send(Header("416 Range Not Satisfiable", "Content-Range: bytes */6000000\r\n"))};
    if (index == 2) {  // another range than the one asked for
      const std::size_t wrong = RangeOf(request).rfind("0-", 0) == 0 ? 1 : 0;
      return Script{Send(Header("206 Partial Content", "Content-Range: bytes " + std::to_string(wrong) + "-" +
                                                           std::to_string(wrong + 99999) + "/6000000\r\n") +
                         content.substr(wrong, 100000))};
    }
    if (index < 7) {
      std::string& bytes = served[0].bytes;
      const std::size_t body = bytes.find("\r\n\r\n") + 4;
      bytes.resize(body + random() % (bytes.size() - body));  // closed at a random offset
    }
    return served;
  });
  EXPECT_EQ(Download(server.Url("/pkg.zip")), DL_OK);
  EXPECT_TRUE(Target() == content);
  EXPECT_GE(segmentRequests, 9);
}

TEST_F(DownloadEngine, ASilentConnectionFailsAfterTheSilenceLimitAndResumes) {
  const std::string content = testsupport::MakeContent(100000);
  std::atomic<int> segmentRequests{0};
  ScriptServer server([&](const std::string& request, int) {
    Script served = ServeContent(request, content);
    if (IsSegmentRequest(request) && segmentRequests++ == 0) {
      const std::string& bytes = served[0].bytes;
      const std::size_t body = bytes.find("\r\n\r\n") + 4;
      // Then silence until the server stops: only the silence limit ends this attempt.
      return Script{Send(bytes.substr(0, body + 1000)), testsupport::Stall(600000)};
    }
    return served;
  });
  timing.silenceMs = 300;
  EXPECT_EQ(Download(server.Url("/pkg.zip")), DL_OK);
  EXPECT_TRUE(Target() == content);
  EXPECT_EQ(SegmentRanges(server), (std::vector<std::string>{"0-100000", "1000-100000"}));
}

TEST_F(DownloadEngine, TheFirstFailureIsTheResult) {
  // Part 1 cannot be made (a directory has its name) at once; segment 0 is denied later. The
  // download ends with the first failure, not with whichever worker wrote last.
  const std::string content = testsupport::MakeContent(6000000);
  ScriptServer server([&](const std::string& request, int) {
    if (IsSegmentRequest(request)) return Script{testsupport::Pause(300), Send(Header("404 Not Found"))};
    return ServeContent(request, content);
  });
  ASSERT_TRUE(std::filesystem::create_directory(dir.Path() / "pkg.zip_1"));
  EXPECT_EQ(Download(server.Url("/pkg.zip")), DL_PART_OPEN_FAILED);
  EXPECT_FALSE(TargetExists());
}

TEST_F(DownloadEngine, UnsafeNamesFromARedirectAreRefusedBeforeAnyFileIsMade) {
  // Saved two levels down, so that a name climbing out would land inside the test's directory.
  const std::filesystem::path save = dir.Path() / "a" / "b";
  ASSERT_TRUE(std::filesystem::create_directories(save));
  for (const char* location : {"/d/..%5c..%5cevil.zip", "/d/..\\..\\evil.zip", "/d/CON", "/d/nul.zip",
                               "/d/evil.zip.", "/d/a%3a%5cevil.zip"}) {
    ScriptServer server([&](const std::string& request, int) {
      if (RequestPath(request) == "/pkg.zip") return Script{Send(Header("302 Found", std::string("Location: ") +
                                                                              location + "\r\n"))};
      return ServeContent(request, "evil");
    });
    DownloadRequest request;
    request.url = Wide(server.Url("/pkg.zip"));
    request.saveLocation = dir.Wide() + L"a\\b\\";
    DownloadOutcome outcome;
    EXPECT_EQ(DownloadWithOutcome(request, outcome), DL_UNSAFE_NAME) << location;
    std::set<std::string> made;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path()))
      made.insert(std::filesystem::relative(entry.path(), dir.Path()).generic_string());
    EXPECT_EQ(made, (std::set<std::string>{"a", "a/b"})) << location;
    EXPECT_EQ(server.Requests().size(), 2u) << location;  // the probes only
  }
}

TEST_F(DownloadEngine, PresentTargetIsKeptAfterTheProbe) {
  const std::string content = testsupport::MakeContent(1000);
  ScriptServer server([&](const std::string& request, int) { return ServeContent(request, content); });
  ASSERT_TRUE(testsupport::WriteAll(dir.File(L"pkg.zip"), "old"));
  EXPECT_EQ(Download(server.Url("/pkg.zip")), DL_ALREADY_PRESENT);
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(Target(), "old");

  EXPECT_EQ(Download(server.Url("/pkg.zip"), 1, 1), DL_OK);
  EXPECT_TRUE(Target() == content);
}

TEST_F(DownloadEngine, FourRedirectsAreFollowedAndAFifthIsRefused) {
  const std::string content = testsupport::MakeContent(1000);
  std::string base;
  ScriptServer server([&](const std::string& request, int) {
    const std::string path = RequestPath(request);
    if (path.size() == 3 && path[1] == 'r' && path[2] > '1') {
      const std::string next = path[2] == '2' ? "/pkg.zip" : "/r" + std::string(1, static_cast<char>(path[2] - 1));
      return Script{Send(Header("302 Found", "Location: " + base + next + "\r\n"))};
    }
    return ServeContent(request, content);
  });
  base = "http://127.0.0.1:" + std::to_string(server.Port());
  EXPECT_EQ(Download(server.Url("/r5")), DL_OK);  // r5 -> r4 -> r3 -> r2 -> pkg.zip
  EXPECT_TRUE(Target() == content);
  EXPECT_EQ(Download(server.Url("/r6"), 1, 1), DL_BAD_URL);
}

TEST_F(DownloadEngine, Md5InTheUrlIsChecked) {
  const std::string content = testsupport::MakeContent(7000000);
  std::string md5 = Md5Of(content);
  ASSERT_EQ(md5.size(), 32u);
  for (char& c : md5) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  ScriptServer server([&](const std::string& request, int) { return ServeContent(request, content); });

  EXPECT_EQ(Download(server.Url("/pkg.zip?md5=" + md5)), DL_OK);
  EXPECT_TRUE(Target() == content);
  EXPECT_EQ(Download(server.Url("/pkg.zip?md5=" + md5 + "&v=2"), 1, 1), DL_CHECKSUM_MISMATCH);
  EXPECT_EQ(FileNames(dir), std::set<std::string>{});
  // Without ranges the bytes are checked as they arrive.
  ScriptServer whole([&](const std::string&, int) {
    return Script{Send(Header("200 OK", "Content-Length: 7000000\r\n") + content)};
  });
  EXPECT_EQ(Download(whole.Url("/pkg.zip?md5=" + md5)), DL_OK);
  EXPECT_TRUE(Target() == content);
  EXPECT_EQ(Download(whole.Url("/pkg.zip?md5=0" + md5.substr(1)), 1, 1), DL_CHECKSUM_MISMATCH);
  EXPECT_EQ(FileNames(dir), std::set<std::string>{});
}

TEST_F(DownloadEngine, AHandedOverFileIsHeldWithTheDigestsOfItsBytes) {
  const std::string content = testsupport::MakeContent(10000001), md5 = Md5Of(content);
  platform::Digest sha(platform::DigestKind::kSha256);
  sha.Update(content.data(), content.size());
  const std::vector<std::uint8_t> sha256 = sha.Finish();
  ScriptServer ranged([&](const std::string& request, int) { return ServeContent(request, content); });
  ScriptServer whole([&](const std::string&, int) {
    return Script{Send(Header("200 OK", "Content-Length: 10000001\r\n") + content)};
  });
  StopEarly(content);
  handOver = true;
  for (auto [server, what] : {std::pair{&ranged, "resumed"}, {&ranged, "fresh"}, {&whole, "whole"}}) {
    SCOPED_TRACE(what);
    EXPECT_EQ(Download(server->Url("/pkg.zip?md5=" + md5), 1, 1), DL_OK);
    EXPECT_EQ(platform::ToUtf8(outcome.md5), md5);
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

TEST_F(DownloadEngine, ArgumentsAndTargetNames) {
  EXPECT_EQ(DownloadFile(nullptr, dir.Wide().c_str(), nullptr, 0, 1, 0, 0), DL_BAD_ARGUMENT);
  EXPECT_EQ(DownloadFile(L"http://127.0.0.1/a.zip", L"", nullptr, 0, 1, 0, 0), DL_BAD_ARGUMENT);
  EXPECT_EQ(DownloadFile(L"http:///a.zip", dir.Wide().c_str(), nullptr, 0, 1, 0, 0), DL_BAD_URL);

  const std::string content = testsupport::MakeContent(1000);
  ScriptServer server([&](const std::string& request, int) { return ServeContent(request, content); });
  const std::wstring nested = dir.Wide() + L"a\\b\\c\\";
  EXPECT_EQ(DownloadFile(Wide(server.Url("/pkg.zip")).c_str(), nested.c_str(), nullptr, 0, 1, 0, 0), DL_OK);
  EXPECT_TRUE(testsupport::ReadAll(nested + L"pkg.zip") == content);

  // With nameFromExtension the location is the target's name without extension.
  const std::wstring named = dir.Wide() + L"d\\setup";
  EXPECT_EQ(DownloadFile(Wide(server.Url("/pkg.zip?x=1")).c_str(), named.c_str(), nullptr, 0, 1, 0, 1), DL_OK);
  EXPECT_TRUE(testsupport::ReadAll(named + L".zip") == content);
}

TEST(SpeedMeter, RateOfEachClosedFourSecondWindow) {
  SpeedMeter meter;
  meter.AddAt(1000, 10000);
  meter.AddAt(3000, 12000);
  EXPECT_EQ(meter.currentRate_, 0u);  // no window closed yet
  meter.AddAt(4000, 14500);          // 8000 bytes over 4.5 s: whole seconds count
  EXPECT_EQ(meter.currentRate_, 2000u);
  EXPECT_EQ(meter.windowBytes_, 0u);
  EXPECT_EQ(meter.grandTotal_, 8000u);
}

}  // namespace
