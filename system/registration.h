// Registering the installed suite with Windows: shortcuts, the run-at-logon entry, the entry in the
// list of installed programs and the version value.
//
// Everything here is silent: a failed shell or registry call leaves its piece out and the
// remaining pieces are still written. Called on the window thread after extraction; each call of
// RegisterProduct initialises COM for itself.
#pragma once

#include <windows.h>

#include <string>

// Registers one program of the suite. `exePath` is the full path of the program: shortcut target,
// Run data and, for the uninstaller, the uninstall command and icon. The Run data (the value
// "Tavo手机助手" directly under HKLM\...\CurrentVersion\Run) and the uninstall command are command
// lines, so they hold the path in double quotes; the icon is the plain path. `uninstaller` == 1
// marks the call for the uninstaller (start-menu link "Tavo手机助手卸载.lnk", uninstall entry and
// version value); any other value is the main program. The desktop link (all users' desktop)
// always bears the main program's name. `desktop`, `startMenu` and `startAtBoot` are yes when non-zero.
// Returns 1 whatever happened.
int RegisterProduct(const std::wstring& exePath, int uninstaller, int desktop, int startMenu, int startAtBoot);

// Saves the shell link folder\linkName pointing at `target` (or at `altTarget` when given), with
// `hotkey` when non-zero, `description` when given and `showCommand`. Needs COM initialised on the
// thread. False without a folder, when the link's path does not fit MAX_PATH, or when the link
// object cannot be made or saved; an existing link of that name is replaced.
[[nodiscard]] bool CreateShortcut(const wchar_t* target, const wchar_t* folder, const wchar_t* linkName,
                                  const wchar_t* altTarget, WORD hotkey, const wchar_t* description,
                                  int showCommand) noexcept;

// Creates or opens root\subKey and writes valueName as REG_SZ holding `data` without its
// terminating null. False, with nothing written, when root, subKey, valueName or data is absent or
// subKey or valueName is empty; otherwise the success of the write.
[[nodiscard]] bool WriteRegistryString(HKEY root, const wchar_t* subKey, const wchar_t* valueName,
                                       const wchar_t* data) noexcept;
