// Registration of the suite against the real registry and shell links of the Wine prefix: what
// the completion handling's two calls leave behind, read back with the plain Win32 readers.
#include "system/registration.h"

#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win/handles.h"
#include "tests/win/support/suite_stand_ins.h"

namespace {

constexpr wchar_t kProductName[] = L"Tavo手机助手";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// Where older installers put the logon entry, and where Windows never looks.
constexpr wchar_t kProductRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Tavo手机助手";
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavo手机助手";
constexpr wchar_t kVersionKey[] = L"Software\\QXLDvesion";
constexpr wchar_t kScratchKey[] = L"Software\\TavoInstallerTests";

struct RegistryString {
  DWORD type = 0;
  DWORD bytes = 0;
  std::wstring text;  // the stored bytes as UTF-16 units, a terminator included if one was stored
};

// Strings are written with the byte count of their characters alone. RegSetValueExW (on Windows
// as under Wine) stores a terminator anyway when the unit just past that count is one, which it
// always is for a C string: the count passed cannot be read back, only the text and that nothing
// beyond one terminator was stored.
void ExpectString(const std::optional<RegistryString>& stored, const std::wstring& text, const char* what) {
  ASSERT_TRUE(stored) << what << " missing";
  EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ)) << what;
  std::wstring withoutTerminator = stored->text;
  if (!withoutTerminator.empty() && withoutTerminator.back() == L'\0') withoutTerminator.pop_back();
  EXPECT_EQ(withoutTerminator, text) << what;
  EXPECT_EQ(stored->bytes % 2, 0u) << what;
}

// Wine keeps a key's values sorted by name where Windows keeps the order they were written in,
// and it drops a link's show command.
bool RunsUnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

std::optional<RegistryString> ReadValue(HKEY root, const wchar_t* key, const wchar_t* name) {
  win::UniqueHKey opened;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, opened.put()) != ERROR_SUCCESS) return std::nullopt;
  RegistryString value;
  wchar_t buffer[1024] = {};
  value.bytes = sizeof(buffer);
  if (RegQueryValueExW(opened.get(), name, nullptr, &value.type, reinterpret_cast<BYTE*>(buffer), &value.bytes) !=
      ERROR_SUCCESS)
    return std::nullopt;
  value.text.assign(buffer, value.bytes / sizeof(wchar_t));
  return value;
}

bool KeyExists(HKEY root, const wchar_t* key) {
  win::UniqueHKey opened;
  return RegOpenKeyExW(root, key, 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

std::vector<std::wstring> ValueNames(HKEY root, const wchar_t* key) {
  std::vector<std::wstring> names;
  win::UniqueHKey opened;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, opened.put()) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumValueW(opened.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

std::wstring FolderPath(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct LinkInfo {
  std::wstring target;
  std::wstring description;
  int showCommand = 0;
};

std::optional<LinkInfo> LoadLink(const std::wstring& path) {
  win::ComPtr<IShellLinkW> link;
  win::ComPtr<IPersistFile> file;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())) ||
      FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) || FAILED(file->Load(path.c_str(), STGM_READ)))
    return std::nullopt;
  wchar_t target[MAX_PATH] = {};
  wchar_t description[MAX_PATH] = {};
  LinkInfo info;
  link->GetPath(target, MAX_PATH, nullptr, 0);
  link->GetDescription(description, MAX_PATH);
  link->GetShowCmd(&info.showCommand);
  info.target = target;
  info.description = description;
  return info;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// Removes everything registration may leave behind, when made and again when it goes, so that a
// test that fails half-way leaves the prefix as it found it.
class RegistrationTraces {
 public:
  RegistrationTraces() { Remove(); }
  ~RegistrationTraces() { Remove(); }
  RegistrationTraces(const RegistrationTraces&) = delete;
  RegistrationTraces& operator=(const RegistrationTraces&) = delete;

  void Remove() const {
    // Absent keys, values and files are fine.
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, kProductName);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProductRunKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, kVersionKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey);
    DeleteFileW(desktopLink.c_str());
    test::RemoveTree(startMenuFolder);
  }

  const std::wstring desktopLink = FolderPath(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Tavo手机助手.lnk";
  const std::wstring startMenuFolder = FolderPath(CSIDL_PROGRAMS) + L"\\Tavo手机助手";
};

