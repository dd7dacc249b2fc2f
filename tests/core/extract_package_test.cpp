#include "unzip/extract_package.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "platform/fs.h"
#include "platform/text.h"
#include "tests/core/support/zip_support.h"

namespace {

using ziptest::Inspect;
using ziptest::ScratchDir;

// What the driver reported, in order: "progress:i/n", "failed:STAGE:RESULT" (with whether the
// package still existed then), "finished".
class RecordingReport final : public unzip::IExtractReport {
 public:
  explicit RecordingReport(std::wstring package) : package_(std::move(package)) {}

  void OnExtractProgress(std::int32_t index, std::int32_t count) override {
    events.push_back("progress:" + std::to_string(index) + "/" + std::to_string(count));
  }
  bool ExtractCancelled() override { return cancelAt >= 0 && events.size() >= static_cast<std::size_t>(cancelAt); }
  void OnExtractFinished() override { events.push_back("finished"); }
  void OnExtractFailed(unzip::ExtractStage stage, std::int32_t result, const std::wstring&, bool deleted) override {
    events.push_back("failed:" + std::to_string(stage) + ":" + std::to_string(result));
    packageAtFailure.push_back(platform::PathExists(package_));
    EXPECT_EQ(deleted, !platform::PathExists(package_));
  }

  int cancelAt = -1;  // reports before the driver is asked to stop; -1: never
  std::vector<std::string> events;
  std::vector<bool> packageAtFailure;

 private:
  std::wstring package_;
};

// Progress messages for items 0 .. announced-1 of count.
std::vector<std::string> Progress(int announced, int count) {
  std::vector<std::string> events;
  for (int i = 0; i < announced; ++i) events.push_back("progress:" + std::to_string(i) + "/" + std::to_string(count));
  return events;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// One extraction of a copy of a fixture package into scratch\install\.
struct PackageRun {
  explicit PackageRun(const std::wstring& fixture, ScratchDir& scratch)
      : package(scratch.path() + L"TavoPhoneAx.zip"), install(scratch.path() + L"install\\") {
    if (!fixture.empty()) {
      EXPECT_TRUE(ziptest::CopyFixture(fixture, package));
    }
    (void)platform::CreateDirectoryLevel(install);
  }
  std::vector<std::string> Extract(int cancelAt = -1) {
    RecordingReport report(package);
    report.cancelAt = cancelAt;
    const bool finished = ExtractPackage(package, install, report);
    EXPECT_EQ(finished, !report.events.empty() && report.events.back() == "finished");
    packageAtBox = report.packageAtFailure;
    return report.events;
  }
  std::wstring package;
  std::wstring install;
  std::vector<bool> packageAtBox;
};

TEST(ExtractPackage, SuccessAnnouncesEveryItemThenFinishes) {
  ScratchDir scratch;
  PackageRun run(L"infozip.zip", scratch);
  EXPECT_EQ(run.Extract(), Concat(Progress(8, 8), {"finished"}));
  for (const auto& file : ziptest::Tree()) {
    std::wstring path = run.install + file.name;
    EXPECT_EQ(ziptest::ReadAll(path), file.data);
  }
  EXPECT_TRUE(platform::PathExists(run.package));  // the window deletes it after registration

  // A second run over the installed files, read-only ones included, replaces them.
  EXPECT_EQ(run.Extract(), Concat(Progress(8, 8), {"finished"}));
  EXPECT_TRUE(Inspect(run.install + L"TavoPhoneAx\\readonly.txt").readOnly);
}

TEST(ExtractPackage, EmptyPackageFinishesWithoutProgress) {
  ScratchDir scratch;
  PackageRun run(L"empty_package.zip", scratch);
  EXPECT_EQ(run.Extract(), std::vector<std::string>{"finished"});
}

TEST(ExtractPackage, EmptyFilesCountAsExtractedAlsoAtTheEnd) {
  ScratchDir scratch;
  PackageRun run(L"last_empty.zip", scratch);
  EXPECT_EQ(run.Extract(), Concat(Progress(3, 3), {"finished"}));
  EXPECT_EQ(Inspect(run.install + L"last_empty.txt").size, 0);
}

TEST(ExtractPackage, MissingOrForeignPackageFailsAtOpening) {
  for (const wchar_t* fixture : {L"", L"not_a_zip.zip", L"truncated.zip"}) {
    SCOPED_TRACE(fixture);
    ScratchDir scratch;
    PackageRun run(fixture, scratch);
    EXPECT_EQ(run.Extract(), std::vector<std::string>{"failed:1:0"});
    // A package that is not a zip is gone before the failure is reported, so the next run fetches it.
    EXPECT_EQ(run.packageAtBox, std::vector<bool>{false});
  }
}

// A damaged item stops the extraction with its code, wherever it is, and the damaged package is
// deleted before the failure is reported.
TEST(ExtractPackage, DamagedItemFailsInTheMiddleAndAtTheEnd) {
  const struct {
    const wchar_t* fixture;
    std::vector<std::string> events;
  } cases[] = {
      {L"middle_crc.zip", Concat(Progress(2, 3), {"failed:5:1792"})},
      {L"middle_header.zip", Concat(Progress(2, 3), {"failed:4:1792"})},
      {L"middle_short.zip", Concat(Progress(2, 3), {"failed:5:83886080"})},
      {L"last_crc.zip", Concat(Progress(3, 3), {"failed:5:1792"})},
      {L"last_header.zip", Concat(Progress(3, 3), {"failed:4:1792"})},
      {L"last_stored_short.zip", Concat(Progress(3, 3), {"failed:5:83886080"})},
      {L"last_bzip2.zip", Concat(Progress(3, 3), {"failed:5:1792"})},
      {L"last_extra.zip", Concat(Progress(3, 3), {"failed:4:2048"})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fixture);
    ScratchDir scratch;
    PackageRun run(c.fixture, scratch);
    EXPECT_EQ(run.Extract(), c.events);
    EXPECT_EQ(run.packageAtBox, std::vector<bool>{false});
    EXPECT_EQ(ziptest::ReadAll(run.install + L"one.txt").size(), 260u);  // items before it stay
  }
}

TEST(ExtractPackage, OutputThatCannotBeWrittenKeepsThePackage) {
  ScratchDir scratch;
  PackageRun run(L"attributes.zip", scratch);
  // A directory where the first file belongs.
  (void)platform::CreateDirectoryLevel(run.install + L"dos");
  (void)platform::CreateDirectoryLevel(run.install + L"dos\\readonly.txt");
  EXPECT_EQ(run.Extract(), Concat(Progress(1, 11), {"failed:5:512"}));
  EXPECT_EQ(run.packageAtBox, std::vector<bool>{true});
  EXPECT_TRUE(platform::PathExists(run.package));
}

TEST(ExtractPackage, UnusableInstallDirectoryFailsAtStageTwo) {
  ScratchDir scratch;
  PackageRun run(L"infozip.zip", scratch);
  run.install.clear();
  EXPECT_EQ(run.Extract(), std::vector<std::string>{"failed:2:0"});
  EXPECT_TRUE(platform::PathExists(run.package));
}

TEST(ExtractPackage, CancelStopsBeforeTheNextItemAndKeepsThePackage) {
  ScratchDir scratch;
  PackageRun run(L"infozip.zip", scratch);
  EXPECT_EQ(run.Extract(2), Concat(Progress(2, 8), {"failed:6:0"}));
  EXPECT_TRUE(platform::PathExists(run.package));
}

}  // namespace
