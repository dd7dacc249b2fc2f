// Names of the demo suite Tavo手机助手: its folder and programs, and the shortcuts and registry
// entries that the installer makes for it and its uninstaller removes again.
#pragma once

namespace suite {

inline constexpr wchar_t kProductName[] = L"Tavo手机助手";
inline constexpr wchar_t kVersion[] = L"1.07";
inline constexpr wchar_t kFolderName[] = L"TavoPhoneAx";

inline constexpr wchar_t kShortcut[] = L"Tavo手机助手.lnk";
inline constexpr wchar_t kUninstallShortcut[] = L"Tavo手机助手卸载.lnk";
inline constexpr wchar_t kStartMenuFolder[] = L"Tavo手机助手";

// Below HKEY_LOCAL_MACHINE. The installer writes the logon entry as a value named after the
// product directly under the Run key; installers before it wrote that value into a subkey of the
// same name below the Run key, which the uninstaller removes too.
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavo手机助手";
// Below HKEY_CURRENT_USER.
inline constexpr wchar_t kVersionKey[] = L"Software\\QXLDvesion";
inline constexpr wchar_t kVersionValue[] = L"CurrentVesion";

}  // namespace suite
