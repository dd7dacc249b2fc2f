// How the download engine reports to whoever runs it: IDownloadCallBack. The installer implements
// it to show progress in its window; the engine itself knows no window.
#pragma once

#include <cstdint>
#include <string>

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
  // Once the size is known, before any part file is made: false ends the download with
  // DL_STOPPED (e.g. no room for it) and nothing written.
  virtual bool OnSizeKnown(std::uint64_t /*total*/, int /*cookie*/) { return true; }

 protected:
  // Owned and destroyed by whoever made the implementation, never through this interface.
  ~IDownloadCallBack() = default;
};
