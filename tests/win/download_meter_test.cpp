// The download page's speed and time left, from byte counts over time.
#include "app/window/download_meter.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

constexpr std::uint64_t MiB = 1ull << 20;

TEST(DownloadMeter, FormatsRatesAndTimesLeft) {
  for (auto [rate, text] : {std::pair{300.0, L"1 KB/s"}, std::pair{850 * 1024.0, L"850 KB/s"}, std::pair{12.25 * MiB, L"12.2 MB/s"}})
    EXPECT_EQ(DownloadMeter::FormatRate(rate), text) << rate;
  for (auto [seconds, text] : {std::pair{0, L"剩余 0 秒"}, std::pair{200, L"剩余 3 分 20 秒"}, std::pair{3900, L"剩余 1 小时 5 分"}})
    EXPECT_EQ(DownloadMeter::FormatTimeLeft(seconds), text) << seconds;
}

// Equally spaced reports: `steps` of `stepMs`, each with `bytesPerStep` more.
struct Steps {
  int steps;
  std::uint32_t stepMs;
  std::uint64_t bytesPerStep;
};

TEST(DownloadMeter, SmoothsTheRateAndShowsTimeLeftOnlyOnceSteady) {
  const struct {
    const char* what;
    std::uint64_t total;
    std::vector<Steps> runs;
    const wchar_t* text;
    bool stalled;
  } cases[] = {
      {"steady for 3 s", 100 * MiB, {{6, 500, MiB}}, L"2.0 MB/s · 剩余 42 秒", false},
      {"steady for 1.5 s only", 100 * MiB, {{3, 500, MiB}}, L"2.0 MB/s", false},
      {"size unknown", 0, {{6, 500, MiB}}, L"2.0 MB/s", false},
      {"just sped up fourfold", 100 * MiB, {{6, 500, MiB / 2}, {1, 500, 2 * MiB}}, L"1.8 MB/s", false},
      {"a burst is smoothed and the time left waits", 100 * MiB, {{6, 500, MiB}, {1, 500, 3 * MiB}, {1, 500, MiB}},
       L"2.8 MB/s", false},
      {"nothing for 3.5 s", 100 * MiB, {{6, 500, MiB}, {7, 500, 0}}, L"", true},
      {"nothing for 3 s is not yet a stall", 100 * MiB, {{6, 500, MiB}, {6, 500, 0}}, L"365 KB/s", false},
      {"bytes again after a stall", 100 * MiB, {{6, 500, MiB}, {8, 500, 0}, {1, 500, MiB}}, L"666 KB/s", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DownloadMeter meter;
    std::uint32_t now = 0xFFFFF000u;  // the tick wraps during the run
    std::uint64_t bytes = 10 * MiB;
    meter.Update(now, bytes, c.total);
    for (const Steps& run : c.runs) {
      for (int i = 0; i < run.steps; ++i) {
        now += run.stepMs;
        bytes += run.bytesPerStep;
        meter.Update(now, bytes, c.total);
      }
    }
    EXPECT_EQ(meter.Text(), c.text);
    EXPECT_EQ(meter.Stalled(), c.stalled);
  }
}

TEST(DownloadMeter, AsksForARedrawAtMostTwiceASecondAndAtOnceWhenAStallBeginsOrEnds) {
  DownloadMeter meter;
  std::uint32_t now = 1000;
  std::uint64_t bytes = 0;
  meter.Update(now, bytes, 0);
  std::vector<std::uint32_t> redraws;
  for (int i = 0; i < 20; ++i) {
    now += 100;
    bytes += 100000;
    if (meter.Update(now, bytes, 0)) redraws.push_back(now);
  }
  EXPECT_EQ(redraws, (std::vector<std::uint32_t>{1100, 1600, 2100, 2600}));
  meter.Update(now + 3000, bytes, 0);
  EXPECT_TRUE(meter.Update(now + 3100, bytes, 0)) << "the stall begins";
  EXPECT_TRUE(meter.Update(now + 3200, bytes + 1, 0)) << "the stall ends";
}

}  // namespace
