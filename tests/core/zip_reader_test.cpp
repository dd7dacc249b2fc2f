#include "unzip/zip_reader.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/fs.h"
#include "tests/core/support/zip_support.h"

namespace {

using ziptest::Fixture;
using ziptest::Inspect;
using ziptest::ReadAll;
using ziptest::ScratchDir;
using ziptest::UnixToFileTime;

// An open archive, closed at the end of the test.
class Archive {
 public:
  explicit Archive(const std::wstring& fixture) : handle_(ZipOpenFile(Fixture(fixture), nullptr)) {}
  ~Archive() {
    if (handle_) {
      EXPECT_EQ(ZipClose(handle_), ZIP_OK);
    }
  }
  ZipReaderHandle* get() const { return handle_; }
  int Count() const {
    ZipItemInfo info;
    return ZipGetItem(handle_, -1, &info) == ZIP_OK ? info.index : -1;
  }
  // Extracts every item below base: cleaned name -> result.
  std::map<std::wstring, ZipResult> ExtractAll(const std::wstring& base) {
    std::map<std::wstring, ZipResult> results;
    EXPECT_EQ(ZipSetBaseDir(handle_, base), ZIP_OK);
    for (int i = 0, n = Count(); i < n; ++i) {
      ZipItemInfo info;
      const ZipResult described = ZipGetItem(handle_, i, &info);
      EXPECT_EQ(described, ZIP_OK) << "item " << i;
      if (described == ZIP_OK) results[info.name] = ZipExtractItem(handle_, i, info.name);
    }
    return results;
  }
  ZipItemInfo Item(int index) {
    ZipItemInfo info;
    EXPECT_EQ(ZipGetItem(handle_, index, &info), ZIP_OK) << "item " << index;
    return info;
  }
  // The first item whose cleaned name is name.
  ZipItemInfo Find(const std::wstring& name) {
    for (int i = 0, n = Count(); i < n; ++i) {
      ZipItemInfo info = Item(i);
      if (info.name == name) return info;
    }
    ADD_FAILURE() << "no item named " << name;
    return {};
  }

