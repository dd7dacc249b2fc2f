// The parts of fs.h that are the same on every platform.
#include "platform/fs.h"

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

}  // namespace platform
