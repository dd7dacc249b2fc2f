// How the download engine reports to whoever runs it: IDownloadCallBack. The installer implements
// it to show progress in its window; the engine itself knows no window.
#pragma once

#include <cstdint>
#include <string>

// A snapshot of a running download for the window's status line.
struct DownloadStatus {
  std::uint64_t downloaded = 0;  // bytes of the file in part files so far
  std::uint64_t total = 0;       // the file's size; 0 while it is not known yet
  bool stalled = false;          // no byte has arrived for more than 3 s (the engine is retrying)
};

class IDownloadCallBack {
 public:
  // After every received block, on a segment worker thread, and about every 250 ms from the
  // engine's ticker thread while no block arrives (total and percent 0 while the size is not
  // known), so that a stop is possible during an outage too. Calls never overlap; the engine's
  // progress lock is held: keep it short and never wait for another worker. 1 stops all workers,
  // 2 stops them and deletes their part files, anything else goes on.
  virtual int OnProgress(std::uint32_t total, int percent, std::uint32_t kibPerSecond, int cookie) = 0;
  // Once, on the caller's thread, before the transfer: the full path of the target.
  virtual void OnSavePath(const std::wstring& target, int cookie) = 0;
  // After each connection of a segment worker, only when cookie is not 0.
  virtual void OnServerAddress(const std::wstring& address, int cookie) = 0;
  // About every 250 ms while the download runs (also while nothing arrives), from the engine's
  // ticker thread, never overlapping the other calls.
  virtual void OnStatus(const DownloadStatus&) {}
  // Once the size is known, before any part file is made: false ends the download with
  // DL_STOPPED (e.g. no room for it) and nothing written.
  virtual bool OnSizeKnown(std::uint64_t /*total*/, int /*cookie*/) { return true; }

 protected:
  // Owned and destroyed by whoever made the implementation, never through this interface.
  ~IDownloadCallBack() = default;
};
