// QXLD_Sever.exe: a stand-in for the suite's Windows service "QXLD_Sever", for the tests and the
// demo package.
//
// Started by the service control manager, it runs until asked to stop. A stop passes through
// STOP_PENDING with a rising checkpoint before STOPPED, as a real service's shutdown does.
//
// With the argument --stall-stop (in the service's command line or among its start arguments) it
// answers a stop with STOP_PENDING and then stays there, checkpoint unchanged, like a service hung
// in its shutdown, until the event "Global\QXLD_Sever.release" is set or a minute has passed.
//
// Started by hand it cannot reach the service control manager: it says so and exits with 1.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "platform/win/handles.h"

namespace {

constexpr wchar_t kServiceName[] = L"QXLD_Sever";
constexpr wchar_t kStallFlag[] = L"--stall-stop";
constexpr wchar_t kReleaseEvent[] = L"Global\\QXLD_Sever.release";
constexpr DWORD kStallLimitMs = 60000;

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
HANDLE g_stopRequested = nullptr;
bool g_stallStop = false;

void Report(DWORD state, DWORD checkPoint, DWORD waitHintMs) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status.dwWin32ExitCode = NO_ERROR;
  status.dwCheckPoint = checkPoint;
  status.dwWaitHint = waitHintMs;
  SetServiceStatus(g_statusHandle, &status);  // nothing to do about a manager that does not listen
}

bool HasStallFlag(DWORD argc, wchar_t** argv) {
  for (DWORD i = 1; i < argc; ++i)
    if (std::wcscmp(argv[i], kStallFlag) == 0) return true;
  return false;
}

DWORD WINAPI HandleControl(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      // Answered at once, before the service thread does anything: a stall shows from the first read.
      Report(SERVICE_STOP_PENDING, 1, g_stallStop ? 200 : 1000);
      SetEvent(g_stopRequested);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
  g_stallStop = g_stallStop || HasStallFlag(argc, argv);
  g_statusHandle = RegisterServiceCtrlHandlerExW(kServiceName, HandleControl, nullptr);
  if (!g_statusHandle) return;
  g_stopRequested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const win::UniqueHandle release(g_stallStop ? CreateEventW(nullptr, TRUE, FALSE, kReleaseEvent) : nullptr);
  Report(SERVICE_RUNNING, 0, 0);

  WaitForSingleObject(g_stopRequested, INFINITE);
  if (g_stallStop) {
    // Stuck: the checkpoint stays where the control handler left it.
    if (release) WaitForSingleObject(release.get(), kStallLimitMs);
    else Sleep(kStallLimitMs);
  } else {
    Report(SERVICE_STOP_PENDING, 2, 1000);
    Sleep(100);
  }
  Report(SERVICE_STOPPED, 0, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  g_stallStop = HasStallFlag(static_cast<DWORD>(argc), argv);
  SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kServiceName), ServiceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(table)) {
    std::fprintf(stderr, "QXLD_Sever: runs only as a service (error %lu)\n", GetLastError());
    return 1;
  }
  return 0;
}
