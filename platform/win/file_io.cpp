#include "platform/file_io.h"

#include <windows.h>

#include <cstddef>
#include <utility>
#include <vector>

#include "platform/fault.h"

namespace platform {
namespace {

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
HANDLE AsHandle(const Owned<FileTraits>& file) { return AsHandle(file.get()); }

FILETIME ToFiletime(FileTime time) {
  FILETIME out;
  out.dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
  out.dwHighDateTime = static_cast<DWORD>(time >> 32);
  return out;
}

// Reads until `size` bytes or the end of the file: from the file's position when `offset` is
// negative, else from `offset` (which a handle opened for synchronous reading takes from OVERLAPPED).
std::int64_t ReadFully(HANDLE file, void* buffer, std::size_t size, std::int64_t offset) {
  std::int64_t total = 0;
  auto* out = static_cast<unsigned char*>(buffer);
  while (size > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset + total) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset + total) >> 32);
    DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(file, out, chunk, &got, offset < 0 ? nullptr : &at))
      return offset >= 0 && GetLastError() == ERROR_HANDLE_EOF ? total : -1;
    if (got == 0) break;
    total += got;
    out += got;
    size -= got;
  }
  return total;
}

// Writes all `size` bytes at the file's position.
bool WriteFully(HANDLE file, const void* data, std::size_t size) {
  auto* in = static_cast<const unsigned char*>(data);
  while (size > 0) {
    DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, in, chunk, &written, nullptr) || written == 0) return false;
    in += written;
    size -= written;
  }
  return true;
}

}  // namespace

void FileTraits::Close(Handle h) { CloseHandle(AsHandle(h)); }

std::wstring CurrentDirectory() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return {};
  std::wstring directory(size, L'\0');
  DWORD length = GetCurrentDirectoryW(size, directory.data());
  directory.resize(length < size ? length : 0);
  return directory;
}

FileTime LocalTimeToFileTime(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME calendar{};
  calendar.wYear = static_cast<WORD>(year);
  calendar.wMonth = static_cast<WORD>(month);
  calendar.wDay = static_cast<WORD>(day);
  calendar.wHour = static_cast<WORD>(hour);
  calendar.wMinute = static_cast<WORD>(minute);
  calendar.wSecond = static_cast<WORD>(second);
  FILETIME local, utc;
  if (!SystemTimeToFileTime(&calendar, &local) || !LocalFileTimeToFileTime(&local, &utc)) return 0;
  return (static_cast<FileTime>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
}

bool SharedReadFile::Open(const std::wstring& path) noexcept {
  Close();
  if (FaultHere(FaultPoint::kOpen)) return false;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  file_.reset(reinterpret_cast<std::intptr_t>(file));
  return true;
}

std::int64_t SharedReadFile::Read(void* buffer, std::size_t size) noexcept {
  if (!IsOpen() || FaultHere(FaultPoint::kRead)) return -1;
  return ReadFully(AsHandle(file_), buffer, size, -1);
}

std::int64_t SharedReadFile::ReadAt(std::int64_t offset, void* buffer, std::size_t size) noexcept {
  if (!IsOpen() || offset < 0 || FaultHere(FaultPoint::kRead)) return -1;
  return ReadFully(AsHandle(file_), buffer, size, offset);
}

std::int64_t SharedReadFile::Seek(std::int64_t offset, SeekOrigin origin) noexcept {
  if (!IsOpen()) return -1;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  DWORD method = origin == SeekOrigin::kBegin ? FILE_BEGIN : origin == SeekOrigin::kCurrent ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER position;
  if (!SetFilePointerEx(AsHandle(file_), distance, &position, method)) return -1;
  return position.QuadPart;
}

bool HeldFile::Open(const std::wstring& path, bool create) noexcept {
  (void)Close();
  if (FaultHere(FaultPoint::kOpen)) return false;
  // DELETE lets the file be renamed through this handle; sharing for reading only keeps every
  // other writer, renamer and deleter out while it is open.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                            create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  file_.reset(reinterpret_cast<std::intptr_t>(file));
  path_ = path;
  return true;
}

std::int64_t HeldFile::Read(void* buffer, std::size_t size) noexcept {
  if (!IsOpen() || FaultHere(FaultPoint::kRead)) return -1;
  return ReadFully(AsHandle(file_), buffer, size, -1);
}

bool HeldFile::Write(const void* data, std::size_t size) noexcept {
  if (!IsOpen() || FaultHere(FaultPoint::kWrite)) return false;
  return WriteFully(AsHandle(file_), data, size);
}

bool HeldFile::Seek(std::int64_t offset) noexcept {
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  return IsOpen() && offset >= 0 && SetFilePointerEx(AsHandle(file_), distance, nullptr, FILE_BEGIN);
}

bool HeldFile::RenameTo(const std::wstring& path) noexcept {
  if (!IsOpen() || FaultHere(FaultPoint::kRename)) return false;
  // FILE_RENAME_INFO ends in the new name; the buffer holds both, suitably aligned.
  const std::size_t bytes = offsetof(FILE_RENAME_INFO, FileName) + (path.size() + 1) * sizeof(wchar_t);
  std::vector<std::uint64_t> buffer((bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t), 0);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(path.size() * sizeof(wchar_t));
  path.copy(info->FileName, path.size());
  if (!SetFileInformationByHandle(AsHandle(file_), FileRenameInfo, info, static_cast<DWORD>(bytes))) return false;
  path_ = path;
  return true;
}

void HeldFile::HandTo(SharedReadFile& reader) noexcept {
  reader.Close();
  if (!IsOpen()) return;
  LARGE_INTEGER start{};
  (void)SetFilePointerEx(AsHandle(file_), start, nullptr, FILE_BEGIN);
  reader.file_ = std::move(file_);
}

bool HeldFile::Close() noexcept {
  if (!IsOpen()) return true;
  return CloseHandle(AsHandle(file_.release())) != FALSE;
}

bool OutputFile::Create(const std::wstring& path, std::uint32_t attributes) noexcept {
  Close();
  if (FaultHere(FaultPoint::kOpen)) return false;
  DWORD flags = attributes & (kFileReadOnly | kFileHidden | kFileSystem | kFileArchive);
  if (flags == 0) flags = FILE_ATTRIBUTE_NORMAL;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // An existing file that was overwritten is meant to take the new attributes, but not every
  // implementation of CreateFileW gives them (Wine keeps the old ones): set them again. Ignored
  // on failure: the contents are what matters.
  if (GetLastError() == ERROR_ALREADY_EXISTS) (void)SetFileAttributesW(path.c_str(), flags);
  file_.reset(reinterpret_cast<std::intptr_t>(file));
  return true;
}

bool OutputFile::Write(const void* data, std::size_t size) noexcept {
  if (!file_ || FaultHere(FaultPoint::kWrite)) return false;
  return WriteFully(AsHandle(file_), data, size);
}

bool OutputFile::SetTimes(FileTime creation, FileTime access, FileTime write) noexcept {
  if (!file_) return false;
  FILETIME c = ToFiletime(creation), a = ToFiletime(access), w = ToFiletime(write);
  return SetFileTime(AsHandle(file_), creation ? &c : nullptr, access ? &a : nullptr, write ? &w : nullptr) != FALSE;
}

bool PrepareToReplace(const std::wstring& path) noexcept {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  constexpr DWORD kBlocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if (!(attributes & kBlocking)) return false;
  DWORD cleared = attributes & ~kBlocking;
  return SetFileAttributesW(path.c_str(), cleared ? cleared : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

}  // namespace platform
