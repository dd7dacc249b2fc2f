// The archives fixtures/make_zip_fixtures.py makes, and what files look like on disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_io.h"

namespace ziptest {

// A fixture's path; "tree\\" is the source tree of the real tools' archives.
std::wstring Fixture(const std::wstring& name);

// Times the fixture script gives its source tree, as file times.
platform::FileTime UnixToFileTime(std::int64_t seconds);
constexpr std::int64_t kTreeMtime = 1620284890;
constexpr std::int64_t kTreeAtime = 1641092646;
constexpr std::int64_t kOnlyMtime = 1500000000;

struct OnDisk {  // what a file or directory looks like on disk
  bool exists = false;
  bool directory = false;
  bool readOnly = false;
  std::uint32_t attributes = 0;  // Windows only; natively 0
  platform::FileTime accessTime = 0;
  platform::FileTime writeTime = 0;
  std::int64_t size = -1;
};
OnDisk Inspect(const std::wstring& path);

// One line per entry below root: its name and, for a file, size, read-only bit, digest and (with
// times) write time.
std::vector<std::string> Snapshot(const std::wstring& root, bool times = true);

}  // namespace ziptest
