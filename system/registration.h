// Registering the installed suite with Windows: shortcuts, the run-at-logon entry, the entry in the
// list of installed programs and the version value.
//
// Everything here is best effort: a failed shell or registry call leaves its piece out, the
// remaining pieces are still written, and the report says which were.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What the user chose to register beyond what every installation writes (the uninstall entry, the
// version value and, with the start-menu links, the uninstaller's link).
struct RegistrationChoice {
  bool desktopShortcut = true;    // the main program's link on all users' desktop
  bool startMenuShortcut = true;  // "Tavo手机助手" in the start menu: the program's and the uninstaller's link
  bool startAtLogon = true;       // the value "Tavo手机助手" directly under HKLM\...\CurrentVersion\Run
};

// One piece of the registration (a link's or a registry value's path) and whether it was written.
struct RegisteredItem {
  std::wstring what;
  bool written = false;
};

struct RegistrationReport {
  std::vector<RegisteredItem> items;  // in the order they were attempted
  [[nodiscard]] bool Complete() const noexcept;
};

// Registers the suite installed below `installDir` (ending with "\\"): the links and the Run value
// `choice` asks for, the uninstall entry and the version value. The Run data and the uninstall
// command are command lines, so they hold the program's path in double quotes; the icon is the
// plain path. Each piece that fails is left out (and logged); the rest is still written. Initialises
// COM on the calling thread for the duration of the call.
[[nodiscard]] RegistrationReport RegisterProduct(const std::wstring& installDir, const RegistrationChoice& choice);

// The install directory (ending with "\\") of the installation the uninstall entry names, read from
// its uninstall command; empty when there is no entry or it names no uninstaller of the suite.
[[nodiscard]] std::wstring RegisteredInstallDirectory();

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