 private:
  ZipReaderHandle* handle_;
};

std::wstring WithBackslashes(std::wstring name) {
  for (wchar_t& c : name)
    if (c == L'/') c = L'\\';
  return name;
}

TEST(ZipReader, CountsItemsAndRejectsBadIndexesAndHandles) {
  Archive zip(L"infozip.zip");
  ASSERT_NE(zip.get(), nullptr);
  ZipItemInfo info;
  info.attributes = 7;
  info.writeTime = 9;
  ASSERT_EQ(ZipGetItem(zip.get(), -1, &info), ZIP_OK);
  EXPECT_EQ(info.index, 8);  // five files and three directories
  EXPECT_TRUE(info.name.empty());
  EXPECT_EQ(info.attributes, 0u);
  EXPECT_EQ(info.writeTime, 0u);
  EXPECT_EQ(info.uncompressedSize, 0);

  EXPECT_EQ(ZipGetItem(zip.get(), -2, &info), ZIP_BAD_ARGS);
  EXPECT_EQ(ZipGetItem(zip.get(), 8, &info), ZIP_BAD_ARGS);
  EXPECT_EQ(ZipExtractItem(zip.get(), 8, L"x"), ZIP_BAD_ARGS);
  EXPECT_EQ(ZipExtractItem(zip.get(), -1, L"x"), ZIP_BAD_ARGS);
  EXPECT_EQ(ZipGetItem(nullptr, 0, &info), ZIP_BAD_ARGS);
  ZipReaderHandle other{2, nullptr};
  EXPECT_EQ(ZipGetItem(&other, 0, &info), ZIP_WRONG_MODE);
  EXPECT_EQ(ZipSetBaseDir(&other, L"x"), ZIP_WRONG_MODE);
  EXPECT_EQ(ZipClose(&other), ZIP_WRONG_MODE);
  EXPECT_EQ(ZipSetBaseDir(zip.get(), L""), ZIP_BAD_ARGS);

  Archive empty(L"empty_package.zip");
  ASSERT_NE(empty.get(), nullptr);
  EXPECT_EQ(empty.Count(), 0);
  EXPECT_EQ(ZipGetItem(empty.get(), 0, &info), ZIP_BAD_ARGS);
}

TEST(ZipReader, WhatIsNoZipGivesNoHandle) {
  for (const wchar_t* name : {L"not_a_zip.zip", L"truncated.zip", L"does_not_exist.zip"})
    EXPECT_EQ(ZipOpenFile(Fixture(name), nullptr), nullptr) << "archive " << name;
}

TEST(ZipReader, ItemsAreReachedInAnyOrder) {
  Archive zip(L"python.zip");
  ASSERT_NE(zip.get(), nullptr);
  std::vector<std::wstring> forward;
  for (int i = 0; i < zip.Count(); ++i) forward.push_back(zip.Item(i).name);
  for (int i : {5, 1, 7, 0, 3, 3, 6, 2}) EXPECT_EQ(zip.Item(i).name, forward[static_cast<std::size_t>(i)]);
  EXPECT_EQ(forward[0], L"TavoPhoneAx/");
}

// Every tool's archive of the same tree extracts to the same files, names cleaned, empty file
// included, Chinese names intact.
TEST(ZipReader, ArchivesOfRealToolsExtractToTheirTree) {
  for (const wchar_t* fixture : {L"infozip.zip", L"infozip_x.zip", L"infozip_stored.zip", L"sevenzip.zip",
                                 L"bsdtar.zip", L"python.zip", L"prefixed.zip"}) {
    SCOPED_TRACE(fixture);
    ScratchDir scratch;
    Archive zip(fixture);
    ASSERT_NE(zip.get(), nullptr);
    const auto results = zip.ExtractAll(scratch.path());
    for (const auto& file : ziptest::Tree()) {
      SCOPED_TRACE(file.name);
      const auto result = results.find(file.name);
      ASSERT_NE(result, results.end());
      if (file.data.empty()) {
        EXPECT_EQ(result->second, ZIP_INFLATE_ERROR);
        EXPECT_EQ(zip.Find(file.name).uncompressedSize, 0);
      } else {
        EXPECT_EQ(result->second, ZIP_OK);
      }
      const std::wstring path = scratch.path() + WithBackslashes(file.name);
      EXPECT_EQ(ReadAll(path), file.data);
    }
    EXPECT_TRUE(Inspect(scratch.path() + L"TavoPhoneAx\\lib").directory);
  }
}

TEST(ZipReader, TimesComeFromTheUtBlockOrTheLocalDosTime) {
  const platform::FileTime mtime = UnixToFileTime(ziptest::kTreeMtime);
  const platform::FileTime atime = UnixToFileTime(ziptest::kTreeAtime);
  // Info-ZIP stores modification and access time in the local UT block; the DOS time (local
  // clock, converted to UTC) gives the creation time. -X leaves UT out: all three are the DOS
  // time. The self-extractor's stub must not shift where the UT block is read.
  const struct {
    const wchar_t* fixture;
    platform::FileTime access;
  } cases[] = {{L"infozip.zip", atime}, {L"prefixed.zip", atime}, {L"infozip_x.zip", mtime}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fixture);
    Archive zip(c.fixture);
    ASSERT_NE(zip.get(), nullptr);
    const ZipItemInfo item = zip.Find(L"TavoPhoneAx/Tavo.exe");
    EXPECT_EQ(item.writeTime, mtime);
    EXPECT_EQ(item.accessTime, c.access);
    EXPECT_EQ(item.creationTime, mtime);

    ScratchDir scratch;
    ASSERT_EQ(ZipSetBaseDir(zip.get(), scratch.path()), ZIP_OK);
    ASSERT_EQ(ZipExtractItem(zip.get(), item.index, item.name), ZIP_OK);
    const ziptest::OnDisk disk = Inspect(scratch.path() + L"TavoPhoneAx\\Tavo.exe");
    EXPECT_EQ(disk.writeTime, mtime);
    EXPECT_EQ(disk.accessTime, c.access);
#ifdef _WIN32
    EXPECT_EQ(disk.creationTime, mtime);
#endif
  }
}

TEST(ZipReader, UtBlockWithOnlyAModificationTime) {
  Archive zip(L"ut_mtime_only.zip");
  ASSERT_NE(zip.get(), nullptr);
  const ZipItemInfo item = zip.Item(0);
  const platform::FileTime dos = platform::LocalTimeToFileTime(2019, 8, 7, 6, 5, 4);
  ASSERT_NE(dos, 0u);
  EXPECT_EQ(item.writeTime, UnixToFileTime(ziptest::kOnlyMtime));
  EXPECT_EQ(item.accessTime, dos);
  EXPECT_EQ(item.creationTime, dos);
}

