#include "unzip/zip_reader.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/text.h"
#include "tests/core/support/temp_dir.h"
#include "tests/core/support/zip_support.h"

namespace {

using namespace ziptest;
using testsupport::TempDir;

ZipItemInfo Item(CZipReader& zip, int index) {
  ZipItemInfo info;
  EXPECT_EQ(zip.GetItem(index, info), ZIP_OK) << "item " << index;
  return info;
}

ZipItemInfo Find(CZipReader& zip, const std::wstring& name) {
  for (int i = 0; i < zip.Count(); ++i) {
    ZipItemInfo info = Item(zip, i);
    if (info.name == name) return info;
  }
  ADD_FAILURE() << "no item named " << platform::ToUtf8(name);
  return {};
}

TEST(ZipReader, TimesComeFromTheUtBlockOrTheLocalDosTime) {
  const platform::FileTime mtime = UnixToFileTime(ziptest::kTreeMtime);
  const platform::FileTime atime = UnixToFileTime(ziptest::kTreeAtime);
  const platform::FileTime dos = platform::LocalTimeToFileTime(2019, 8, 7, 6, 5, 4);
  ASSERT_NE(dos, 0u);
  // Write and access time from the UT block, creation time from the DOS time (local clock); -X
  // leaves UT out; a self-extractor's stub must not shift it; a UT block with only a write time.
  const struct {
    const wchar_t* fixture;
    const wchar_t* item;
    platform::FileTime write, access, creation;
  } cases[] = {{L"infozip.zip", L"TavoPhoneAx/Tavo.exe", mtime, atime, mtime},
               {L"prefixed.zip", L"TavoPhoneAx/Tavo.exe", mtime, atime, mtime},
               {L"infozip_x.zip", L"TavoPhoneAx/Tavo.exe", mtime, mtime, mtime},
               {L"ut_mtime_only.zip", L"ut.txt", UnixToFileTime(ziptest::kOnlyMtime), dos, dos}};
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.fixture));
    CZipReader zip;
    ASSERT_TRUE(zip.Open(Fixture(c.fixture)));
    const ZipItemInfo item = Find(zip, c.item);
    EXPECT_EQ(item.writeTime, c.write);
    EXPECT_EQ(item.accessTime, c.access);
    EXPECT_EQ(item.creationTime, c.creation);

    TempDir scratch;
    ASSERT_EQ(zip.SetBaseDir(scratch.Wide()), ZIP_OK);
    ASSERT_EQ(zip.ExtractItem(item.index, item.name), ZIP_OK);
    const ziptest::OnDisk disk = Inspect(scratch.Wide() + item.name);
    EXPECT_EQ(disk.writeTime, c.write);
    // Not the creation time: Wine does not keep it (it answers the write time).
    EXPECT_EQ(disk.accessTime, c.access);
  }
}

TEST(ZipReader, AttributesFromDosAndUnixHosts) {
  CZipReader zip;
  ASSERT_TRUE(zip.Open(Fixture(L"attributes.zip")));
  TempDir scratch;
  ASSERT_EQ(zip.SetBaseDir(scratch.Wide()), ZIP_OK);
  const std::map<std::wstring, std::uint32_t> expected = {
      {L"dos/readonly.txt", 0x21}, {L"dos/hidden.txt", 0x22},     {L"dos/system.txt", 0x24},
      {L"dos/plain.txt", 0x00},    {L"dir/made/by/item/", 0x10},  {L"unix/readonly.txt", 0x21},
      {L"unix/writable.txt", 0x20}, {L"unix/dir/", 0x30},        {L"win\\sub\\back.txt", 0x20},
      {L"mix/sub\\mixed.txt", 0x20}, {L"\x4E2D\x6587.txt", 0x20},  // UTF-8 even without its flag
  };
  for (int i = 0; i < zip.Count(); ++i) {
    const ZipItemInfo info = Item(zip, i);
    ASSERT_EQ(expected.count(info.name), 1u) << platform::ToUtf8(info.name);
    EXPECT_EQ(info.attributes, expected.at(info.name)) << platform::ToUtf8(info.name);
    EXPECT_EQ(zip.ExtractItem(i, info.name), ZIP_OK) << platform::ToUtf8(info.name);
    // Both separators make directory levels; no backslash ends up inside a file name.
    std::wstring path = scratch.Wide() + info.name;
    for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
    const ziptest::OnDisk disk = Inspect(path);
    EXPECT_TRUE(disk.exists) << platform::ToUtf8(info.name);
    EXPECT_EQ(disk.readOnly, (info.attributes & 1) != 0) << platform::ToUtf8(info.name);
    EXPECT_EQ(disk.directory, (info.attributes & 0x10) != 0) << platform::ToUtf8(info.name);
#ifdef _WIN32
    EXPECT_EQ(disk.attributes & 6, info.attributes & 6) << platform::ToUtf8(info.name);  // hidden, system
#endif
  }
  EXPECT_EQ(testsupport::ReadAll(scratch.Wide() + L"win\\sub\\back.txt"), testsupport::ReadAll(scratch.Wide() + L"dos\\plain.txt"));
}

TEST(ZipReader, UnsafeNamesAreRefusedAndNothingIsWritten) {
  TempDir scratch;
  CZipReader zip;
  ASSERT_TRUE(zip.Open(Fixture(L"unsafe_names.zip")));
  ASSERT_EQ(zip.SetBaseDir(scratch.Wide()), ZIP_OK);
  ASSERT_EQ(zip.Count(), 16);
  ZipItemInfo info;
  for (int i = 1; i < zip.Count(); ++i) {
    EXPECT_EQ(zip.GetItem(i, info), ZIP_CORRUPT) << "item " << i;
    EXPECT_EQ(zip.ExtractItem(i, L"x.txt"), ZIP_CORRUPT) << "item " << i;
  }
  // Targets handed in directly are checked too.
  ASSERT_EQ(zip.GetItem(0, info), ZIP_OK);
  for (const std::wstring& target : {std::wstring(L"CON"), std::wstring(L"sub\\nul.txt"), std::wstring(L"..\\up.txt"),
                                     std::wstring(L"a.txt:stream"), std::wstring(L"dir.\\x"), std::wstring(240, L'x')})
    EXPECT_EQ(zip.ExtractItem(0, target), ZIP_CORRUPT) << platform::ToUtf8(target);
  EXPECT_TRUE(testsupport::ListTree(scratch.Wide()).empty());
  EXPECT_EQ(zip.ExtractItem(0, info.name), ZIP_OK);
  EXPECT_EQ(testsupport::ListTree(scratch.Wide()), std::vector<std::wstring>{L"safe.txt"});
}

}  // namespace
