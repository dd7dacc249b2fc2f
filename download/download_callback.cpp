#include "download/download_callback.h"

#include "platform/clock.h"

CDriverDownloadCallBack::CDriverDownloadCallBack() : m_pfnNow(&platform::TickCount) {}

int CDriverDownloadCallBack::OnProgress(std::uint32_t, int percent, std::uint32_t, int) {
  // The engine calls this under its progress lock, one worker at a time, so the throttle fields
  // need no lock of their own.
  const std::uint32_t now = m_pfnNow();
  if (m_dwLastPostTime != 0 && now - m_dwLastPostTime <= 500) return 0;
  m_dwLastPostTime = now;
  if (m_hWindow && percent != m_nLastPercent) {
    m_nLastPercent = percent;
    // A full queue loses one percent step; the next report brings the window up to date.
    (void)platform::Shell().Post(m_hWindow, WM_DOWNLOAD_PROGRESS, static_cast<std::uintptr_t>(percent), 0);
  }
  return 0;
}
