// Registration of the suite against the real registry and shell links of the Wine prefix: what
// the completion handling's two calls leave behind, read back with the plain Win32 readers.
#include "system/registration.h"

#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>

#include "platform/win/handles.h"
#include "tests/win/support/suite_stand_ins.h"

namespace {

using namespace testing_support;

constexpr wchar_t kProductName[] = L"Tavo手机助手";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// Where older installers put the logon entry, and where Windows never looks.
constexpr wchar_t kProductRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Tavo手机助手";
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavo手机助手";
constexpr wchar_t kVersionKey[] = L"Software\\QXLDvesion";

// A REG_SZ value's text (without the one terminator RegSetValueExW may store), or nothing when the
// value is missing or of another type.
std::optional<std::wstring> ReadString(HKEY root, const wchar_t* key, const wchar_t* name) {
  win::UniqueHKey opened;
  wchar_t buffer[1024] = {};
  DWORD type = 0, bytes = sizeof(buffer);
  if (RegOpenKeyExW(root, key, 0, KEY_READ, opened.put()) != ERROR_SUCCESS ||
      RegQueryValueExW(opened.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS ||
      type != REG_SZ || bytes % 2 != 0)
    return std::nullopt;
  std::wstring text(buffer, bytes / sizeof(wchar_t));
  if (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

DWORD ValueCount(HKEY root, const wchar_t* key) {
  win::UniqueHKey opened;
  DWORD values = 0;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, opened.put()) != ERROR_SUCCESS) return 0;
  RegQueryInfoKeyW(opened.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                   nullptr, nullptr);
  return values;
}

bool KeyExists(HKEY root, const wchar_t* key) {
  win::UniqueHKey opened;
  return RegOpenKeyExW(root, key, 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

std::wstring FolderPath(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

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

// Everything registration may leave behind is removed when made and again when it goes, so that a
// test that fails half-way (or a run that crashed) leaves the shared prefix as it found it.
class RegistrationTraces {
 public:
  RegistrationTraces() { Remove(); }
  ~RegistrationTraces() { Remove(); }
  RegistrationTraces(const RegistrationTraces&) = delete;
  RegistrationTraces& operator=(const RegistrationTraces&) = delete;
  void Remove() const {  // absent keys, values and files are fine
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, kProductName);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProductRunKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, kVersionKey);
    DeleteFileW(desktopLink.c_str());
    RemoveTree(startMenu);
  }
  const std::wstring desktopLink = FolderPath(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Tavo手机助手.lnk";
  const std::wstring startMenu = FolderPath(CSIDL_PROGRAMS) + L"\\Tavo手机助手";
};

// The suite installed into a folder whose path has spaces, as below "C:\Program Files (x86)";
// the two calls that follow a finished extraction, for each choice of the three options, and a
// second installation over the first.
TEST(Registration, EachOptionWritesItsEntriesAndNothingElse) {
  win::ComScope com;
  RegistrationTraces traces;
  ScratchFolder install(L"Tavo Registration Test");
  const std::wstring suite = install.path() + L"TavoPhoneAx";
  CreateDirectoryW(suite.c_str(), nullptr);
  const std::wstring mainExe = suite + L"\\Tavo.exe", uninstaller = suite + L"\\TavoUnInstall.exe";
  // Real programs, so that the links resolve as they do after an installation.
  for (const std::wstring& copy : {mainExe, uninstaller})
    ASSERT_TRUE(CopyFileW(StandInProgram(L"QXLD_Helper.exe").c_str(), copy.c_str(), FALSE));
  auto link = [](const std::wstring& target) { return std::pair{target, target}; };

  const struct {
    bool again;  // over the previous row's installation
    int desktop, startMenu, startAtBoot;
  } rows[] = {{false, 1, 1, 1}, {true, 1, 1, 1}, {false, 0, 0, 0}, {false, 1, 0, 0}, {false, 0, 1, 0}, {false, 0, 0, 1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "desktop " << row.desktop << ", start menu " << row.startMenu
                                    << ", start at boot " << row.startAtBoot << (row.again ? ", again" : ""));
    if (!row.again) traces.Remove();
    EXPECT_EQ(RegisterProduct(mainExe, 0, row.desktop, row.startMenu, row.startAtBoot), 1);
    if (!row.again) {
      EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << "the main program's call wrote the uninstall entry";
      EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kVersionKey));
    }
    EXPECT_EQ(RegisterProduct(uninstaller, 1, 0, row.startMenu, 0), 1);

    // The uninstall command is a command line; the icon a plain path.
    const std::pair<const wchar_t*, std::wstring> entry[] = {
        {L"DisplayName", kProductName}, {L"DisplayVersion", L"1.07"}, {L"URLInfoAbout", L"http://" VENDOR_SERVER L"/"},
        {L"UninstallString", L"\"" + uninstaller + L"\""}, {L"DisplayIcon", uninstaller}, {L"Publisher", kProductName}};
    for (const auto& [name, data] : entry) EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, name), data) << name;
    EXPECT_EQ(ValueCount(HKEY_LOCAL_MACHINE, kUninstallKey), std::size(entry));
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kVersionKey, L"CurrentVesion"), L"1.07");
    // The logon entry is a value of the Run key itself, where Windows reads it, and a command line.
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRunKey, kProductName),
              row.startAtBoot ? std::optional(L"\"" + mainExe + L"\"") : std::nullopt);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductRunKey));
    EXPECT_EQ(LoadLink(traces.desktopLink), row.desktop ? std::optional(link(mainExe)) : std::nullopt);
    EXPECT_EQ(LoadLink(traces.startMenu + L"\\Tavo手机助手.lnk"), row.startMenu ? std::optional(link(mainExe)) : std::nullopt);
    EXPECT_EQ(LoadLink(traces.startMenu + L"\\Tavo手机助手卸载.lnk"),
              row.startMenu ? std::optional(link(uninstaller)) : std::nullopt);
    if (!row.startMenu) EXPECT_EQ(GetFileAttributesW(traces.startMenu.c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

// A link whose path does not fit is refused rather than saved under a cut-off name.
TEST(Registration, ALinkPathTooLongIsRefused) {
  win::ComScope com;
  ScratchFolder links(L"TavoLinkTest");
  const std::wstring folder = links.path().substr(0, links.path().size() - 1);
  const std::wstring target = StandInProgram(L"QXLD_Helper.exe");
  EXPECT_FALSE(CreateShortcut(target.c_str(), nullptr, L"a.lnk", nullptr, 0, nullptr, SW_SHOWNORMAL));
  std::wstring longName(MAX_PATH - folder.size() - 1, L'x');  // one unit too many for a MAX_PATH buffer
  longName.replace(longName.size() - 4, 4, L".lnk");
  EXPECT_FALSE(CreateShortcut(target.c_str(), folder.c_str(), longName.c_str(), nullptr, 0, nullptr, SW_SHOWNORMAL));
  EXPECT_TRUE(RemoveDirectoryW(folder.c_str())) << "a link was saved";
}

}  // namespace
