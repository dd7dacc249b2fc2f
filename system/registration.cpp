#include "system/registration.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <cwchar>

#include "platform/log.h"
#include "platform/text.h"
#include "platform/win/handles.h"

namespace {

constexpr wchar_t kProductName[] = L"Tavo手机助手";
constexpr wchar_t kMainLinkName[] = L"Tavo手机助手.lnk";
constexpr wchar_t kUninstallLinkName[] = L"Tavo手机助手卸载.lnk";
constexpr wchar_t kStartMenuFolder[] = L"\\Tavo手机助手";
// The logon entry is a value named after the product directly under the Run key: Windows reads
// the values of that key and never looks into its subkeys.
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavo手机助手";
constexpr wchar_t kVersionKey[] = L"Software\\QXLDvesion";
constexpr wchar_t kVersionValue[] = L"CurrentVesion";
constexpr wchar_t kVersion[] = L"1.07";
// The vendor's home page, on the host the installer downloads from.
constexpr wchar_t kVendorHomePage[] = L"http://" VENDOR_SERVER L"/";

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

// Every link of the suite points at the program itself and describes itself by that path too.
void CreateProgramLink(const std::wstring& exePath, const std::wstring& folder, const wchar_t* linkName) {
  // A link that cannot be written is left out (and logged); registration goes on.
  const bool saved =
      CreateShortcut(exePath.c_str(), folder.c_str(), linkName, nullptr, 0, exePath.c_str(), SW_SHOWNORMAL);
  platform::Log("shortcut %s\\%s %s", platform::ToUtf8(folder).c_str(), platform::ToUtf8(linkName).c_str(),
                saved ? "written" : "FAILED");
}

// Writes one registry value and logs it; a failed write is left out, registration goes on.
void WriteLoggedValue(HKEY root, const wchar_t* subKey, const wchar_t* name, const wchar_t* data) {
  const bool written = WriteRegistryString(root, subKey, name, data);
  platform::Log("registry %s\\%s\\%s = %s %s", root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU",
                platform::ToUtf8(subKey).c_str(), platform::ToUtf8(name).c_str(), platform::ToUtf8(data).c_str(),
                written ? "written" : "FAILED");
}

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

int RegisterProduct(const std::wstring& exePath, int uninstaller, int desktop, int startMenu, int startAtBoot) {
  win::ComScope com;

  if (desktop) {
    std::wstring folder = SpecialFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY);
    if (!folder.empty()) CreateProgramLink(exePath, folder, kMainLinkName);
    else platform::Log("shortcut on the desktop FAILED: no desktop folder");
  }

  if (startMenu) {
    std::wstring folder = SpecialFolderPath(CSIDL_PROGRAMS);
    if (!folder.empty()) {
      folder += kStartMenuFolder;
      CreateDirectoryW(folder.c_str(), nullptr);  // may exist already; if it cannot be made, the save fails
      CreateProgramLink(exePath, folder, uninstaller == 1 ? kUninstallLinkName : kMainLinkName);
    } else {
      platform::Log("shortcut in the start menu FAILED: no programs folder");
    }
  }

  // Failed registry writes below are left out, like everything in this step.
  const std::wstring command = QuotedCommand(exePath);
  if (startAtBoot) WriteLoggedValue(HKEY_LOCAL_MACHINE, kRunKey, kProductName, command.c_str());

  if (uninstaller == 1) {
    {
      win::UniqueHKey key;
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                      key.put(), nullptr);  // the writes below create it as well
    }
    const struct {
      const wchar_t* name;
      const wchar_t* data;
    } uninstallValues[] = {
        {L"DisplayName", kProductName},
        {L"DisplayVersion", kVersion},
        {L"URLInfoAbout", kVendorHomePage},
        {L"UninstallString", command.c_str()},
        {L"DisplayIcon", exePath.c_str()},  // a plain path: an icon location is no command line
        {L"Publisher", kProductName},
    };
    for (const auto& value : uninstallValues) WriteLoggedValue(HKEY_LOCAL_MACHINE, kUninstallKey, value.name, value.data);

    // Four characters, no terminator; SHSetValueW creates the key when needed.
    const bool written = SHSetValueW(HKEY_CURRENT_USER, kVersionKey, kVersionValue, REG_SZ, kVersion,
                                     static_cast<DWORD>(std::wcslen(kVersion) * sizeof(wchar_t))) == ERROR_SUCCESS;
    platform::Log("registry HKCU\\%s\\%s = %s %s", platform::ToUtf8(kVersionKey).c_str(),
                  platform::ToUtf8(kVersionValue).c_str(), platform::ToUtf8(kVersion).c_str(),
                  written ? "written" : "FAILED");
  }

  return 1;
}
