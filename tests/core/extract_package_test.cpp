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

// What the driver told the window and the user, in order. "box:TEXT" for a message box (with
// whether the package still existed when it was shown), "progress:i/n", "failed:stage",
// "finished".
class RecordingShell final : public platform::IShell {
 public:
  explicit RecordingShell(std::wstring package) : package_(std::move(package)) { platform::SetShell(this); }
  ~RecordingShell() { platform::SetShell(nullptr); }

  bool Post(platform::WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
    EXPECT_EQ(window, kWindow);
    std::lock_guard<std::mutex> lock(mutex_);
    switch (message) {
      case unzip::WM_EXTRACT_PROGRESS:
        events_.push_back("progress:" + std::to_string(wParam) + "/" + std::to_string(lParam));
        break;
      case unzip::WM_EXTRACT_FAILED:
        EXPECT_EQ(lParam, 0);
        events_.push_back("failed:" + std::to_string(wParam));
        break;
      case unzip::WM_EXTRACT_FINISHED:
        EXPECT_EQ(wParam, 0u);
        EXPECT_EQ(lParam, 0);
        events_.push_back("finished");
        break;
      default:
        events_.push_back("message:" + std::to_string(message));
    }
    return true;
  }
  int ShowMessageBox(platform::WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                     unsigned type) override {
    EXPECT_EQ(owner, kWindow);
    EXPECT_TRUE(caption.empty());
    EXPECT_EQ(type, static_cast<unsigned>(platform::kMbOk));
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back("box:" + platform::ToUtf8(text));
    packageAtBox_.push_back(platform::PathExists(package_));
    return platform::kIdOk;
  }
  bool Open(const std::wstring&) override { return false; }

  std::vector<std::string> events() const { return events_; }
  std::vector<bool> packageAtBox() const { return packageAtBox_; }

  static inline platform::WindowHandle const kWindow = reinterpret_cast<platform::WindowHandle>(0x1234);

 private:
  std::mutex mutex_;
  std::wstring package_;
  std::vector<std::string> events_;
  std::vector<bool> packageAtBox_;
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
  std::vector<std::string> Extract() {
    RecordingShell shell(package);
    EXPECT_TRUE(ExtractPackage(package, install, RecordingShell::kWindow));
    packageAtBox = shell.packageAtBox();
    return shell.events();
  }
  std::wstring package;
  std::wstring install;
  std::vector<bool> packageAtBox;
};

const std::string kIncomplete = "\xE6\x9C\xAA\xE8\xA7\xA3\xE5\x8E\x8B\xE5\xAE\x8C\xE5\x85\xA8!";  // 未解压完全!

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
    EXPECT_EQ(run.Extract(), (std::vector<std::string>{
                                 "box:\xE6\x89\x93\xE5\xBC\x80\xE5\x8E\x8B\xE7\xBC\xA9\xE5\x8C\x85\xE8\xA7\xA3\xE5\x8E"
                                 "\x8B\xE8\xB7\xAF\xE5\xBE\x84\xE5\x87\xBA\xE9\x94\x99!",  // 打开压缩包解压路径出错!
                                 "failed:1"}));
    // A package that is not a zip is gone before the user hears of it, so the next run fetches it.
    EXPECT_EQ(run.packageAtBox, std::vector<bool>{false});
  }
}

// A damaged item stops the extraction with its code, wherever it is, and the damaged package is
// deleted before the box appears.
TEST(ExtractPackage, DamagedItemFailsInTheMiddleAndAtTheEnd) {
  const struct {
    const wchar_t* fixture;
    std::vector<std::string> events;
  } cases[] = {
      {L"middle_crc.zip", Concat(Progress(2, 3), {"box:" + kIncomplete + "1792", "failed:5"})},
      {L"middle_header.zip", Concat(Progress(2, 3), {"box:" + kIncomplete + "1792", "failed:4"})},
      {L"middle_short.zip", Concat(Progress(2, 3), {"box:" + kIncomplete + "83886080", "failed:5"})},
      {L"last_crc.zip", Concat(Progress(3, 3), {"box:" + kIncomplete + "1792", "failed:5"})},
      {L"last_header.zip", Concat(Progress(3, 3), {"box:" + kIncomplete + "1792", "failed:4"})},
      {L"last_stored_short.zip", Concat(Progress(3, 3), {"box:" + kIncomplete + "83886080", "failed:5"})},
      {L"last_bzip2.zip", Concat(Progress(3, 3), {"box:" + kIncomplete + "1792", "failed:5"})},
      {L"last_extra.zip", Concat(Progress(3, 3), {"box:" + kIncomplete + "2048", "failed:4"})},
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
  EXPECT_EQ(run.Extract(), Concat(Progress(1, 11), {"box:" + kIncomplete + "512", "failed:5"}));
  EXPECT_EQ(run.packageAtBox, std::vector<bool>{true});
  EXPECT_TRUE(platform::PathExists(run.package));
}

TEST(ExtractPackage, UnusableInstallDirectoryFailsAtStageTwo) {
  ScratchDir scratch;
  PackageRun run(L"infozip.zip", scratch);
  RecordingShell shell(run.package);
  EXPECT_TRUE(ExtractPackage(run.package, std::wstring(), RecordingShell::kWindow));
  EXPECT_EQ(shell.events(), (std::vector<std::string>{
                                "box:\xE8\xAE\xBE\xE7\xBD\xAE\xE8\xA7\xA3\xE5\x8E\x8B\xE8\xB7\xAF\xE5\xBE\x84\xE5\x87"
                                "\xBA\xE9\x94\x99!",  // 设置解压路径出错!
                                "failed:2"}));
  EXPECT_TRUE(platform::PathExists(run.package));
}

}  // namespace
