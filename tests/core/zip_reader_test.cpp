#include "unzip/zip_reader.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/fs.h"
#include "platform/text.h"
#include "tests/core/support/temp_dir.h"
#include "tests/core/support/zip_support.h"

namespace {

using ziptest::Fixture;
using ziptest::Inspect;
using testsupport::ReadAll;
using testsupport::TempDir;
using ziptest::UnixToFileTime;

// Every item extracted below base: cleaned name -> result.
std::map<std::wstring, ZipResult> ExtractAll(CZipReader& zip, const std::wstring& base) {
  std::map<std::wstring, ZipResult> results;
  EXPECT_EQ(zip.SetBaseDir(base), ZIP_OK);
  for (int i = 0; i < zip.Count(); ++i) {
    ZipItemInfo info;
    const ZipResult described = zip.GetItem(i, info);
    EXPECT_EQ(described, ZIP_OK) << "item " << i;
    if (described == ZIP_OK) results[info.name] = zip.ExtractItem(i, info.name);
  }
  return results;
}

ZipItemInfo Item(CZipReader& zip, int index) {
  ZipItemInfo info;
  EXPECT_EQ(zip.GetItem(index, info), ZIP_OK) << "item " << index;
  return info;
}

// The first item whose cleaned name is name.
ZipItemInfo Find(CZipReader& zip, const std::wstring& name) {
  for (int i = 0; i < zip.Count(); ++i) {
    ZipItemInfo info = Item(zip, i);
    if (info.name == name) return info;
  }
  ADD_FAILURE() << "no item named " << name;
  return {};
}

TEST(ZipReader, CountsAndReachesItemsInAnyOrderAndRejectsBadIndexesAndClosedReaders) {
  CZipReader zip;
  ASSERT_TRUE(zip.Open(Fixture(L"infozip.zip")));
  ZipItemInfo info;
  info.attributes = 7;
  info.writeTime = 9;
  ASSERT_EQ(zip.GetItem(-1, info), ZIP_OK);
  EXPECT_EQ(info.index, 8);  // five files and three directories
  EXPECT_TRUE(info.name.empty());
  EXPECT_EQ(info.attributes, 0u);
  EXPECT_EQ(info.writeTime, 0u);
  EXPECT_EQ(info.uncompressedSize, 0);

  EXPECT_EQ(zip.GetItem(-2, info), ZIP_BAD_ARGS);
  EXPECT_EQ(zip.GetItem(8, info), ZIP_BAD_ARGS);
  EXPECT_EQ(zip.ExtractItem(8, L"x"), ZIP_BAD_ARGS);
  EXPECT_EQ(zip.ExtractItem(-1, L"x"), ZIP_BAD_ARGS);
  EXPECT_EQ(zip.SetBaseDir(L""), ZIP_BAD_ARGS);
  // Items are reached in any order.
  std::vector<std::wstring> forward;
  for (int i = 0; i < zip.Count(); ++i) forward.push_back(Item(zip, i).name);
  for (int i : {5, 1, 7, 0, 3, 3, 6, 2}) EXPECT_EQ(Item(zip, i).name, forward[static_cast<std::size_t>(i)]);
  zip.Close();
  EXPECT_EQ(zip.GetItem(0, info), ZIP_BAD_ARGS);
  EXPECT_EQ(zip.ExtractItem(0, L"x"), ZIP_BAD_ARGS);

  CZipReader empty;
  ASSERT_TRUE(empty.Open(Fixture(L"empty_package.zip")));
  EXPECT_EQ(empty.Count(), 0);
  EXPECT_EQ(empty.GetItem(0, info), ZIP_BAD_ARGS);
  for (const wchar_t* name : {L"not_a_zip.zip", L"truncated.zip", L"does_not_exist.zip"})
    EXPECT_FALSE(CZipReader().Open(Fixture(name))) << "archive " << name;
}

TEST(ZipReader, TimesComeFromTheUtBlockOrTheLocalDosTime) {
  const platform::FileTime mtime = UnixToFileTime(ziptest::kTreeMtime);
  const platform::FileTime atime = UnixToFileTime(ziptest::kTreeAtime);
  const platform::FileTime dos = platform::LocalTimeToFileTime(2019, 8, 7, 6, 5, 4);
  ASSERT_NE(dos, 0u);
  // Info-ZIP stores modification and access time in the local UT block; the DOS time (local
  // clock, converted to UTC) gives the creation time. -X leaves UT out: all three are the DOS
  // time. The self-extractor's stub must not shift where the UT block is read. A UT block with
  // only a modification time, behind another block, leaves the DOS time for the other two.
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
  const std::map<std::wstring, std::uint32_t> expected = {
      {L"dos/readonly.txt", 0x21}, {L"dos/hidden.txt", 0x22},     {L"dos/system.txt", 0x24},
      {L"dos/plain.txt", 0x00},    {L"dir/made/by/item/", 0x10},  {L"unix/readonly.txt", 0x21},
      {L"unix/writable.txt", 0x20}, {L"unix/dir/", 0x30},
  };
  for (const auto& [name, attributes] : expected) EXPECT_EQ(Find(zip, name).attributes, attributes) << name;
  // A UTF-8 name is read as UTF-8 even without the flag that says so.
  EXPECT_EQ(Item(zip, 7).name, L"\x4E2D\x6587.txt");

  TempDir scratch;
  const auto results = ExtractAll(zip, scratch.Wide());
  for (const auto& [name, result] : results) EXPECT_EQ(result, ZIP_OK) << name;
  EXPECT_TRUE(Inspect(scratch.Wide() + L"dos\\readonly.txt").readOnly);
  EXPECT_TRUE(Inspect(scratch.Wide() + L"unix\\readonly.txt").readOnly);
  EXPECT_FALSE(Inspect(scratch.Wide() + L"dos\\plain.txt").readOnly);
  EXPECT_FALSE(Inspect(scratch.Wide() + L"unix\\writable.txt").readOnly);
  EXPECT_TRUE(Inspect(scratch.Wide() + L"dir\\made\\by\\item").directory);
  EXPECT_TRUE(Inspect(scratch.Wide() + L"unix\\dir").directory);
#ifdef _WIN32
  EXPECT_TRUE(Inspect(scratch.Wide() + L"dos\\hidden.txt").attributes & platform::kFileHidden);
  EXPECT_TRUE(Inspect(scratch.Wide() + L"dos\\system.txt").attributes & platform::kFileSystem);
#endif
  // Both separators make directory levels; no backslash ends up inside a file name.
  EXPECT_EQ(ReadAll(scratch.Wide() + L"win\\sub\\back.txt"), ReadAll(scratch.Wide() + L"dos\\plain.txt"));
  EXPECT_TRUE(Inspect(scratch.Wide() + L"mix\\sub\\mixed.txt").exists);
  EXPECT_TRUE(Inspect(scratch.Wide() + L"\x4E2D\x6587.txt").exists);
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
  for (const wchar_t* target : {L"CON", L"sub\\nul.txt", L"..\\up.txt", L"a.txt:stream", L"dir.\\x"})
    EXPECT_EQ(zip.ExtractItem(0, target), ZIP_CORRUPT) << "target " << platform::ToUtf8(target);
  EXPECT_EQ(zip.ExtractItem(0, std::wstring(240, L'x')), ZIP_CORRUPT);
  EXPECT_TRUE(testsupport::ListTree(scratch.Wide()).empty());
  EXPECT_EQ(zip.ExtractItem(0, info.name), ZIP_OK);
  EXPECT_EQ(testsupport::ListTree(scratch.Wide()), std::vector<std::wstring>{L"safe.txt"});
}

TEST(ZipReader, EncryptedItemsAreNotWrittenAndAPasswordDoesNotHurtPlainOnes) {
  TempDir scratch;
  for (const char* password : {static_cast<const char*>(nullptr), "secret"}) {
    CZipReader zip;
    ASSERT_TRUE(zip.Open(Fixture(L"encrypted.zip"), password));
    ASSERT_EQ(zip.SetBaseDir(scratch.Wide()), ZIP_OK);
    EXPECT_EQ(zip.ExtractItem(0, L"encrypted.exe"), ZIP_BAD_PASSWORD);
  }
  EXPECT_TRUE(testsupport::ListTree(scratch.Wide()).empty());

  CZipReader plain;
  ASSERT_TRUE(plain.Open(Fixture(L"infozip.zip"), "secret"));
  ASSERT_EQ(plain.SetBaseDir(scratch.Wide()), ZIP_OK);
  const ZipItemInfo info = Find(plain, L"TavoPhoneAx/Tavo.exe");
  EXPECT_EQ(plain.ExtractItem(info.index, L"Tavo.exe"), ZIP_OK);
  EXPECT_EQ(ReadAll(scratch.Wide() + L"Tavo.exe"), ziptest::Tree()[0].data);
}

}  // namespace
