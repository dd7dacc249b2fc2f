#include "unzip/extract_package.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "platform/fault.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "tests/core/support/child_process.h"
#include "tests/core/support/temp_dir.h"
#include "tests/core/support/zip_support.h"

namespace {

using namespace ziptest;
using testsupport::TempDir;

// What the driver reported, in order: "progress:i/n", "failed:STAGE:RESULT[:ITEM][:bad]",
// "finished"; and whether the package still existed when the failure was reported.
class RecordingReport final : public unzip::IExtractReport {
 public:
  explicit RecordingReport(std::wstring package = {}, int cancelAt = -1) : package_(std::move(package)), cancelAt_(cancelAt) {}

  void OnExtractProgress(std::int32_t index, std::int32_t count) override {
    EXPECT_GT(index, lastIndex_) << "progress went backwards";
    lastIndex_ = index;
    events.push_back("progress:" + std::to_string(index) + "/" + std::to_string(count));
  }
  bool ExtractCancelled() override { return cancelAt_ >= 0 && events.size() >= static_cast<std::size_t>(cancelAt_); }
  void OnExtractFinished() override { events.push_back("finished"); }
  void OnExtractFailed(unzip::ExtractStage stage, std::int32_t result, const std::wstring& item, bool bad) override {
    events.push_back("failed:" + std::to_string(stage) + ":" + std::to_string(result) +
                     (item.empty() ? "" : ":" + platform::ToUtf8(item)) + (bad ? ":bad" : ""));
    packageAtFailure = platform::PathExists(package_);
  }

  std::vector<std::string> events;
  bool packageAtFailure = false;

