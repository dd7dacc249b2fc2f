// DownloadMeter: the download page's speed and time left, "2.4 MB/s · 剩余 12 秒".
//
// Fed with how many bytes are in at what time (a millisecond tick that may wrap), it keeps a
// smoothed rate, tells when the text should be redrawn (at most twice a second), shows the time
// left only once the rate has been steady for 2 s, and knows when no bytes have arrived for more
// than 3 s (the download is stalled and the engine is retrying). Window thread only.
#pragma once

#include <cstdint>
#include <string>

class DownloadMeter {
 public:
  // No bytes for longer than this is a stall.
  static constexpr std::uint32_t kStallMs = 3000;
  // The text changes at most this often.
  static constexpr std::uint32_t kRefreshMs = 500;
  // The rate must have stayed within a quarter of itself this long before the time left shows.
  static constexpr std::uint32_t kSteadyMs = 2000;

  // Records that `downloaded` of `total` bytes (0: size unknown) are in at `nowMs`; also called
  // with the last numbers when nothing new came, so that a stall is seen. Returns true when the
  // text should be redrawn now.
  bool Update(std::uint32_t nowMs, std::uint64_t downloaded, std::uint64_t total);

  // No new bytes for more than kStallMs at the last update.
  [[nodiscard]] bool Stalled() const { return stalled_; }
  // The smoothed rate in bytes per second, 0 before the first measurement.
  [[nodiscard]] double Rate() const { return rate_; }
  // "2.4 MB/s", with " · 剩余 12 秒" once the rate is steady and the size known; empty while
  // stalled or before there is a rate.
  [[nodiscard]] std::wstring Text() const;

  // "850 KB/s", "2.4 MB/s".
  static std::wstring FormatRate(double bytesPerSecond);
  // "剩余 12 秒", "剩余 3 分 20 秒", "剩余 1 小时 5 分".
  static std::wstring FormatTimeLeft(std::uint64_t seconds);

 private:
  bool started_ = false;
  std::uint32_t lastSampleMs_ = 0;
  std::uint64_t lastBytes_ = 0;
  std::uint32_t lastArrivalMs_ = 0;
  std::uint32_t lastRefreshMs_ = 0;
  bool refreshed_ = false;
  double rate_ = 0;
  double steadyRate_ = 0;
  std::uint32_t steadySinceMs_ = 0;
  std::uint32_t nowMs_ = 0;
  std::uint64_t remaining_ = 0;
  bool sizeKnown_ = false;
  bool stalled_ = false;
};
