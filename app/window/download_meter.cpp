#include "app/window/download_meter.h"

#include <cmath>
#include <cwchar>

namespace {

// Rates are measured over at least this long, so one burst does not read as a speed.
constexpr std::uint32_t kMinSampleMs = 200;
// The smoothing's time constant: a new speed counts about two thirds after this long.
constexpr double kSmoothingMs = 1500.0;

}  // namespace

bool DownloadMeter::Update(std::uint32_t nowMs, std::uint64_t downloaded, std::uint64_t total) {
  nowMs_ = nowMs;
  sizeKnown_ = total > 0;
  remaining_ = total > downloaded ? total - downloaded : 0;
  if (!started_) {
    started_ = true;
    lastSampleMs_ = lastArrivalMs_ = steadySinceMs_ = nowMs;
    lastBytes_ = downloaded;
    return false;
  }
  if (downloaded > lastBytes_) lastArrivalMs_ = nowMs;
  const bool wasStalled = stalled_;
  stalled_ = nowMs - lastArrivalMs_ > kStallMs;

  const std::uint32_t elapsed = nowMs - lastSampleMs_;
  if (elapsed >= kMinSampleMs) {
    const double bytes = downloaded > lastBytes_ ? static_cast<double>(downloaded - lastBytes_) : 0.0;
    const double measured = bytes * 1000.0 / elapsed;
    const double weight = elapsed / (elapsed + kSmoothingMs);
    rate_ = rate_ == 0 ? measured : rate_ + (measured - rate_) * weight;
    lastSampleMs_ = nowMs;
    lastBytes_ = downloaded;
    if (stalled_ || steadyRate_ == 0 || std::fabs(rate_ - steadyRate_) > steadyRate_ / 4) {
      steadyRate_ = stalled_ ? 0 : rate_;
      steadySinceMs_ = nowMs;
    }
  }
  if (stalled_ != wasStalled || !refreshed_ || nowMs - lastRefreshMs_ >= kRefreshMs) {
    refreshed_ = true;
    lastRefreshMs_ = nowMs;
    return true;
  }
  return false;
}

std::wstring DownloadMeter::Text() const {
  if (stalled_ || rate_ < 1.0) return std::wstring();
  std::wstring text = FormatRate(rate_);
  if (sizeKnown_ && steadyRate_ > 0 && nowMs_ - steadySinceMs_ >= kSteadyMs)
    text += L" · " + FormatTimeLeft(static_cast<std::uint64_t>(std::ceil(remaining_ / rate_)));
  return text;
}

std::wstring DownloadMeter::FormatRate(double bytesPerSecond) {
  wchar_t text[32] = {};
  if (bytesPerSecond >= 1024.0 * 1024.0)
    swprintf(text, 32, L"%.1f MB/s", bytesPerSecond / (1024.0 * 1024.0));
  else
    swprintf(text, 32, L"%.0f KB/s", std::ceil(bytesPerSecond / 1024.0));
  return text;
}

std::wstring DownloadMeter::FormatTimeLeft(std::uint64_t seconds) {
  wchar_t text[48] = {};
  const unsigned long long hours = seconds / 3600, minutes = seconds % 3600 / 60, rest = seconds % 60;
  if (hours > 0)
    swprintf(text, 48, L"剩余 %llu 小时 %llu 分", hours, minutes);
  else if (minutes > 0)
    swprintf(text, 48, L"剩余 %llu 分 %llu 秒", minutes, rest);
  else
    swprintf(text, 48, L"剩余 %llu 秒", rest);
  return text;
}
