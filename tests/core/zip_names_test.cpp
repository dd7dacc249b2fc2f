#include "unzip/zip_names.h"

#include <gtest/gtest.h>

#include "platform/fs.h"

namespace {

// Most names are checked through the fixture archives (traversal.zip, unsafe_names.zip); these
// are the ones no archive there holds.
TEST(ZipNames, CleaningAndSafetyOfNamesNoFixtureHolds) {
  for (const auto& [name, cleaned] : {std::pair{L"/x", L"x"}, {L"./\\x", L"x"}, {L"...", L"..."}, {L"", L""}})
    EXPECT_EQ(SanitizeItemName(name), cleaned) << "name " << name;
  for (const wchar_t* name : {L"prn.tar.gz", L"../x", L"a/./b", L"/abs", L"C:x"})
    EXPECT_FALSE(IsSafeItemName(name)) << "name " << name;
  for (const wchar_t* name : {L"console.txt", L"COM10", L"LPT", L"nul_device/x", L"a/b/c.txt", L"\x4E2D\x6587.txt",
                              L"dir/", L".hidden", L"x..y"})
    EXPECT_TRUE(IsSafeItemName(name)) << "name " << name;
  EXPECT_TRUE(IsSafeItemName(std::wstring(259, L'n')));
  EXPECT_FALSE(IsSafeItemName(std::wstring(260, L'n')));
  // Item names are joined to the install directory, which ends with a separator.
  for (const auto& [directory, joinable] :
       {std::pair{L"C:\\Tavo", L"C:\\Tavo\\"}, {L"C:\\Tavo\\", L"C:\\Tavo\\"}, {L"", L""}})
    EXPECT_EQ(platform::WithTrailingSeparator(directory), joinable) << "directory " << directory;
}

}  // namespace
