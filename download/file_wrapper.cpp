#include "download/file_wrapper.h"

#include "platform/fs.h"

bool CFileWrapper::IsFile(const std::wstring& path) const {
  return platform::PathExists(path) && !platform::IsDirectory(path);
}

std::FILE* CFileWrapper::OpenForUpdate(const std::wstring& path) const {
  return platform::OpenFile(path, IsFile(path) ? "r+b" : "w+b");
}

std::uint32_t CFileWrapper::GetFileSize32(const std::wstring& path) const {
  const std::int64_t size = platform::FileSize(path);
  if (size < 0) return 0;
  return size > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<std::uint32_t>(size);
}