TEST(ZipReader, AttributesFromDosAndUnixHosts) {
  Archive zip(L"attributes.zip");
  ASSERT_NE(zip.get(), nullptr);
  const std::map<std::wstring, std::uint32_t> expected = {
      {L"dos/readonly.txt", 0x21}, {L"dos/hidden.txt", 0x22},     {L"dos/system.txt", 0x24},
      {L"dos/plain.txt", 0x00},    {L"dir/made/by/item/", 0x10},  {L"unix/readonly.txt", 0x21},
      {L"unix/writable.txt", 0x20}, {L"unix/dir/", 0x30},
  };
  for (const auto& [name, attributes] : expected) EXPECT_EQ(zip.Find(name).attributes, attributes) << name;
  // A UTF-8 name is read as UTF-8 even without the flag that says so.
  EXPECT_EQ(zip.Item(7).name, L"\x4E2D\x6587.txt");

  ScratchDir scratch;
  const auto results = zip.ExtractAll(scratch.path());
  for (const auto& [name, result] : results) EXPECT_EQ(result, ZIP_OK) << name;
  EXPECT_TRUE(Inspect(scratch.path() + L"dos\\readonly.txt").readOnly);
  EXPECT_TRUE(Inspect(scratch.path() + L"unix\\readonly.txt").readOnly);
  EXPECT_FALSE(Inspect(scratch.path() + L"dos\\plain.txt").readOnly);
  EXPECT_FALSE(Inspect(scratch.path() + L"unix\\writable.txt").readOnly);
  EXPECT_TRUE(Inspect(scratch.path() + L"dir\\made\\by\\item").directory);
  EXPECT_TRUE(Inspect(scratch.path() + L"unix\\dir").directory);
#ifdef _WIN32
  EXPECT_TRUE(Inspect(scratch.path() + L"dos\\hidden.txt").attributes & platform::kFileHidden);
  EXPECT_TRUE(Inspect(scratch.path() + L"dos\\system.txt").attributes & platform::kFileSystem);
#endif
  // Both separators make directory levels; no backslash ends up inside a file name.
  EXPECT_EQ(ReadAll(scratch.path() + L"win\\sub\\back.txt"), ReadAll(scratch.path() + L"dos\\plain.txt"));
  EXPECT_TRUE(Inspect(scratch.path() + L"mix\\sub\\mixed.txt").exists);
  EXPECT_TRUE(Inspect(scratch.path() + L"\x4E2D\x6587.txt").exists);
}

TEST(ZipReader, ReadOnlyFilesAreReplacedOnASecondExtraction) {
  ScratchDir scratch;
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    Archive zip(L"infozip.zip");
    ASSERT_NE(zip.get(), nullptr);
    const auto results = zip.ExtractAll(scratch.path());
    EXPECT_EQ(results.at(L"TavoPhoneAx/readonly.txt"), ZIP_OK);
    EXPECT_EQ(ReadAll(scratch.path() + L"TavoPhoneAx\\readonly.txt"), "do not touch\n");
    EXPECT_TRUE(Inspect(scratch.path() + L"TavoPhoneAx\\readonly.txt").readOnly);
  }
}

TEST(ZipReader, TraversingNamesStayBelowTheBaseDirectory) {
  ScratchDir scratch;
  const std::wstring base = scratch.path() + L"base\\";
  Archive zip(L"traversal.zip");
  ASSERT_NE(zip.get(), nullptr);
  zip.ExtractAll(base);
  std::vector<std::wstring> expected = {L"base", L"base/a.dll"};
  EXPECT_EQ(zip.Item(0).name, L"tools\\a.dll");
  EXPECT_EQ(ReadAll(base + L"tools\\a.dll"), "D:\\tools\\a.dll");
  EXPECT_EQ(ReadAll(base + L"etc\\evil.txt"), "../../../../etc/evil.txt");
  EXPECT_EQ(ReadAll(base + L"c.txt"), "a/b/../../c.txt");
  EXPECT_EQ(ReadAll(base + L"drive.txt"), "C:../../drive.txt");
  for (const std::wstring& name : ziptest::ListTree(scratch.path()))
    EXPECT_EQ(name.rfind(L"base", 0), 0u) << "written outside the base directory: " << name;
}

TEST(ZipReader, UnsafeNamesAreRefusedAndNothingIsWritten) {
  ScratchDir scratch;
  Archive zip(L"unsafe_names.zip");
  ASSERT_NE(zip.get(), nullptr);
  ASSERT_EQ(ZipSetBaseDir(zip.get(), scratch.path()), ZIP_OK);
  const int count = zip.Count();
  ASSERT_EQ(count, 16);
  ZipItemInfo info;
  for (int i = 1; i < count; ++i) {
    EXPECT_EQ(ZipGetItem(zip.get(), i, &info), ZIP_CORRUPT) << "item " << i;
    EXPECT_EQ(ZipExtractItem(zip.get(), i, L"x.txt"), ZIP_CORRUPT) << "item " << i;
  }
  // Targets handed in directly are checked too.
  ASSERT_EQ(ZipGetItem(zip.get(), 0, &info), ZIP_OK);
  for (const wchar_t* target : {L"CON", L"sub\\nul.txt", L"..\\up.txt", L"a.txt:stream", L"dir.\\x"})
    EXPECT_EQ(ZipExtractItem(zip.get(), 0, target), ZIP_CORRUPT) << "target " << target;
  EXPECT_EQ(ZipExtractItem(zip.get(), 0, std::wstring(240, L'x')), ZIP_CORRUPT);
  EXPECT_TRUE(ziptest::ListTree(scratch.path()).empty());
  EXPECT_EQ(ZipExtractItem(zip.get(), 0, info.name), ZIP_OK);
  EXPECT_EQ(ziptest::ListTree(scratch.path()), std::vector<std::wstring>{L"safe.txt"});
}

