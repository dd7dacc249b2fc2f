// The identity of the suite Tavo手机助手 that the installer delivers: its folder and programs, its
// service and processes, the shortcuts and registry entries made for it, the package and the
// vendor's addresses. The installer, its tests and the demo suite all take them from here.
//
// Every string is seen by the outside world (paths, registry names, window titles, addresses):
// none of them may change.
#pragma once

namespace suite {

inline constexpr wchar_t kProductName[] = L"Tavo手机助手";
inline constexpr wchar_t kVersion[] = L"1.07";

// The installer's window title; a second start finds the running installer by it.
inline constexpr wchar_t kInstallerTitle[] = L"Tavo手机助手安装程序";
// Held for a whole installation: two installers would share the part files, the package and the
// install directory. Global, so that it also holds across the sessions of one machine.
inline constexpr wchar_t kSingleInstanceMutex[] = L"Global\\TavoPhoneAx.Installer";

// Below the install directory.
inline constexpr wchar_t kFolderName[] = L"TavoPhoneAx";
inline constexpr wchar_t kProgram[] = L"TavoPhoneAx\\Tavo.exe";
inline constexpr wchar_t kUninstaller[] = L"TavoPhoneAx\\TavoUnInstall.exe";

// What an earlier installation may still run: its Windows service and its processes.
inline constexpr wchar_t kServiceName[] = L"QXLD_Sever";
inline constexpr const wchar_t* kProcessNames[] = {L"QXLD_Helper.exe", L"Tavo.exe", L"httpd.exe", L"http.exe",
                                                   L"ZADAV2ad.exe",    L"adb.exe",  L"aapt.exe"};

// The package, as saved in the temporary directory.
inline constexpr wchar_t kPackageName[] = L"TavoPhoneAx.zip";

inline constexpr wchar_t kShortcut[] = L"Tavo手机助手.lnk";
inline constexpr wchar_t kUninstallShortcut[] = L"Tavo手机助手卸载.lnk";
inline constexpr wchar_t kStartMenuFolder[] = L"Tavo手机助手";

// Below HKEY_LOCAL_MACHINE. The installer writes the logon entry as a value named after the
// product directly under the Run key (Windows never looks into its subkeys); installers before it
// wrote that value into a subkey of the same name, which the uninstaller removes too.
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavo手机助手";
// Below HKEY_CURRENT_USER.
inline constexpr wchar_t kVersionKey[] = L"Software\\QXLDvesion";
inline constexpr wchar_t kVersionValue[] = L"CurrentVesion";

// The vendor's addresses, on the server the build names (VENDOR_SERVER, host[:port]); only the
// installer's modules are built with one.
#ifdef VENDOR_SERVER
inline constexpr wchar_t kPackageUrl[] = L"http://" VENDOR_SERVER L"/consezip/TavoPhoneAx.zip";
inline constexpr wchar_t kTermsUrl[] = L"http://" VENDOR_SERVER L"/terms.html";
inline constexpr wchar_t kOfflineInstallerUrl[] = L"http://" VENDOR_SERVER L"/consezip/InStallComplete.exe";
inline constexpr wchar_t kHomePage[] = L"http://" VENDOR_SERVER L"/";
#endif

}  // namespace suite