// The suite installed into a folder whose path has spaces, as below "C:\Program Files (x86)".
class Registration : public testing::Test {
 protected:
  void SetUp() override {
    com_ = SUCCEEDED(CoInitialize(nullptr));
    std::wstring suite = install_.path() + L"TavoPhoneAx";
    CreateDirectoryW(suite.c_str(), nullptr);
    mainExe_ = suite + L"\\Tavo.exe";
    uninstallerExe_ = suite + L"\\TavoUnInstall.exe";
    // Real programs, so that the links resolve as they do after an installation.
    ASSERT_TRUE(CopyFileW(test::StandInProgram(L"QXLD_Helper.exe").c_str(), mainExe_.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(test::StandInProgram(L"QXLD_Helper.exe").c_str(), uninstallerExe_.c_str(), FALSE));
  }
  void TearDown() override {
    if (com_) CoUninitialize();
  }

  void ExpectLink(const std::wstring& path, const std::wstring& target) {
    std::optional<LinkInfo> link = LoadLink(path);
    ASSERT_TRUE(link) << testing::PrintToString(path) << " missing";
    EXPECT_EQ(link->target, target);
    EXPECT_EQ(link->description, target);
    EXPECT_EQ(link->showCommand, SW_SHOWNORMAL);
  }

  void ExpectUninstallEntryAndVersion() {
    struct Expected {
      const wchar_t* name;
      std::wstring data;
    };
    // The uninstall command is a command line; the icon a plain path.
    const Expected expected[] = {
        {L"DisplayName", L"Tavo手机助手"},
        {L"DisplayVersion", L"1.07"},
        {L"URLInfoAbout", L"http://" VENDOR_SERVER L"/"},
        {L"UninstallString", Quoted(uninstallerExe_)},
        {L"DisplayIcon", uninstallerExe_},
        {L"Publisher", L"Tavo手机助手"},
    };
    std::vector<std::wstring> order;
    for (const Expected& value : expected) {
      order.emplace_back(value.name);
      std::string what = testing::PrintToString(std::wstring(value.name));
      ExpectString(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, value.name), value.data, what.c_str());
    }
    if (RunsUnderWine()) {
      EXPECT_EQ(ValueNames(HKEY_LOCAL_MACHINE, kUninstallKey).size(), order.size());
    } else {
      EXPECT_EQ(ValueNames(HKEY_LOCAL_MACHINE, kUninstallKey), order);
    }

    ExpectString(ReadValue(HKEY_CURRENT_USER, kVersionKey, L"CurrentVesion"), L"1.07", "CurrentVesion");
  }

  RegistrationTraces traces_;
  test::ScratchFolder install_{L"Tavo Registration Test"};
  std::wstring mainExe_, uninstallerExe_;
  bool com_ = false;
};

// The two calls that follow a finished extraction, for each choice of the three options.
TEST_F(Registration, EachOptionWritesItsEntriesAndNothingElse) {
  const struct {
    int desktop, startMenu, startAtBoot;
  } choices[] = {{1, 1, 1}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (const auto& choice : choices) {
    SCOPED_TRACE(testing::Message() << "desktop " << choice.desktop << ", start menu " << choice.startMenu
                                    << ", start at boot " << choice.startAtBoot);
    traces_.Remove();
    EXPECT_EQ(RegisterProduct(mainExe_, 0, choice.desktop, choice.startMenu, choice.startAtBoot), 1);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << "the main program's call wrote the uninstall entry";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kVersionKey));
    EXPECT_EQ(RegisterProduct(uninstallerExe_, 1, 0, choice.startMenu, 0), 1);

    ExpectUninstallEntryAndVersion();
    // The logon entry is a value of the Run key itself, where Windows reads it, and a command line.
    if (choice.startAtBoot) {
      ExpectString(ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kProductName), Quoted(mainExe_), "Run entry");
    } else {
      EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kProductName));
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductRunKey));
    if (choice.desktop) {
      ExpectLink(traces_.desktopLink, mainExe_);
    } else {
      EXPECT_FALSE(FileExists(traces_.desktopLink));
    }
    if (choice.startMenu) {
      ExpectLink(traces_.startMenuFolder + L"\\Tavo手机助手.lnk", mainExe_);
      ExpectLink(traces_.startMenuFolder + L"\\Tavo手机助手卸载.lnk", uninstallerExe_);
    } else {
      EXPECT_FALSE(FileExists(traces_.startMenuFolder));
    }
  }
}

