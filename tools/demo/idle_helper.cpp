// QXLD_Helper.exe: a stand-in for one of the suite's background programs. It opens no window and
// does nothing until it is terminated or its thread receives WM_QUIT. Tests copy it under other
// names (adb.exe, Tavo.exe, ...) to have running processes of those names.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
