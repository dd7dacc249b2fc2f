#include "platform/fs.h"

#include <windows.h>

#include <share.h>

#include "platform/fault.h"

namespace platform {

std::string NativePath(const std::wstring&) { return {}; }

std::FILE* OpenFile(const std::wstring& path, const char* mode) {
  std::wstring wideMode(mode, mode + strlen(mode));
  return _wfopen(path.c_str(), wideMode.c_str());
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::int64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
  return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool RemoveFile(const std::wstring& path) {
  if (FaultHere(FaultPoint::kRemove)) return false;
  return DeleteFileW(path.c_str()) != FALSE;
}

bool RenameFile(const std::wstring& from, const std::wstring& to) {
  if (FaultHere(FaultPoint::kRename)) return false;
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool UniqueFile::Open(const std::wstring& path, const char* mode) noexcept {
  (void)Close();
  if (FaultHere(FaultPoint::kOpen)) return false;
  const std::wstring wideMode(mode, mode + strlen(mode));
  // Others may read while the run holds the file, never change or delete it.
  file_.reset(_wfsopen(path.c_str(), wideMode.c_str(), _SH_DENYWR));
  return IsOpen();
}

bool UniqueFile::Seek(std::int64_t offset) noexcept { return file_ && _fseeki64(file_.get(), offset, SEEK_SET) == 0; }

std::size_t PathRootLength(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
      ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')))
    return 3;
  if (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\') {
    // \\server\share\: the root ends after the share's name.
    const std::size_t server = path.find(L'\\', 2);
    if (server == std::wstring::npos || server == 2) return 0;
    const std::size_t share = path.find(L'\\', server + 1);
    if (share == server + 1) return 0;
    return share == std::wstring::npos ? path.size() : share + 1;
  }
  return 0;
}

bool CreateDirectoryLevel(const std::wstring& path) { return CreateDirectoryW(path.c_str(), nullptr) != FALSE; }

}  // namespace platform
