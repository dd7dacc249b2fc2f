// Part files and the target: an existence test, an open that continues an existing file or
// creates a new one, and a size query. Holds no open file; returned streams belong to the caller.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class CFileWrapper {
 public:
  virtual ~CFileWrapper() = default;

  // True when the path exists and is not a directory.
  bool IsFile(const std::wstring& path) const;
  // A read-write stream positioned at the start: an existing file keeps its contents ("r+b"),
  // otherwise the file is created ("w+b"). nullptr when neither works (e.g. a directory).
  std::FILE* OpenForUpdate(const std::wstring& path) const;
  // Size in bytes; 0 for a missing path or a directory. Sizes beyond 32 bits read as the
  // largest 32-bit value rather than wrapping into a small one.
  std::uint32_t GetFileSize32(const std::wstring& path) const;
};