TEST(ZipReader, DamagedDataIsAFailedExtraction) {
  const struct {
    const wchar_t* fixture;
    ZipResult info;
    ZipResult extract;
    bool fileCreated;
  } cases[] = {
      {L"middle_crc.zip", ZIP_OK, ZIP_CORRUPT, true},           // stored bytes that do not match their CRC-32
      {L"middle_header.zip", ZIP_CORRUPT, ZIP_CORRUPT, false},  // local header disagrees with the directory
      {L"middle_short.zip", ZIP_OK, ZIP_INFLATE_ERROR, true},   // deflate stream ends before the size
      {L"middle_stored_short.zip", ZIP_OK, ZIP_INFLATE_ERROR, true},
      {L"middle_bzip2.zip", ZIP_OK, ZIP_CORRUPT, false},        // a method minizip would hand over raw
      {L"middle_extra.zip", ZIP_READ_ERROR, ZIP_READ_ERROR, false},  // local extra field beyond the end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fixture);
    ScratchDir scratch;
    Archive zip(c.fixture);
    ASSERT_NE(zip.get(), nullptr);
    ASSERT_EQ(ZipSetBaseDir(zip.get(), scratch.path()), ZIP_OK);
    ZipItemInfo info;
    EXPECT_EQ(ZipGetItem(zip.get(), 1, &info), c.info);
    EXPECT_EQ(ZipExtractItem(zip.get(), 1, L"bad.txt"), c.extract);
    EXPECT_EQ(Inspect(scratch.path() + L"bad.txt").exists, c.fileCreated);
    // The reader stays usable.
    EXPECT_EQ(ZipExtractItem(zip.get(), 2, L"two.txt"), ZIP_OK);
  }
}

TEST(ZipReader, EncryptedItemsAreNotWrittenAndAPasswordDoesNotHurtPlainOnes) {
  ScratchDir scratch;
  for (const char* password : {static_cast<const char*>(nullptr), "secret"}) {
    ZipReaderHandle* zip = ZipOpenFile(Fixture(L"encrypted.zip"), password);
    ASSERT_NE(zip, nullptr);
    ASSERT_EQ(ZipSetBaseDir(zip, scratch.path()), ZIP_OK);
    EXPECT_EQ(ZipExtractItem(zip, 0, L"encrypted.exe"), ZIP_BAD_PASSWORD);
    EXPECT_EQ(ZipClose(zip), ZIP_OK);
  }
  EXPECT_TRUE(ziptest::ListTree(scratch.path()).empty());

  ZipReaderHandle* plain = ZipOpenFile(Fixture(L"infozip.zip"), "secret");
  ASSERT_NE(plain, nullptr);
  ASSERT_EQ(ZipSetBaseDir(plain, scratch.path()), ZIP_OK);
  ZipItemInfo info;
  for (int i = 0; ZipGetItem(plain, i, &info) == ZIP_OK && info.name != L"TavoPhoneAx/Tavo.exe"; ++i) {
  }
  ASSERT_EQ(info.name, L"TavoPhoneAx/Tavo.exe");
  EXPECT_EQ(ZipExtractItem(plain, info.index, L"Tavo.exe"), ZIP_OK);
  EXPECT_EQ(ReadAll(scratch.path() + L"Tavo.exe"), ziptest::Tree()[0].data);
  EXPECT_EQ(ZipClose(plain), ZIP_OK);
}

TEST(ZipReader, DirectoryChainIsMadeLevelByLevel) {
  ScratchDir scratch;
  const std::wstring root = scratch.path() + L"root\\";
  MakeDirectoryChain(&root, L"a\\b/c\\");
  EXPECT_TRUE(Inspect(scratch.path() + L"root\\a\\b\\c").directory);
  MakeDirectoryChain(nullptr, scratch.path() + L"abs\\x");
  EXPECT_TRUE(Inspect(scratch.path() + L"abs\\x").directory);
}

}  // namespace
