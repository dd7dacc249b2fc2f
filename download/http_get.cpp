// The engine object's life, its result code and the small helpers its workers share.
#include "download/http_get.h"

#include "platform/clock.h"

void CStopEvent::Set() {
  {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_bSet.store(true);
  }
  m_changed.notify_all();
}

bool CStopEvent::Wait(std::uint32_t milliseconds) {
  std::unique_lock<std::mutex> hold(m_mutex);
  return m_changed.wait_for(hold, std::chrono::milliseconds(milliseconds), [this] { return m_bSet.load(); });
}

void SpeedMeter::Add(std::uint32_t n) { AddAt(n, platform::TickCount()); }

void SpeedMeter::AddAt(std::uint32_t n, std::uint32_t now) {
  if (m_uGrandTotal == 0) m_dwWindowStart = now;
  const std::uint32_t elapsed = now - m_dwWindowStart;
  m_uGrandTotal += n;
  m_dwWindowBytes += n;
  if (elapsed >= kWindowMs) {
    m_dwCurrentRate = m_dwWindowBytes / (elapsed / 1000);
    m_dwWindowBytes = 0;
    m_dwWindowStart = now;
  }
}

std::uint32_t SpeedMeter::CurrentRate() {
  Add(0);
  return m_dwCurrentRate;
}

CHttpGet::CHttpGet(IDownloadCallBack* callback, int allowSegments, int cookie, int replaceExisting)
    : m_pCallback(callback), m_bAllowSegments(allowSegments), m_nCookie(cookie), m_bReplaceExisting(replaceExisting) {}

CHttpGet::~CHttpGet() = default;

int CHttpGet::Result() {
  std::lock_guard<std::recursive_mutex> hold(m_StatusLock.m_cs);
  return m_nResult;
}

void CHttpGet::SetResult(int code) {
  std::lock_guard<std::recursive_mutex> hold(m_StatusLock.m_cs);
  m_nResult = code;
}
