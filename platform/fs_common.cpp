// The parts of fs.h that are the same on every platform.
#include "platform/fs.h"

#include "platform/fault.h"

namespace platform {

std::wstring WithTrailingSeparator(std::wstring directory) {
  if (!directory.empty() && directory.back() != L'\\') directory += L'\\';
  return directory;
}

bool CreateDirectoryChain(const std::wstring& path) {
  const std::size_t root = PathRootLength(path);
  if (path.empty() || root == 0) return false;
  // Every level is tried; a level that exists already (or that others create meanwhile) is fine,
  // and only the last one decides.
  for (std::size_t at = path.find_first_of(L"\\/", root); at != std::wstring::npos;
       at = path.find_first_of(L"\\/", at + 1))
    if (at > root) (void)CreateDirectoryLevel(path.substr(0, at));
  return CreateDirectoryLevel(path) || IsDirectory(path);
}

UniqueFile& UniqueFile::operator=(UniqueFile&& other) noexcept {
  if (this != &other) {
    (void)Close();
    file_ = other.file_;
    other.file_ = nullptr;
  }
  return *this;
}

std::int64_t UniqueFile::Read(void* buffer, std::size_t size) noexcept {
  if (!file_ || FaultHere(FaultPoint::kRead)) return -1;
  const std::size_t n = std::fread(buffer, 1, size, file_);
  if (n < size && std::ferror(file_)) return -1;
  return static_cast<std::int64_t>(n);
}

bool UniqueFile::Write(const void* data, std::size_t size) noexcept {
  if (!file_ || FaultHere(FaultPoint::kWrite)) return false;
  return std::fwrite(data, 1, size, file_) == size;
}

bool UniqueFile::Flush() noexcept { return file_ && std::fflush(file_) == 0; }

bool UniqueFile::Close() noexcept {
  if (!file_) return true;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return closed;
}

}  // namespace platform
