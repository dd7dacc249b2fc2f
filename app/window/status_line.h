// The progress views' status line and bar: "正在下载文件: 45%" at the left with the speed and
// time left at the right, or the retry notice alone while nothing arrives; "正在解压文件 12%"
// during the extraction; the bar below, mirrored on the taskbar button.
//
// While the download view shows, a timer feeds the meter the last byte counts between reports,
// so that silence is seen as a stall even when the job reports nothing. Window thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "app/window/download_meter.h"
#include "app/window/page_layout.h"

class StatusLine {
 public:
  // The window's timer id for the silence check, and how often it looks.
  static constexpr UINT_PTR kTimerId = 1;
  static constexpr UINT kTimerMs = 500;

  // Makes and places the labels and the bar on the progress views.
  void Create(PageLayout& layout);
  void ApplyFonts(const WindowFonts& fonts);
  // The window shows `view` now.
  void OnViewShown(View view) { view_ = view; }

  // The download starts: an empty bar, the taskbar's normal state, the silence check running.
  void StartDownload();
  // Whole percent of the download.
  void ShowDownloadPercent(int percent);
  // The latest byte counts (`total` 0: size unknown) at `nowMs`, and whether the engine is
  // waiting out an outage.
  void ShowDownloadStatus(std::uint32_t nowMs, std::uint64_t downloaded, std::uint64_t total, bool stalled);
  // The silence check's timer fired at `nowMs`; it stops once the download view is gone.
  void OnTimer(std::uint32_t nowMs);
  // The extraction starts: the bar starts again and the text says so.
  void StartExtraction();
  // Entry `index` of `count` is about to be extracted; the display changes only with the whole
  // percent, so thousands of entries repaint it at most about 100 times.
  void ShowExtractProgress(std::uint32_t index, std::int32_t count);
  // The installation finished: a full bar, no taskbar progress.
  void Finish();
  // The installation failed: the silence check stops and the taskbar button shows the error
  // while `ask` (a box) runs; returns its answer.
  int WithErrorShown(const std::function<int()>& ask);

 private:
  void SetBar(int percent) const;

  HWND window_ = nullptr;
  HWND text_ = nullptr, downloadPercent_ = nullptr, extractPercent_ = nullptr, speed_ = nullptr, bar_ = nullptr;
  View view_ = kViewSetup;
  DownloadMeter meter_;
  std::uint64_t downloaded_ = 0;
  std::uint64_t total_ = 0;
  bool stalled_ = false;
  int lastExtractPercent_ = 0;
};
