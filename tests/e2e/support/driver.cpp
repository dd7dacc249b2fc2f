#include "tests/e2e/support/driver.h"

#include "tests/e2e/support/vendor_server.h"

namespace e2e {

InstallerProcess::InstallerProcess(const std::wstring& program, const std::wstring& arguments) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process_)) {
    process_ = {};
  }
}

InstallerProcess::~InstallerProcess() {
  if (!process_.hProcess) return;
  if (Running()) {
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 5000);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

namespace {

struct WindowSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindVisibleWindowOf(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND VisibleWindowOf(DWORD processId) {
  WindowSearch search{processId, nullptr};
  EnumWindows(&FindVisibleWindowOf, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND InstallerProcess::WaitForMainWindow(DWORD timeoutMs) const {
  const DWORD start = GetTickCount();
  do {
    if (HWND found = VisibleWindowOf(process_.dwProcessId)) return found;
    Sleep(100);
  } while (GetTickCount() - start < timeoutMs && Running());
  return nullptr;
}

bool InstallerProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
  if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(process_.hProcess, exitCode);
  return true;
}

bool InstallerProcess::Running() const {
  DWORD code = 0;
  return process_.hProcess && GetExitCodeProcess(process_.hProcess, &code) && code == STILL_ACTIVE;
}

void ClickCenter(HWND control) {
  RECT bounds{};
  GetWindowRect(control, &bounds);
  HWND top = GetAncestor(control, GA_ROOT);
  SetForegroundWindow(top);
  SetCursorPos((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
  Sleep(50);
  INPUT press[2] = {};
  press[0].type = INPUT_MOUSE;
  press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  press[1].type = INPUT_MOUSE;
  press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(1, &press[0], sizeof(INPUT));
  Sleep(50);
  SendInput(1, &press[1], sizeof(INPUT));
}

bool SaveScreenshot(HWND window, const std::wstring& name) {
  RECT r{};
  if (!GetWindowRect(window, &r)) return false;
  const std::wstring folder = std::wstring(UNIX_SOURCE_DIR) + L"/build/screenshots";
  const std::wstring crop = std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top) + L"+" +
                            std::to_wstring(r.left) + L"+" + std::to_wstring(r.top);
  return RunUnix(L"mkdir -p " + folder + L" && xwd -root -silent | convert xwd:- -crop " + crop + L" +repage " +
                 folder + L"/" + name + L".png") == 0;
}

}  // namespace e2e
