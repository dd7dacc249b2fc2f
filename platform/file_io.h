// Reading an archive and writing the files extracted from it, with Windows file attributes and
// file times; and the downloaded file that is written, renamed and handed on to its reader
// without ever being closed in between.
//
// Paths are Windows-shaped wide strings as in fs.h ("\\" and "/" both separate directory levels
// natively, where each "\\" becomes "/").
//
// Windows: the archive is opened with CreateFileW for reading, shared for reading only; output
// files are created with CREATE_ALWAYS and the item's attributes; times go through SetFileTime;
// the downloaded file is opened for reading, writing and deleting, shared for reading only, and
// renamed with SetFileInformationByHandle (FileRenameInfo).
// POSIX has no hidden, system or archive bit and no settable creation time, so natively:
//   - read-only is the absence of every write bit (files 0444, else 0666; the umask applies),
//     hidden, system and archive are dropped;
//   - the access and write times are set with futimens (utimensat on the open descriptor), the
//     creation time is dropped;
//   - a directory is never given attributes.
// Nothing here throws or prints; failures are the documented result values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/owned.h"

namespace platform {

// Windows file attributes, with their Win32 values.
enum FileAttribute : std::uint32_t {
  kFileReadOnly = 0x1,
  kFileHidden = 0x2,
  kFileSystem = 0x4,
  kFileDirectory = 0x10,
  kFileArchive = 0x20,
};

// 100-nanosecond intervals since 1601-01-01 UTC, as a Windows FILETIME. 0 stands for "no time".
using FileTime = std::uint64_t;

// The seconds between 1601-01-01 and 1970-01-01, both UTC.
constexpr std::int64_t kFileTimeUnixEpochSeconds = 11644473600;

// The process's current directory, without a trailing separator (except for a root).
std::wstring CurrentDirectory();

// A calendar time on the local clock (month 1..12, day 1..31, second 0..59) as a UTC file time;
// 0 when the fields do not name a valid time.
FileTime LocalTimeToFileTime(int year, int month, int day, int hour, int minute, int second);

enum class SeekOrigin { kBegin, kCurrent, kEnd };

// An open file of the system: a HANDLE on Windows (INVALID_HANDLE_VALUE when none), a descriptor
// elsewhere, widened to intptr_t.
struct FileTraits {
  using Handle = std::intptr_t;
  static Handle Invalid() { return -1; }
  static void Close(Handle h);  // CloseHandle or close; the result is not looked at
};

// A file opened for reading that others may read but not write while it is open (natively there
// is no such lock; the file is merely opened for reading). Closed by Close or the destructor.
class SharedReadFile {
 public:
  // Opens an existing file; false when it does not exist or cannot be opened.
  [[nodiscard]] bool Open(const std::wstring& path) noexcept;
  [[nodiscard]] bool IsOpen() const noexcept { return file_.valid(); }
  // Reads up to size bytes at the current position: the count read (0 at the end), -1 on error.
  [[nodiscard]] std::int64_t Read(void* buffer, std::size_t size) noexcept;
  // Reads up to size bytes from offset without a separate seek: the count read (0 at the end), -1
  // on error. Where the position stands afterwards is not defined.
  [[nodiscard]] std::int64_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) noexcept;
  // Moves the position: the new position from the start, or -1 when the system refuses (a
  // negative position, for instance).
  [[nodiscard]] std::int64_t Seek(std::int64_t offset, SeekOrigin origin) noexcept;
  void Close() noexcept { file_.reset(); }

 private:
  friend class HeldFile;
  Owned<FileTraits> file_;
};

// A file that a download writes and then hands on, open, to whoever reads it next, so that no
// moment passes between the last byte written (and hashed) and its reader in which another
// process could change it. Open for reading and writing; others may read it but never write,
// rename or delete it while it is open (Windows: shared for reading only, with the right to
// delete, so that it can be renamed through its own handle; natively there is no such lock: a
// descriptor, renamed by its path). Open, Read, Write and RenameTo go through the fault seam.
class HeldFile {
 public:
  // Opens an existing file (as "r+b"), or with `create` makes it anew, empty (as "w+b"). False
  // when it cannot be opened.
  [[nodiscard]] bool Open(const std::wstring& path, bool create) noexcept;
  [[nodiscard]] bool IsOpen() const noexcept { return file_.valid(); }
  // Up to size bytes at the position: the count read (less only at the end), -1 on an error.
  [[nodiscard]] std::int64_t Read(void* buffer, std::size_t size) noexcept;
  // All bytes at the position, or false. Nothing is buffered here: what is written is the
  // system's at once.
  [[nodiscard]] bool Write(const void* data, std::size_t size) noexcept;
  // Moves to `offset` bytes from the start; false when refused.
  [[nodiscard]] bool Seek(std::int64_t offset) noexcept;
  // Gives the open file the name `path`, replacing a file of that name; false when nothing was
  // renamed.
  [[nodiscard]] bool RenameTo(const std::wstring& path) noexcept;
  // Hands the open file to `reader` (for reading only from then on; its position is the start)
  // and is left closed. Whatever `reader` held is closed first.
  void HandTo(SharedReadFile& reader) noexcept;
  // False when the system reported an error closing it.
  bool Close() noexcept;

 private:
  Owned<FileTraits> file_;
  std::wstring path_;  // its name now (the descriptor is renamed by name natively)
};

// A file written from scratch. Closed by Close or the destructor.
class OutputFile {
 public:
  // Creates the file anew for writing, not shared, replacing an existing file, with the given
  // attributes (kFileDirectory is ignored). False when it cannot be created; an existing
  // read-only file is not replaced (see PrepareToReplace).
  [[nodiscard]] bool Create(const std::wstring& path, std::uint32_t attributes) noexcept;
  // Writes all bytes; false when not all of them were written.
  [[nodiscard]] bool Write(const void* data, std::size_t size) noexcept;
  // Sets the three times; a time of 0 leaves that time as it is. False when the system refuses.
  bool SetTimes(FileTime creation, FileTime access, FileTime write) noexcept;
  void Close() noexcept { file_.reset(); }

 private:
  Owned<FileTraits> file_;
};

// Lets an existing file at path be replaced: clears its read-only, hidden and system attributes
// (natively: adds the owner's write bit). False when there is no such file or it stays unchanged.
bool PrepareToReplace(const std::wstring& path) noexcept;

}  // namespace platform
