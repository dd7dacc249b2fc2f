// The parts of fs.h that are the same on every platform.
#include "platform/fs.h"

#include "platform/fault.h"

namespace platform {

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

std::wstring WithTrailingSeparator(std::wstring directory) {
  if (!directory.empty() && directory.back() != L'\\') directory += L'\\';
  return directory;
}

std::int64_t UniqueFile::Read(void* buffer, std::size_t size) noexcept {
  if (!file_ || FaultHere(FaultPoint::kRead)) return -1;
  const std::size_t n = std::fread(buffer, 1, size, file_.get());
  if (n < size && std::ferror(file_.get())) return -1;
  return static_cast<std::int64_t>(n);
}

bool UniqueFile::Write(const void* data, std::size_t size) noexcept {
  if (!file_ || FaultHere(FaultPoint::kWrite)) return false;
  return std::fwrite(data, 1, size, file_.get()) == size;
}

bool UniqueFile::Flush() noexcept { return file_ && std::fflush(file_.get()) == 0; }

bool UniqueFile::Close() noexcept {
  std::FILE* file = file_.release();
  return !file || std::fclose(file) == 0;
}

}  // namespace platform
