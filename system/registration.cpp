#include "system/registration.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cwchar>
#include <utility>

#include "platform/log.h"
#include "platform/text.h"
#include "platform/win/handles.h"
#include "system/suite.h"

namespace {

// The version value and the uninstall entry's DisplayVersion.
constexpr wchar_t kVersion[] = L"1.07";

// The file-system path of a special folder; empty when the shell cannot supply it.
std::wstring SpecialFolderPath(int csidl) {
  win::UniqueCoTaskMem<ITEMIDLIST> items;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, items.put())) || !items) return {};
  wchar_t path[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(items.get(), path)) return {};
  return path;
}

// A command line that runs exactly `path`: quoted, or Windows would try "C:\Program.exe" first for
// a path with spaces.
std::wstring QuotedCommand(const std::wstring& path) { return L"\"" + path + L"\""; }

// Collects what was written and logs each piece as it goes.
class Registrar {
 public:
  // Every link of the suite points at the program itself and describes itself by that path too.
  void Link(const std::wstring& exePath, const std::wstring& folder, const wchar_t* linkName) {
    const bool saved = !folder.empty() && CreateShortcut(exePath.c_str(), folder.c_str(), linkName, nullptr, 0,
                                                         exePath.c_str(), SW_SHOWNORMAL);
    Record(L"shortcut " + folder + L"\\" + linkName, saved);
  }
  void Value(HKEY root, const wchar_t* subKey, const wchar_t* name, const std::wstring& data) {
    const bool written = WriteRegistryString(root, subKey, name, data.c_str());
    Record(std::wstring(root == HKEY_LOCAL_MACHINE ? L"registry HKLM\\" : L"registry HKCU\\") + subKey + L"\\" + name + L" = " + data,
           written);
  }
  RegistrationReport Take() { return std::move(report_); }

 private:
  void Record(std::wstring what, bool written) {
    platform::Log("%s %s", platform::ToUtf8(what).c_str(), written ? "written" : "FAILED");
    report_.items.push_back({std::move(what), written});
  }
  RegistrationReport report_;
};

}  // namespace

bool CreateShortcut(const wchar_t* target, const wchar_t* folder, const wchar_t* linkName, const wchar_t* altTarget,
                    WORD hotkey, const wchar_t* description, int showCommand) noexcept {
  if (!folder || !target || !linkName) return false;

  win::ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
    return false;
  win::ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return false;

  // Only the save decides the outcome: a target the shell cannot resolve yet is still linked.
  link->SetPath(target);
  if (altTarget) link->SetPath(altTarget);
  if (hotkey != 0) link->SetHotkey(hotkey);
  if (description) link->SetDescription(description);
  link->SetShowCmd(showCommand);

  // A path cut short would save the link under another name: refuse what does not fit.
  wchar_t linkPath[MAX_PATH];
  int length = std::swprintf(linkPath, MAX_PATH, L"%ls\\%ls", folder, linkName);
  if (length < 0 || length >= MAX_PATH) return false;

  return SUCCEEDED(file->Save(linkPath, TRUE));
}

bool WriteRegistryString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const wchar_t* data) noexcept {
  if (!root || !subKey || !*subKey || !valueName || !*valueName || !data) return false;

  win::UniqueHKey key;
  if (RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.put(), nullptr) !=
      ERROR_SUCCESS)
    return false;
  // The stored string carries no terminating null.
  auto bytes = static_cast<DWORD>(std::wcslen(data) * sizeof(wchar_t));
  return RegSetValueExW(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), bytes) == ERROR_SUCCESS;
}

std::wstring RegisteredInstallDirectory() {
  win::UniqueHKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, suite::kUninstallKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return {};
  wchar_t command[MAX_PATH + 3] = {};
  DWORD bytes = sizeof(command) - sizeof(wchar_t), type = 0;
  if (RegQueryValueExW(key.get(), L"UninstallString", nullptr, &type, reinterpret_cast<BYTE*>(command), &bytes) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return {};
  std::wstring path(command, bytes / sizeof(wchar_t));
  while (!path.empty() && path.back() == L'\0') path.pop_back();
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
  const std::wstring tail = suite::kUninstaller;
  if (path.size() <= tail.size() || !platform::EqualsIgnoringCase(path.substr(path.size() - tail.size()), tail))
    return {};
  return path.substr(0, path.size() - tail.size());
}

bool RegistrationReport::Complete() const noexcept {
  for (const RegisteredItem& item : items)
    if (!item.written) return false;
  return true;
}

RegistrationReport RegisterProduct(const std::wstring& installDir, const RegistrationChoice& choice) {
  win::ComScope com;
  Registrar registrar;
  const std::wstring program = installDir + suite::kProgram;
  const std::wstring uninstaller = installDir + suite::kUninstaller;
  const std::wstring startMenu = SpecialFolderPath(CSIDL_PROGRAMS);
  const std::wstring menuFolder = startMenu.empty() ? std::wstring() : startMenu + L"\\" + suite::kStartMenuFolder;
  if (choice.startMenuShortcut && !menuFolder.empty())
    CreateDirectoryW(menuFolder.c_str(), nullptr);  // may exist; if it cannot be made, the links fail

  if (choice.desktopShortcut) registrar.Link(program, SpecialFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY), suite::kShortcut);
  if (choice.startMenuShortcut) registrar.Link(program, menuFolder, suite::kShortcut);
  // The logon entry is a value named after the product directly under the Run key: Windows reads
  // the values of that key and never looks into its subkeys.
  if (choice.startAtLogon) registrar.Value(HKEY_LOCAL_MACHINE, suite::kRunKey, suite::kProductName, QuotedCommand(program));
  if (choice.startMenuShortcut) registrar.Link(uninstaller, menuFolder, suite::kUninstallShortcut);

  const std::pair<const wchar_t*, std::wstring> uninstallValues[] = {
      {L"DisplayName", suite::kProductName},
      {L"DisplayVersion", kVersion},
      {L"URLInfoAbout", suite::kHomePage},
      {L"UninstallString", QuotedCommand(uninstaller)},
      {L"DisplayIcon", uninstaller},  // a plain path: an icon location is no command line
      {L"Publisher", suite::kProductName},
  };
  for (const auto& [name, data] : uninstallValues) registrar.Value(HKEY_LOCAL_MACHINE, suite::kUninstallKey, name, data);
  registrar.Value(HKEY_CURRENT_USER, suite::kVersionKey, suite::kVersionValue, kVersion);
  return registrar.Take();
}
