// The threads that write extracted files while the extraction driver reads and inflates the next
// items: creating, writing, timing and closing a file costs more than inflating it (on Windows an
// antivirus scans each file as it is closed), and several files can be in that state at once.
//
// The driver submits files in archive order. The pool keeps what the order means on disk:
//   - files that may be the same file (same path, case and separators aside) are written in the
//     order submitted: a file waits until an earlier one of that name is written;
//   - the driver creates directories itself, after WaitForDirectory, so that no file being written
//     holds the place of a directory it needs;
//   - at most kWaitingBudget bytes of inflated data and kMaxWaiting files wait at a time: Submit
//     blocks until the new file fits (with the item being inflated and its compressed bytes, at
//     most 8 MiB each, an extraction stays below 48 MiB);
//   - the failure of the file earliest in archive order is the one kept; files after it are not
//     written any more.
// With no threads every file is written inside Submit, on the driver's thread.
//
// The pool owns its threads and joins them in its destructor; Submit, WaitForDirectory, Finish
// and Abandon are called from the driver's thread only.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "unzip/zip_reader.h"

namespace unzip {

// One file to write: its full path, the item it comes from and the item's data.
struct FileJob {
  std::wstring path;
  ZipItemInfo item;
  ZipItemBytes bytes;
};

// The failure of the earliest item that failed to be written.
struct WriteFailure {
  int index = -1;  // -1: none
  ZipResult result = ZIP_OK;
  std::wstring name;
};

class CFileWriters {
 public:
  static constexpr std::size_t kWaitingBudget = 24u << 20;
  static constexpr std::size_t kMaxWaiting = 64;
  static constexpr unsigned kMaxThreads = 4;

  // threads: 0 writes on the caller's thread; more are capped at kMaxThreads.
  explicit CFileWriters(unsigned threads);
  ~CFileWriters();
  CFileWriters(const CFileWriters&) = delete;
  CFileWriters& operator=(const CFileWriters&) = delete;

  // Queues the file (or writes it at once without threads).
  void Submit(FileJob job);
  // Waits until no file is waiting or being written whose path may be directory or a level above.
  void WaitForDirectory(const std::wstring& directory);
  // Waits until every submitted file is written or skipped.
  void Finish();
  // Drops the files not yet started, then waits for those being written.
  void Abandon();
  // The earliest failure so far (index -1: none).
  WriteFailure Failure() const;

 private:
  struct Pending {
    std::wstring path;
    std::size_t bytes;
    int index;
  };

  void Run() noexcept;
  void Write(FileJob& job) noexcept;
  // Called with mutex_ held: whether a waiting or running file may be written at path.
  bool Busy(const std::wstring& path) const;

  mutable std::mutex mutex_;
  std::condition_variable workAvailable_;  // writers wait for jobs
  std::condition_variable jobDone_;        // the driver waits for room, names and the end
  std::deque<FileJob> queue_;
  std::vector<Pending> pending_;  // queued and running files
  std::size_t pendingBytes_ = 0;
  WriteFailure failure_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// True when a and b may name the same file on Windows: equal with "\\" and "/" alike, ASCII
// letters compared without case, and any character beyond ASCII taken to match any letter or
// other such character (the file system folds cases this code does not know).
bool MayBeSameFile(const std::wstring& a, const std::wstring& b);

}  // namespace unzip
