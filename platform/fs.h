// Files and directories for the portable core.
//
// Paths are Windows-shaped wide strings: "\\" separates directory levels. On Windows they go to
// the wide-character calls unchanged. Natively each "\\" becomes "/" and the path is encoded as
// UTF-8, so the same code and the same literal paths work on both.
//
// Nothing here throws or prints; failures are the documented result values.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/owned.h"

namespace platform {

// The path as the native C library wants it (UTF-8 with "/" natively). Windows: unused.
std::string NativePath(const std::wstring& path);

// fopen with a wide path (_wfopen on Windows); nullptr on failure. The caller owns the stream.
std::FILE* OpenFile(const std::wstring& path, const char* mode);

bool PathExists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
// Size of a file in bytes; -1 when the path does not exist or names a directory.
std::int64_t FileSize(const std::wstring& path);
// Deletes a file (not a directory); false when it was not deleted. Goes through the fault seam.
bool RemoveFile(const std::wstring& path);
// Renames a file, replacing an existing `to`; false when nothing was renamed. Fault seam too.
bool RenameFile(const std::wstring& from, const std::wstring& to);
// Length of the path's root: "C:\\" or "\\\\server\\share\\" on Windows, the leading "\\" natively;
// 0 when the path has none (a relative path).
std::size_t PathRootLength(const std::wstring& path);
// Creates one directory level; false when it could not be created (also when it exists).
bool CreateDirectoryLevel(const std::wstring& path);
// Creates the directory and every missing level above it (an existing directory counts as made).
// False when the path has no root or its last level does not exist afterwards.
bool CreateDirectoryChain(const std::wstring& path);
// The directory with one "\\" at its end, added when it has none; an empty path stays empty (it
// names no directory).
std::wstring WithTrailingSeparator(std::wstring directory);

// Closes a C stream; UniqueFile::Close is the place that looks at fclose's result.
struct StreamTraits {
  using Handle = std::FILE*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { (void)std::fclose(h); }
};

// A C stream with one owner: closed by Close or the destructor, never by hand. Opened so that
// other processes may read the file but not change or delete it while it is open (Windows:
// _wfsopen with _SH_DENYWR; POSIX has no such lock, the file is simply opened). Open, Read and
// Write go through the fault seam (fault.h).
class UniqueFile {
 public:
  // fopen modes ("rb", "r+b", "wb", "w+b"); false when the file could not be opened.
  [[nodiscard]] bool Open(const std::wstring& path, const char* mode) noexcept;
  [[nodiscard]] bool IsOpen() const noexcept { return file_.valid(); }
  // Up to size bytes: the count read, 0 at the end, -1 on an error.
  [[nodiscard]] std::int64_t Read(void* buffer, std::size_t size) noexcept;
  // All bytes or false.
  [[nodiscard]] bool Write(const void* data, std::size_t size) noexcept;
  // Moves to `offset` bytes from the start (64-bit); false when refused.
  [[nodiscard]] bool Seek(std::int64_t offset) noexcept;
  [[nodiscard]] bool Flush() noexcept;
  // Closes the stream; false when its last buffered bytes could not be written.
  bool Close() noexcept;

 private:
  Owned<StreamTraits> file_;
};

}  // namespace platform
