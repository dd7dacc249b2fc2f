#include "platform/fs.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/fault.h"
#include "platform/text.h"

namespace platform {

std::string NativePath(const std::wstring& path) {
  std::string native = ToUtf8(path);
  for (char& c : native)
    if (c == '\\') c = '/';
  return native;
}

std::FILE* OpenFile(const std::wstring& path, const char* mode) {
  return std::fopen(NativePath(path).c_str(), mode);
}

bool PathExists(const std::wstring& path) {
  struct stat info {};
  return stat(NativePath(path).c_str(), &info) == 0;
}

bool IsDirectory(const std::wstring& path) {
  struct stat info {};
  return stat(NativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::int64_t FileSize(const std::wstring& path) {
  struct stat info {};
  if (stat(NativePath(path).c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return -1;
  return static_cast<std::int64_t>(info.st_size);
}

bool RemoveFile(const std::wstring& path) {
  const std::string native = NativePath(path);
  if (IsDirectory(path) || FaultHere(FaultPoint::kRemove)) return false;
  return unlink(native.c_str()) == 0;
}

bool RenameFile(const std::wstring& from, const std::wstring& to) {
  if (FaultHere(FaultPoint::kRename)) return false;
  return std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

bool UniqueFile::Open(const std::wstring& path, const char* mode) noexcept {
  (void)Close();
  if (FaultHere(FaultPoint::kOpen)) return false;
  file_.reset(std::fopen(NativePath(path).c_str(), mode));
  return IsOpen();
}

bool UniqueFile::Seek(std::int64_t offset) noexcept {
  return file_ && fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::size_t PathRootLength(const std::wstring& path) {
  return !path.empty() && (path[0] == L'\\' || path[0] == L'/') ? 1 : 0;
}

bool CreateDirectoryLevel(const std::wstring& path) { return mkdir(NativePath(path).c_str(), 0777) == 0; }

}  // namespace platform
