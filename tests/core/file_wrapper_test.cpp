#include <gtest/gtest.h>

#include "download/file_wrapper.h"
#include "tests/core/support/temp_dir.h"

namespace {

using testsupport::ReadAll;
using testsupport::WriteAll;

TEST(FileWrapper, ADirectoryIsNoFile) {
  testsupport::TempDir dir;
  CFileWrapper files;
  const std::wstring path = dir.Wide().substr(0, dir.Wide().size() - 1);
  EXPECT_FALSE(files.IsFile(path));
  EXPECT_EQ(files.GetFileSize32(path), 0u);
  EXPECT_EQ(files.OpenForUpdate(path), nullptr);
}

TEST(FileWrapper, AnExistingFileKeepsItsContentsAndGrowsAtTheEnd) {
  testsupport::TempDir dir;
  CFileWrapper files;
  const std::wstring part = dir.File(L"TavoPhoneAx.zip_0");
  const std::string before(1000, 'p');
  ASSERT_TRUE(WriteAll(part, before));
  EXPECT_TRUE(files.IsFile(part));
  EXPECT_EQ(files.GetFileSize32(part), 1000u);

  std::FILE* stream = files.OpenForUpdate(part);
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(std::fseek(stream, 1000, SEEK_SET), 0);
  ASSERT_EQ(std::fwrite("tail", 1, 4, stream), 4u);
  std::fclose(stream);
  EXPECT_EQ(ReadAll(part), before + "tail");
  EXPECT_EQ(files.GetFileSize32(part), 1004u);
}

TEST(FileWrapper, AMissingFileIsCreatedEmpty) {
  testsupport::TempDir dir;
  CFileWrapper files;
  const std::wstring part = dir.File(L"new_tmp");
  EXPECT_FALSE(files.IsFile(part));
  EXPECT_EQ(files.GetFileSize32(part), 0u);
  std::FILE* stream = files.OpenForUpdate(part);
  ASSERT_NE(stream, nullptr);
  std::fclose(stream);
  EXPECT_TRUE(files.IsFile(part));
  EXPECT_EQ(files.GetFileSize32(part), 0u);
}

}  // namespace
