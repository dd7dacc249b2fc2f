#include "tests/core/support/zip_support.h"

#include <functional>

#include "platform/fs.h"
#include "platform/text.h"
#include "tests/core/support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace ziptest {

std::wstring Fixture(const std::wstring& name) {
#ifdef _WIN32
  return std::wstring(ZIP_FIXTURE_DIR) + L"\\" + name;
#else
  return platform::FromUtf8(ZIP_FIXTURE_DIR) + L"\\" + name;
#endif
}

platform::FileTime UnixToFileTime(std::int64_t seconds) {
  return static_cast<platform::FileTime>(seconds + platform::kFileTimeUnixEpochSeconds) * 10000000u;
}

OnDisk Inspect(const std::wstring& path) {
  OnDisk facts;
#ifdef _WIN32
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return facts;
  auto time = [](const FILETIME& t) { return (static_cast<platform::FileTime>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  facts.exists = true;
  facts.attributes = data.dwFileAttributes;
  facts.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts.readOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  facts.size = (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  facts.accessTime = time(data.ftLastAccessTime);
  facts.writeTime = time(data.ftLastWriteTime);
#else
  struct stat info {};
  if (stat(platform::NativePath(path).c_str(), &info) != 0) return facts;
  auto time = [](const timespec& t) {
    return UnixToFileTime(t.tv_sec) + static_cast<platform::FileTime>(t.tv_nsec / 100);
  };
  facts.exists = true;
  facts.directory = S_ISDIR(info.st_mode);
  facts.readOnly = (info.st_mode & 0222) == 0;
  facts.size = info.st_size;
  facts.accessTime = time(info.st_atim);
  facts.writeTime = time(info.st_mtim);
#endif
  return facts;
}

std::vector<std::string> Snapshot(const std::wstring& root, bool times) {
  std::vector<std::string> lines;
  for (const std::wstring& name : testsupport::ListTree(root)) {
    const OnDisk facts = Inspect(root + name);
    std::string line = platform::ToUtf8(name);
    // A directory's times change with its entries, and an empty file keeps the time it was
    // created at (the reader gives it none): neither counts.
    if (!facts.directory)
      line += " " + std::to_string(facts.size) + (facts.readOnly ? " ro " : " rw ") +
              std::to_string(times && facts.size > 0 ? facts.writeTime : 0) + " " +
              std::to_string(std::hash<std::string>()(testsupport::ReadAll(root + name)));
    lines.push_back(line);
  }
  return lines;
}

}  // namespace ziptest
