// The archive file as minizip sees it: a SharedReadFile behind minizip's I/O callbacks, with
// small read-ahead buffers, because minizip reads headers a few bytes at a time. There are two:
// reading an item alternates between its central-directory entry at the end of the archive and
// its local header in front, and each keeps its own window.
//
// The file is either opened here (Open) or borrowed from the caller (Attach), who keeps it open
// for as long as the stream reads it. minizip's open and close callbacks neither open nor close
// anything: the "file name" it is given is this object, and the file's owner closes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <ioapi.h>

#include "platform/file_io.h"

class CArchiveStream {
 public:
  CArchiveStream();

  [[nodiscard]] bool Open(const std::wstring& path) noexcept;
  // Reads an open file from its start; the file is not closed here.
  void Attach(platform::SharedReadFile& file) noexcept;
  // Closes an opened file, forgets a borrowed one.
  void Close() noexcept;

  // Reads up to size bytes at the current position; the count read, -1 on error.
  std::int64_t Read(void* buffer, std::size_t size) noexcept;
  // The new position, or -1 when it would be negative or the file cannot be sized.
  std::int64_t Seek(std::int64_t offset, platform::SeekOrigin origin) noexcept;
  std::int64_t Tell() const noexcept { return position_; }
  bool Failed() const noexcept { return failed_; }
  bool IsOpen() const noexcept { return file_ != nullptr && file_->IsOpen(); }

  // The callbacks for unzOpen2_64, to be called with this object as the path.
  static zlib_filefunc64_def Functions();

 private:
  static constexpr std::size_t kBufferSize = 16384;

  struct Window {
    std::unique_ptr<unsigned char[]> data;
    std::int64_t start = 0;   // file offset of data[0]
    std::size_t length = 0;   // valid bytes in data
  };

  platform::SharedReadFile owned_;
  platform::SharedReadFile* file_ = nullptr;  // owned_ or the caller's
  Window windows_[2];
  std::size_t lastUsed_ = 0;       // the window that served the latest read; the other is refilled
  std::int64_t position_ = 0;      // where the next read starts
  bool failed_ = false;

  std::int64_t ReadFromFile(void* buffer, std::size_t size) noexcept;
};
