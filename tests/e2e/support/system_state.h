// What the end-to-end tests look at and prepare around the programs they drive: files and
// folders, registry values, special folders, and message boxes a program shows.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

bool Exists(const std::wstring& path);
// Writes `content` to `path`, replacing it; false when the file could not be written.
bool PutFile(const std::wstring& path, const std::string& content);
// The whole content of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
// Deletes a folder with everything in it, read-only files included.
void RemoveTree(const std::wstring& path);

std::wstring SpecialFolder(int csidl);
// The temporary directory, ending in "\\".
std::wstring TempDirectory();

bool HasKey(HKEY root, const std::wstring& key);
bool HasValue(HKEY root, const std::wstring& key, const std::wstring& name);
// A string value's data; false when absent.
bool ReadString(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring* data);

// The visible message box (a "#32770" dialog other than `except`) of process `processId`,
// waiting up to `timeoutMs`; null when none came.
HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs = 15000, HWND except = nullptr);
std::wstring WindowText(HWND window);
// The text a message box shows.
std::wstring MessageBoxText(HWND box);

// The demo uninstaller finishes from copies of itself in the temporary directory, which stay
// until a restart: deletes them once they have ended.
void RemoveUninstallerCopies(const std::wstring& temp);

// Polls `condition` every 100 ms for up to `timeoutMs`; true once it holds.
template <typename Condition>
bool Eventually(Condition condition, DWORD timeoutMs = 15000) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(100);
  }
  return true;
}

}  // namespace e2e
