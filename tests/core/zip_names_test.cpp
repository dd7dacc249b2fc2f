#include "unzip/zip_names.h"

#include <gtest/gtest.h>

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
}

TEST(ZipNames, AbsolutePathsMayKeepTheirDriveButNotDevices) {
  EXPECT_TRUE(IsSafeAbsolutePath(L"C:\\Program Files\\Tavo\\a.dll"));
  EXPECT_TRUE(IsSafeAbsolutePath(L"/tmp/x/../y"));
  EXPECT_FALSE(IsSafeAbsolutePath(L"C:\\dir\\CON"));
  EXPECT_FALSE(IsSafeAbsolutePath(L"C:\\dir\\a.txt:stream"));
}

TEST(ZipNames, LengthCountsUtf16Units) {
  EXPECT_EQ(Utf16Length(L"ab"), 2u);
  EXPECT_EQ(Utf16Length(std::wstring(1, static_cast<wchar_t>(0x4E2D))), 1u);
  // A character beyond the BMP is two units on Windows whatever wchar_t is here.
  const std::wstring emoji = sizeof(wchar_t) == 2 ? std::wstring(L"\xD83D\xDE00") : std::wstring(1, static_cast<wchar_t>(0x1F600));
  EXPECT_EQ(Utf16Length(emoji), 2u);
}

}  // namespace
