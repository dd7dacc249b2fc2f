// Registration of the suite against the real registry and shell links of the Wine prefix: what
// one registration after an installation leaves behind, read back with the plain Win32 readers.
#include "system/registration.h"

#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>

#include "tests/core/support/temp_dir.h"
#include "tests/win/support/system.h"
#include "system/suite.h"

namespace {

using namespace testsupport;

// A link's target and description, or nothing when it cannot be loaded.
std::optional<std::pair<std::wstring, std::wstring>> LoadLink(const std::wstring& path) {
  win::ComPtr<IShellLinkW> link;
  win::ComPtr<IPersistFile> file;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())) ||
      FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) || FAILED(file->Load(path.c_str(), STGM_READ)))
    return std::nullopt;
  wchar_t target[MAX_PATH] = {}, description[MAX_PATH] = {};
  link->GetPath(target, MAX_PATH, nullptr, 0);
  link->GetDescription(description, MAX_PATH);
  return std::pair{std::wstring(target), std::wstring(description)};
}

// The suite installed into a folder whose path has spaces, as below "C:\Program Files (x86)";
// the registration that follows a finished extraction, for each choice of the three options, and a
// second installation over the first.
TEST(Registration, EachOptionWritesItsEntriesAndNothingElse) {
  win::ComScope com;
  RegistrationTraces traces;
  testsupport::TempDir install(L"Tavo Registration Test");
  const std::wstring mainExe = install.Wide() + suite::kProgram, uninstaller = install.Wide() + suite::kUninstaller;
  // Real programs, so that the links resolve as they do after an installation.
  ASSERT_TRUE(CreateDirectoryW((install.Wide() + suite::kFolderName).c_str(), nullptr));
  for (const std::wstring& copy : {mainExe, uninstaller})
    ASSERT_TRUE(CopyFileW(StandInProgram(L"QXLD_Helper.exe").c_str(), copy.c_str(), FALSE));
  auto link = [](bool made, const std::wstring& target) {
    return made ? std::optional(std::pair{target, target}) : std::nullopt;
  };
  const struct {
    bool again;  // over the previous row's installation
    bool desktop, startMenu, startAtBoot;
  } rows[] = {{false, 1, 1, 1}, {true, 1, 1, 1}, {false, 0, 0, 0}, {false, 1, 0, 0}, {false, 0, 1, 0}, {false, 0, 0, 1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "desktop " << row.desktop << ", start menu " << row.startMenu
                                    << ", start at boot " << row.startAtBoot << (row.again ? ", again" : ""));
    if (!row.again) RemoveRegistration();
    const RegistrationReport report = RegisterProduct(install.Wide(), {row.desktop, row.startMenu, row.startAtBoot});
    EXPECT_TRUE(report.Complete());
    EXPECT_EQ(report.items.size(), 7u + row.desktop + 2 * row.startMenu + row.startAtBoot) << "what was written";

    // The uninstall command is a command line; the icon a plain path.
    const std::pair<const wchar_t*, std::wstring> entry[] = {
        {L"DisplayName", suite::kProductName}, {L"DisplayVersion", L"1.07"},
        {L"URLInfoAbout", L"http://" VENDOR_SERVER L"/"}, {L"UninstallString", L"\"" + uninstaller + L"\""},
        {L"DisplayIcon", uninstaller}, {L"Publisher", suite::kProductName}};
    win::UniqueHKey key;
    DWORD values = 0;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, suite::kUninstallKey, 0, KEY_READ, key.put()), ERROR_SUCCESS);
    RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    EXPECT_EQ(values, std::size(entry));
    for (const auto& [name, data] : entry) EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, suite::kUninstallKey, name), data) << name;
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, suite::kVersionKey, suite::kVersionValue), L"1.07");
    // The logon entry is a value of the Run key itself, where Windows reads it, and a command line.
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, suite::kRunKey, suite::kProductName),
              row.startAtBoot ? std::optional(L"\"" + mainExe + L"\"") : std::nullopt);
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, std::wstring(suite::kRunKey) + L"\\" + suite::kProductName));
    EXPECT_EQ(LoadLink(DesktopLink()), link(row.desktop, mainExe));
    EXPECT_EQ(LoadLink(StartMenuFolder() + L"\\Tavo手机助手.lnk"), link(row.startMenu, mainExe));
    EXPECT_EQ(LoadLink(StartMenuFolder() + L"\\Tavo手机助手卸载.lnk"), link(row.startMenu, uninstaller));
    EXPECT_EQ(Exists(StartMenuFolder()), row.startMenu);
  }
}

// A link whose path does not fit is refused rather than saved under a cut-off name.
TEST(Registration, ALinkPathTooLongIsRefused) {
  win::ComScope com;
  testsupport::TempDir links(L"TavoLinkTest");
  const std::wstring folder = links.Wide().substr(0, links.Wide().size() - 1);
  const std::wstring target = StandInProgram(L"QXLD_Helper.exe");
  EXPECT_FALSE(CreateShortcut(target.c_str(), nullptr, L"a.lnk", nullptr, 0, nullptr, SW_SHOWNORMAL));
  std::wstring longName(MAX_PATH - folder.size() - 1, L'x');  // one unit too many for a MAX_PATH buffer
  longName.replace(longName.size() - 4, 4, L".lnk");
  EXPECT_FALSE(CreateShortcut(target.c_str(), folder.c_str(), longName.c_str(), nullptr, 0, nullptr, SW_SHOWNORMAL));
  EXPECT_TRUE(RemoveDirectoryW(folder.c_str())) << "a link was saved";
}

}  // namespace
