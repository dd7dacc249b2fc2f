#include "tests/core/support/temp_dir.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace testsupport {

TempDir::TempDir(const std::wstring& name) {
  static std::atomic<unsigned> counter{0};
  std::error_code error;
  do {
    path_ = std::filesystem::temp_directory_path(error) /
            (name + L"-" + std::to_wstring(platform::TickCount()) + L"-" + std::to_wstring(counter++));
  } while (!std::filesystem::create_directory(path_, error) && counter < 1000);
}

TempDir::~TempDir() {
  namespace fs = std::filesystem;
  std::error_code error;  // a leftover temporary directory is harmless
  // Extracted read-only files must be made writable before Windows lets them go.
  for (auto it = fs::recursive_directory_iterator(path_, error); !error && it != fs::recursive_directory_iterator();
       it.increment(error))
    fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, error);
  fs::remove_all(path_, error);
}

std::wstring TempDir::Wide() const {
  std::wstring wide = path_.wstring();
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  return wide + L"\\";
}

std::string ReadAll(const std::wstring& path) {
  std::string bytes;
  std::FILE* file = platform::OpenFile(path, "rb");
  if (!file) return bytes;
  char block[65536];
  std::size_t n;
  while ((n = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, n);
  std::fclose(file);
  return bytes;
}

bool WriteAll(const std::wstring& path, const std::string& bytes) {
  std::FILE* file = platform::OpenFile(path, "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

std::vector<std::wstring> ListTree(const std::wstring& root) {
  namespace fs = std::filesystem;
#ifdef _WIN32
  const fs::path base(root);
#else
  const fs::path base = fs::u8path(platform::NativePath(root));
#endif
  std::vector<std::wstring> names;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(base, error); !error && it != fs::recursive_directory_iterator();
       it.increment(error))
    names.push_back(platform::FromUtf8(it->path().lexically_relative(base).generic_u8string()));
  std::sort(names.begin(), names.end());
  return names;
}

Files ReadFiles(const TempDir& dir) {
  Files files;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    files[entry.path().filename().string()] = ReadAll(platform::FromUtf8(entry.path().string()));
  return files;
}

void WriteFiles(const TempDir& dir, const Files& files) {
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) std::filesystem::remove_all(entry.path());
  for (const auto& [name, bytes] : files) WriteAll(dir.File(platform::FromUtf8(name)), bytes);
}

}  // namespace testsupport
