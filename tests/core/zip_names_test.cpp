#include "unzip/zip_names.h"

#include <gtest/gtest.h>

namespace {

TEST(ZipNames, CleaningKeepsNamesRelative) {
  const struct { const wchar_t* name; const wchar_t* cleaned; } cases[] = {
      {L"D:\\tools\\a.dll", L"tools\\a.dll"},
      {L"//x/y.txt", L"x/y.txt"},
      {L"/x", L"x"},
      {L"lib/../bin/b.exe", L"bin/b.exe"},
      {L"bin/b.exe", L"bin/b.exe"},
      {L"a/b/../../c", L"c"},
      {L"..\\x", L"x"},
      {L"a/./../../b", L"b"},
      {L"./dot/./file.txt", L"dot/file.txt"},
      {L"C:../../drive.txt", L"drive.txt"},
      {L"\\\\server\\share\\unc.txt", L"server\\share\\unc.txt"},
      {L"./\\x", L"x"},
      {L"x/..", L"x/"},
      {L"...", L"..."},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(SanitizeItemName(c.name), c.cleaned) << "name " << c.name;
}

TEST(ZipNames, NamesWindowsWouldRedirectAreRefused) {
  for (const wchar_t* name :
       {L"CON", L"nul.txt", L"dir/AUX", L"com1.log", L"LPT9", L"Con .txt", L"prn.tar.gz", L"trail./x.txt",
        L"space /x.txt", L"file.txt.", L"file.txt ", L"stream.txt:hidden", L"a/b:c", L"../x", L"a/./b", L"/abs",
        L"C:x"})
    EXPECT_FALSE(IsSafeItemName(name)) << "name " << name;
  EXPECT_FALSE(IsSafeItemName(std::wstring(L"evil.txt\0.jpg", 13)));
  EXPECT_FALSE(IsSafeItemName(std::wstring(260, L'n')));

  for (const wchar_t* name : {L"console.txt", L"COM10", L"LPT", L"nul_device/x", L"a/b/c.txt", L"\x4E2D\x6587.txt",
                              L"dir/", L".hidden", L"x..y"})
    EXPECT_TRUE(IsSafeItemName(name)) << "name " << name;
  EXPECT_TRUE(IsSafeItemName(std::wstring(259, L'n')));
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
