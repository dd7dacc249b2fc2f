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

namespace platform {

// The path as the native C library wants it (UTF-8 with "/" natively). Windows: unused.
std::string NativePath(const std::wstring& path);

// fopen with a wide path (_wfopen on Windows); nullptr on failure. The caller owns the stream.
std::FILE* OpenFile(const std::wstring& path, const char* mode);

bool PathExists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
// Size of a file in bytes; -1 when the path does not exist or names a directory.
std::int64_t FileSize(const std::wstring& path);
// Deletes a file (not a directory); false when it was not deleted.
bool RemoveFile(const std::wstring& path);
// Length of the path's root: "C:\\" or "\\\\server\\share\\" on Windows, the leading "\\" natively;
// 0 when the path has none (a relative path).
std::size_t PathRootLength(const std::wstring& path);
// Creates one directory level; false when it could not be created (also when it exists).
bool CreateDirectoryLevel(const std::wstring& path);

}  // namespace platform

namespace platform {

// Creates the directory and every missing level above it (an existing directory counts as made).
// False when the path has no root or its last level does not exist afterwards.
bool CreateDirectoryChain(const std::wstring& path);

}  // namespace platform
