#include <gtest/gtest.h>

#include <vector>

#include "download/download_callback.h"

namespace {

std::uint32_t g_now = 0;
std::uint32_t FakeClock() { return g_now; }

class RecordingShell final : public platform::IShell {
 public:
  struct Posted {
    platform::WindowHandle window;
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
  };
  RecordingShell() { platform::SetShell(this); }
  ~RecordingShell() { platform::SetShell(nullptr); }
  bool Post(platform::WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
    posts.push_back({window, message, wParam, lParam});
    return true;
  }
  int ShowMessageBox(platform::WindowHandle, const std::wstring&, const std::wstring&, unsigned) override {
    return platform::kIdOk;
  }
  bool Open(const std::wstring&) override { return false; }

  std::vector<Posted> posts;
};

class DriverCallback : public ::testing::Test {
 protected:
  DriverCallback() {
    callback.m_pfnNow = &FakeClock;
    callback.SetWindow(window);
  }
  int Report(std::uint32_t at, int percent) {
    g_now = at;
    return callback.OnProgress(1000, percent, 0, 0);
  }
  std::vector<std::uintptr_t> Percents() const {
    std::vector<std::uintptr_t> percents;
    for (const auto& post : shell.posts) {
      EXPECT_EQ(post.window, window);
      EXPECT_EQ(post.message, 10010u);
      EXPECT_EQ(post.lParam, 0);
      percents.push_back(post.wParam);
    }
    return percents;
  }

  RecordingShell shell;
  CDriverDownloadCallBack callback;
  platform::WindowHandle window = reinterpret_cast<platform::WindowHandle>(0x1234);
};

TEST_F(DriverCallback, PostsChangedPercentsAtMostTwiceASecond) {
  EXPECT_EQ(Report(10000, 3), 0);  // the first report passes the time test
  EXPECT_EQ(Report(10300, 7), 0);  // 300 ms later: dropped
  EXPECT_EQ(Report(10600, 9), 0);  // 600 ms after the post
  EXPECT_EQ(Report(11000, 100), 0);  // 400 ms later: completion is dropped too
  EXPECT_EQ(Percents(), (std::vector<std::uintptr_t>{3, 9}));
}

TEST_F(DriverCallback, AnUnchangedPercentIsNotPosted) {
  Report(10000, 0);  // 0 is what the window already shows
  Report(11000, 0);
  Report(12000, 5);
  Report(13000, 5);
  EXPECT_EQ(Percents(), std::vector<std::uintptr_t>{5});
}

TEST_F(DriverCallback, WithoutAWindowNothingIsPosted) {
  callback.SetWindow(nullptr);
  Report(10000, 50);
  EXPECT_TRUE(shell.posts.empty());
}

}  // namespace
