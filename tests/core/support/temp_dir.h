// A fresh directory under the system's temporary directory, removed with everything in it when
// the object dies. Wide() is the Windows-shaped path the core takes, ending in "\\".
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::wstring Wide() const;
  // Wide() + name.
  std::wstring File(const std::wstring& name) const { return Wide() + name; }

 private:
  std::filesystem::path path_;
};

// Whole contents of a file; empty when it cannot be read.
std::string ReadAll(const std::wstring& path);
bool WriteAll(const std::wstring& path, const std::string& bytes);

// Every file and directory below root, relative, with "/" separators, sorted.
std::vector<std::wstring> ListTree(const std::wstring& root);

// The files directly in a directory, by name, with their bytes; WriteFiles empties the directory
// and puts such a set back.
using Files = std::map<std::string, std::string>;
Files ReadFiles(const TempDir& dir);
void WriteFiles(const TempDir& dir, const Files& files);

}  // namespace testsupport