 private:
  std::wstring package_;
  int cancelAt_;
  std::int32_t lastIndex_ = -1;
};

// Progress reports for items 0 .. announced-1, then the last report.
std::vector<std::string> Events(int announced, int count, const std::string& last) {
  std::vector<std::string> events;
  for (int i = 0; i < announced; ++i) events.push_back("progress:" + std::to_string(i) + "/" + std::to_string(count));
  events.push_back(last);
  return events;
}

// One extraction of a copy of a fixture package into scratch\install\, through its path or
// through the file held open (and left at its end, as hashing it does).
struct PackageRun {
  PackageRun(const std::wstring& fixture, const TempDir& scratch)
      : package(scratch.File(L"TavoPhoneAx.zip")), install(scratch.File(L"install\\")) {
    if (!fixture.empty()) {
      EXPECT_TRUE(testsupport::WriteAll(package, testsupport::ReadAll(Fixture(fixture))));
    }
    (void)platform::CreateDirectoryLevel(install);
  }
  std::vector<std::string> Extract(unsigned writers, bool held = false, int cancelAt = -1) {
    RecordingReport report(package, cancelAt);
    platform::SharedReadFile file;
    if (held) {
      EXPECT_TRUE(file.Open(package) && file.Seek(0, platform::SeekOrigin::kEnd) >= 0);
    }
    const bool finished = held ? ExtractPackage(file, install, report, writers)
                               : ExtractPackage(package, install, report, writers);
    EXPECT_EQ(finished, !report.events.empty() && report.events.back() == "finished");
    EXPECT_EQ(file.IsOpen(), held);  // the caller's to close
    packageAtFailure = report.packageAtFailure;
    return report.events;
  }
  std::wstring package;
  std::wstring install;
  bool packageAtFailure = false;
};

// Every archive gives the same reports and files whether the reading thread writes them or writer
// threads do, and nothing lands outside the install directory. Through its path a bad package is
// deleted before the failure is reported; held open, it stays for the caller.
TEST(ExtractPackage, EveryArchiveGivesTheSameOutcomeWithAndWithoutWriterThreads) {
  using Contents = std::vector<std::pair<std::wstring, std::string>>;
  const Contents tree;  // stands for the fixtures' source tree, compared whole
  const Contents lastCopies = {{L"dup.txt", "last\n"}, {L"sub/same.txt", "backslash\n"}, {L"big.bin", "small now\n"}};
  const Contents cleaned = {{L"tools\\a.dll", "D:\\tools\\a.dll"}, {L"x/y.txt", "//x/y.txt"}, {L"bin/b.exe", "lib/../bin/b.exe"},
                            {L"c.txt", "a/b/../../c.txt"}, {L"up.txt", "..\\up.txt"}, {L"b2.txt", "a/./../../b2.txt"},
                            {L"dot/file.txt", "./dot/./file.txt"}, {L"etc/evil.txt", "../../../../etc/evil.txt"},
                            {L"server\\share\\unc.txt", "\\\\server\\share\\unc.txt"}, {L"drive.txt", "C:../../drive.txt"}};
  const struct {
    const wchar_t* fixture;
    int count;
    int announced;
    const char* last;
    const Contents* files = nullptr;  // expected contents, when checked
  } cases[] = {
      {L"infozip.zip", 8, 8, "finished", &tree},
      {L"infozip_x.zip", 8, 8, "finished", &tree},
      {L"infozip_stored.zip", 8, 8, "finished", &tree},
      {L"sevenzip.zip", 8, 8, "finished", &tree},
      {L"bsdtar.zip", 8, 8, "finished", &tree},
      {L"python.zip", 8, 8, "finished", &tree},
      {L"prefixed.zip", 8, 8, "finished", &tree},
      {L"attributes.zip", 11, 11, "finished"},
      {L"ut_mtime_only.zip", 1, 1, "finished"},
      {L"traversal.zip", 11, 11, "failed:5:512:x/", &cleaned},  // "x/.." names no file
      {L"duplicates.zip", 14, 14, "finished", &lastCopies},
      {L"empty_package.zip", 0, 0, "finished"},
      {L"last_empty.zip", 3, 3, "finished"},  // an empty file counts as extracted, also at the end
      {L"not_a_zip.zip", 0, 0, "failed:1:0:bad"},
      {L"truncated.zip", 0, 0, "failed:1:0:bad"},
      {L"unsafe_names.zip", 16, 2, "failed:4:1792:bad"},
      {L"encrypted.zip", 1, 1, "failed:5:4096:TavoPhoneAx/Tavo.exe"},
      {L"middle_crc.zip", 3, 2, "failed:5:1792:bad.txt:bad"},
      {L"middle_header.zip", 3, 2, "failed:4:1792:bad"},
      {L"middle_short.zip", 3, 2, "failed:5:83886080:bad.txt:bad"},
      {L"middle_stored_short.zip", 3, 2, "failed:5:83886080:bad.txt:bad"},
      {L"middle_bzip2.zip", 3, 2, "failed:5:1792:bad.txt:bad"},
      {L"middle_extra.zip", 3, 2, "failed:4:2048:bad"},
      {L"last_crc.zip", 3, 3, "failed:5:1792:bad.txt:bad"},
      {L"last_header.zip", 3, 3, "failed:4:1792:bad"},
      {L"last_short.zip", 3, 3, "failed:5:83886080:bad.txt:bad"},
      {L"last_stored_short.zip", 3, 3, "failed:5:83886080:bad.txt:bad"},
      {L"last_bzip2.zip", 3, 3, "failed:5:1792:bad.txt:bad"},
      {L"last_extra.zip", 3, 3, "failed:4:2048:bad"},
  };
  const struct { unsigned writers; bool held; } runs[] = {{0, false}, {1, true}, {4, false}};
  for (const auto& c : cases) {
    std::vector<std::string> first;
    for (std::size_t k = 0; k < std::size(runs); ++k) {
      const auto& r = runs[k];
      SCOPED_TRACE(testing::Message() << platform::ToUtf8(c.fixture) << " with " << r.writers << " writers"
                                      << (r.held ? ", held" : ""));
      TempDir scratch;
      PackageRun run(c.fixture, scratch);
      EXPECT_EQ(run.Extract(r.writers, r.held), Events(c.announced, c.count, c.last));
      const bool bad = std::string(c.last).rfind(":bad") != std::string::npos;
      EXPECT_EQ(platform::PathExists(run.package), r.held || !bad);
      if (bad) {
        EXPECT_EQ(run.packageAtFailure, r.held);
      }
      if (c.files == &tree) {
        EXPECT_EQ(Snapshot(run.install, false), Snapshot(Fixture(L"tree\\"), false));
      }
      for (const auto& [name, data] : c.files ? *c.files : Contents())
        EXPECT_EQ(testsupport::ReadAll(run.install + name), data) << platform::ToUtf8(name);
      for (const std::wstring& name : testsupport::ListTree(scratch.Wide()))
        EXPECT_TRUE(name == L"TavoPhoneAx.zip" || name.rfind(L"install", 0) == 0) << "outside: " << platform::ToUtf8(name);
      // A damaged item's partial file has the time it was written at.
      const std::vector<std::string> files = Snapshot(run.install, std::string(c.last) == "finished");
      if (k == 0) {
        first = files;
      } else {
        EXPECT_EQ(files, first);
      }
    }
  }
}

// Only the package that is not there counts as bad.
TEST(ExtractPackage, MissingPackageCancelAndUnusableDirectoryEndEarly) {
  TempDir scratch;
  PackageRun missing(L"", scratch);
  EXPECT_EQ(missing.Extract(3), Events(0, 0, "failed:1:0:bad"));
  PackageRun run(L"infozip.zip", scratch);
  EXPECT_EQ(run.Extract(3, false, 2), Events(2, 8, "failed:6:0"));  // stops before the third item
  run.install.clear();
  EXPECT_EQ(run.Extract(3), Events(0, 0, "failed:2:0"));
  EXPECT_TRUE(platform::PathExists(run.package));
  platform::SharedReadFile file;  // and the size the central directory gives, the tree's files
  ASSERT_TRUE(file.Open(run.package));
  EXPECT_EQ(PackageUncompressedSize(file), 210 + 200000 + 650 + 13);
}

// The Nth counted call of an extraction with writer threads fails, for N = 1, 2, ...: a finished
// run and a clean rerun over a failed one both give the clean tree.
TEST(ExtractPackage, AFaultAtAnyCallIsAFailureOrTheSameTree) {
  TempDir scratch;
  PackageRun reference(L"infozip.zip", scratch);
  ASSERT_EQ(reference.Extract(0).back(), "finished");
  const std::vector<std::string> clean = Snapshot(reference.install);
  int faulted = 0;
  for (std::uint64_t n = 1;; ++n) {
    SCOPED_TRACE(testing::Message() << "fault at call " << n);
    TempDir dir;
    PackageRun run(L"infozip.zip", dir);
    platform::ArmFault(n);
    const bool finished = run.Extract(2).back() == "finished";
    const bool fired = platform::FaultFired();
    platform::ArmFault(0);
    if (finished) {
      ASSERT_EQ(Snapshot(run.install), clean);
    }
    if (!fired) break;
    ++faulted;
    PackageRun rerun(L"infozip.zip", dir);  // the package anew: a bad one is deleted
    ASSERT_EQ(rerun.Extract(2).back(), "finished");
    ASSERT_EQ(Snapshot(rerun.install), clean);
  }
  EXPECT_GT(faulted, 10);
}

#ifndef _WIN32
// A kill mid-extraction leaves nothing a rerun trusts: it ends with the files that the reading
// thread alone writes (twice: read-only files are replaced too).
TEST(ExtractPackage, RerunAfterAKillGivesTheSameFiles) {
  TempDir scratch;
  const std::wstring package = Fixture(L"many_files.zip");
  const std::wstring clean = scratch.File(L"clean\\"), killed = scratch.File(L"killed\\");
  for (int pass = 0; pass < 2; ++pass) {
    RecordingReport report;
    ASSERT_TRUE(ExtractPackage(package, clean, report, 0));
  }

  testsupport::ChildProcess child;
  ASSERT_TRUE(child.Start(UNPACK_TOOL, {package, killed, L"--writers", L"3"}));
  for (int i = 0; i < 20000 && testsupport::ListTree(killed).size() < 200; ++i) platform::SleepMs(1);
  child.Kill();
  ASSERT_EQ(child.Wait(), -1) << "the extraction ended before the kill";
  EXPECT_NE(Snapshot(killed), Snapshot(clean));

  RecordingReport rerun;
  ASSERT_TRUE(ExtractPackage(package, killed, rerun, 3));
  EXPECT_EQ(Snapshot(killed), Snapshot(clean));
}
#endif

}  // namespace
