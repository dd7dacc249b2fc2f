#include "app/window/status_line.h"

#include <commctrl.h>

#include <cwchar>
#include <string>

#include "app/ids.h"
#include "app/window/taskbar.h"
#include "skin/repaint.h"

namespace {

const wchar_t kDownloadingStatus[] = L"正在下载文件:";
const wchar_t kRetryingStatus[] = L"网络连接中断，正在重试…";
const wchar_t kExtractingStatus[] = L"正在解压文件";

std::wstring FormatPercent(int percent) {
  wchar_t text[32] = {};
  swprintf(text, 32, L"%d%ls", percent, L"%");
  return text;
}

}  // namespace

void StatusLine::Create(PageLayout& layout) {
  window_ = layout.Window();
  text_ = layout.CreateChild(L"STATIC", kDownloadingStatus, WS_CHILD | WS_VISIBLE, IDC_PROGRESS_TEXT);
  downloadPercent_ = layout.CreateChild(L"STATIC", L"", WS_CHILD | WS_VISIBLE, IDC_DOWNLOAD_PERCENT);
  extractPercent_ = layout.CreateChild(L"STATIC", L"", WS_CHILD | WS_VISIBLE, IDC_EXTRACT_PERCENT);
  speed_ = layout.CreateChild(L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_RIGHT, IDC_DOWNLOAD_SPEED);
  // The progress bar's class is registered by the common controls library.
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);  // without it the bar is missing; nothing else depends on it
  bar_ = layout.CreateChild(PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, IDC_PROGRESS);
  SendMessageW(bar_, PBM_SETPOS, 0, 0);
  // The percentages lie over the status text's line, after its words.
  layout.Place(text_, {20, 300, 250, 317}, kOnProgress);
  layout.Place(downloadPercent_, {110, 300, 140, 317}, kOnDownloading);
  layout.Place(extractPercent_, {110, 300, 140, 317}, kOnExtracting);
  layout.Place(speed_, {300, 300, 560, 317}, kOnDownloading);
  layout.Place(bar_, {20, 335, 560, 345}, kOnProgress);
}

void StatusLine::ApplyFonts(const WindowFonts& fonts) {
  for (HWND label : {text_, downloadPercent_, extractPercent_, speed_}) SetFont(label, fonts.label);
}

void StatusLine::SetBar(int percent) const {
  SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  Taskbar().SetValue(window_, static_cast<std::uint64_t>(percent), 100);
}

void StatusLine::StartDownload() {
  Taskbar().SetState(window_, ITaskbarProgress::State::kNormal);
  Taskbar().SetValue(window_, 0, 100);
  SetTimer(window_, kTimerId, kTimerMs, nullptr);  // without it a stall shows only once reported
}

void StatusLine::ShowDownloadPercent(int percent) {
  SetBar(percent);
  if (!stalled_) skin::SetLabelText(downloadPercent_, FormatPercent(percent).c_str());
}

void StatusLine::ShowDownloadStatus(std::uint32_t nowMs, std::uint64_t downloaded, std::uint64_t total,
                                    bool stalled) {
  downloaded_ = downloaded;
  total_ = total;
  const bool redraw = meter_.Update(nowMs, downloaded, total);
  const bool nowStalled = stalled || meter_.Stalled();
  if (nowStalled != stalled_) {
    stalled_ = nowStalled;
    skin::SetLabelText(text_, nowStalled ? kRetryingStatus : kDownloadingStatus);
    ShowWindow(downloadPercent_, nowStalled || view_ != kViewDownloading ? SW_HIDE : SW_SHOW);
    if (!nowStalled) {
      const LRESULT percent = SendMessageW(bar_, PBM_GETPOS, 0, 0);
      skin::SetLabelText(downloadPercent_, FormatPercent(static_cast<int>(percent)).c_str());
    }
  } else if (!redraw) {
    return;
  }
  skin::SetLabelText(speed_, nowStalled ? L"" : meter_.Text().c_str());
}

void StatusLine::OnTimer(std::uint32_t nowMs) {
  if (view_ != kViewDownloading) {
    KillTimer(window_, kTimerId);
    return;
  }
  // Silence counts only once bytes have been reported: before that the job may still be stopping
  // the running suite, which is no network trouble.
  if (downloaded_ > 0) ShowDownloadStatus(nowMs, downloaded_, total_, false);
}

void StatusLine::StartExtraction() {
  KillTimer(window_, kTimerId);
  skin::SetLabelText(text_, kExtractingStatus);
  skin::SetLabelText(extractPercent_, L"0%");
  SetBar(0);
}

void StatusLine::ShowExtractProgress(std::uint32_t index, std::int32_t count) {
  if (count <= 0) return;  // no entries: no percentage to show
  const int percent = static_cast<int>(static_cast<double>(index) * 100.0 / static_cast<double>(count));
  if (percent == lastExtractPercent_) return;
  SetBar(percent);
  skin::SetLabelText(extractPercent_, FormatPercent(percent).c_str());
  lastExtractPercent_ = percent;
}

void StatusLine::Finish() {
  SendMessageW(bar_, PBM_SETPOS, 100, 0);
  Taskbar().SetState(window_, ITaskbarProgress::State::kNone);
}

int StatusLine::WithErrorShown(const std::function<int()>& ask) {
  KillTimer(window_, kTimerId);
  Taskbar().SetState(window_, ITaskbarProgress::State::kError);
  const int answer = ask();
  Taskbar().SetState(window_, ITaskbarProgress::State::kNone);
  return answer;
}