TEST_F(Registration, ASecondInstallationReplacesLinksAndEntriesInPlace) {
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(RegisterProduct(mainExe_, 0, 1, 1, 1), 1);
    EXPECT_EQ(RegisterProduct(uninstallerExe_, 1, 0, 1, 0), 1);
  }
  ExpectLink(traces_.startMenuFolder + L"\\Tavo手机助手.lnk", mainExe_);
  ExpectLink(traces_.desktopLink, mainExe_);
  ExpectUninstallEntryAndVersion();
  ExpectString(ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kProductName), Quoted(mainExe_), "Run entry");
}

TEST_F(Registration, WriteRegistryStringRefusesMissingNames) {
  EXPECT_FALSE(WriteRegistryString(HKEY_CURRENT_USER, L"", L"Name", L"data"));
  EXPECT_FALSE(WriteRegistryString(HKEY_CURRENT_USER, nullptr, L"Name", L"data"));
  EXPECT_FALSE(WriteRegistryString(HKEY_CURRENT_USER, kScratchKey, L"", L"data"));
  EXPECT_FALSE(WriteRegistryString(HKEY_CURRENT_USER, kScratchKey, nullptr, L"data"));
  EXPECT_FALSE(WriteRegistryString(HKEY_CURRENT_USER, kScratchKey, L"Name", nullptr));
  EXPECT_FALSE(WriteRegistryString(nullptr, kScratchKey, L"Name", L"data"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kScratchKey));

  EXPECT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, kScratchKey, L"Empty", L""));
  std::optional<RegistryString> empty = ReadValue(HKEY_CURRENT_USER, kScratchKey, L"Empty");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(empty->bytes, 0u);
}

TEST_F(Registration, CreateShortcutNeedsAFolderAndAPathThatFits) {
  test::ScratchFolder links(L"TavoLinkTest");
  std::wstring folder = links.path().substr(0, links.path().size() - 1);

  EXPECT_FALSE(CreateShortcut(mainExe_.c_str(), nullptr, L"a.lnk", nullptr, 0, nullptr, SW_SHOWNORMAL));

  // One unit too many for a MAX_PATH buffer: refused rather than saved under a cut-off name.
  std::wstring longName(MAX_PATH - folder.size() - 1, L'x');
  longName.replace(longName.size() - 4, 4, L".lnk");
  EXPECT_FALSE(CreateShortcut(mainExe_.c_str(), folder.c_str(), longName.c_str(), nullptr, 0, nullptr, SW_SHOWNORMAL));
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((links.path() + L"*.lnk").c_str(), &found);
  EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "a link was saved";
  if (search != INVALID_HANDLE_VALUE) FindClose(search);

  // The alternative target wins over the target.
  ASSERT_TRUE(CreateShortcut(mainExe_.c_str(), folder.c_str(), L"alt.lnk", uninstallerExe_.c_str(), 0, L"d",
                             SW_SHOWMAXIMIZED));
  std::optional<LinkInfo> link = LoadLink(links.path() + L"alt.lnk");
  ASSERT_TRUE(link);
  EXPECT_EQ(link->target, uninstallerExe_);
  EXPECT_EQ(link->description, L"d");
  // Wine's shell link reads any saved show command back as SW_SHOWNORMAL.
  if (!RunsUnderWine()) {
    EXPECT_EQ(link->showCommand, SW_SHOWMAXIMIZED);
  }
}

}  // namespace
