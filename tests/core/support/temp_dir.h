// A fresh temporary directory, named `name` and a unique suffix, removed with its contents when
// the object dies. Wide() is the Windows-shaped path the core takes, ending in "\\".
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

class TempDir {
 public:
  explicit TempDir(const std::wstring& name = L"core-test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::wstring Wide() const;
  std::wstring File(const std::wstring& name) const { return Wide() + name; }

 private:
  std::filesystem::path path_;
};

std::string ReadAll(const std::wstring& path);  // empty when it cannot be read
bool WriteAll(const std::wstring& path, const std::string& bytes);

// Every file and directory below root, relative, with "/" separators, sorted.
std::vector<std::wstring> ListTree(const std::wstring& root);

// The files directly in dir with their bytes; WriteFiles makes dir hold exactly such a set.
using Files = std::map<std::string, std::string>;
Files ReadFiles(const TempDir& dir);
void WriteFiles(const TempDir& dir, const Files& files);

}  // namespace testsupport
