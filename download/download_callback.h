// How the download engine reports: IDownloadCallBack, and the installer's implementation that
// turns progress into a message for the installer window.
#pragma once

#include <cstdint>
#include <string>

#include "platform/shell.h"

class IDownloadCallBack {
 public:
  // After every received block, on a segment worker thread, with the engine's progress lock
  // held: keep it short and never wait for another worker. 1 stops all workers, 2 stops them and
  // deletes their part files, anything else goes on.
  virtual int OnProgress(std::uint32_t total, int percent, std::uint32_t kibPerSecond, int cookie) = 0;
  // Once, on the caller's thread, before the size probe: the full path of the target.
  virtual void OnSavePath(const std::wstring& target, int cookie) = 0;
  // After each connection of a segment worker, only when cookie is not 0.
  virtual void OnServerAddress(const std::wstring& address, int cookie) = 0;

 protected:
  // Owned and destroyed by whoever made the implementation, never through this interface.
  ~IDownloadCallBack() = default;
};

// Posts the percent to the installer window, at most once per 500 ms and only when it changed.
// It never asks the engine to stop.
class CDriverDownloadCallBack final : public IDownloadCallBack {
 public:
  // The installer window's message for download progress: wParam = percent, lParam = 0.
  static constexpr unsigned WM_DOWNLOAD_PROGRESS = 10010;

  using ClockFunction = std::uint32_t (*)();

  CDriverDownloadCallBack();
  virtual ~CDriverDownloadCallBack() = default;

  void SetWindow(platform::WindowHandle window) { m_hWindow = window; }

  int OnProgress(std::uint32_t total, int percent, std::uint32_t kibPerSecond, int cookie) override;
  void OnSavePath(const std::wstring&, int) override {}
  void OnServerAddress(const std::wstring&, int) override {}

  // Milliseconds for the throttle; tests substitute their own clock.
  ClockFunction m_pfnNow;

 private:
  platform::WindowHandle m_hWindow = nullptr;
  std::uint32_t m_dwLastPostTime = 0;
  int m_nLastPercent = 0;
};
