#include "system/suite_stop.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>

#include "platform/text.h"
#include "platform/win/handles.h"

namespace {

constexpr DWORD kStopLimitMs = 10000;

// One wait between two status reads: the service's wait hint, but never less than a second
// (a hint of 0 would spin) nor more than ten (a service may claim any hint).
constexpr DWORD kMinWaitMs = 1000;
constexpr DWORD kMaxWaitMs = 10000;

// The service's current state read with fresh handles; false when it cannot be read.
bool QueryServiceState(const wchar_t* serviceName, DWORD* state) {
  win::UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  win::UniqueScHandle service(OpenServiceW(manager.get(), serviceName, SERVICE_QUERY_STATUS));
  if (!service) return false;
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status),
                            &needed))
    return false;
  *state = status.dwCurrentState;
  return true;
}

}  // namespace

bool WaitForServiceState(SC_HANDLE service, DWORD desiredState, SERVICE_STATUS* status, DWORD limitMs) noexcept {
  // Elapsed time rather than a deadline tick, so that a tick count wrapping during the wait does
  // not end it early.
  const DWORD start = GetTickCount();
  if (!QueryServiceStatus(service, status)) return false;

  DWORD lastState = status->dwCurrentState;
  DWORD lastCheckPoint = status->dwCheckPoint;
  for (bool first = true;; first = false) {
    if (status->dwCurrentState == desiredState) return true;
    if (limitMs != INFINITE && GetTickCount() - start >= limitMs) {
      SetLastError(ERROR_TIMEOUT);
      return true;
    }
    if (!first) {
      if (status->dwCurrentState != lastState) {
        lastState = status->dwCurrentState;
      } else if (status->dwCheckPoint <= lastCheckPoint) {
        return false;  // same state, no progress since the last read
      }
      lastCheckPoint = status->dwCheckPoint;
    }
    DWORD wait = std::clamp<DWORD>(status->dwWaitHint, kMinWaitMs, kMaxWaitMs);
    if (limitMs != INFINITE) wait = std::min<DWORD>(wait, limitMs - (GetTickCount() - start));
    Sleep(wait);
    if (!QueryServiceStatus(service, status)) return false;
  }
}

bool StopSuiteService(const wchar_t* serviceName) noexcept {
  {
    win::UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    win::UniqueScHandle service;
    if (manager) service.reset(OpenServiceW(manager.get(), serviceName, SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (service) {
      SERVICE_STATUS status{};
      // A refused stop (already stopped, or not accepting it) shows in the wait and the final check.
      ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
      // Whether the wait ended by reaching the state, by the limit or for lack of progress, the final
      // check below decides.
      (void)WaitForServiceState(service.get(), SERVICE_STOPPED, &status, kStopLimitMs);
    }
    // The service handle closes before the manager's.
  }
  DWORD state = 0;
  return QueryServiceState(serviceName, &state) && state == SERVICE_STOPPED;
}

int KillSuiteProcesses(const std::vector<std::wstring>& names, const std::vector<std::wstring>& folders,
                       DWORD waitMs) noexcept {
  win::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  auto inside = [&](const std::wstring& image) {
    return std::any_of(folders.begin(), folders.end(), [&](const std::wstring& folder) {
      return !folder.empty() && image.size() > folder.size() &&
             platform::EqualsIgnoringCase(image.substr(0, folder.size()), folder);
    });
  };
  std::vector<win::UniqueHandle> ended;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (std::none_of(names.begin(), names.end(),
                     [&](const std::wstring& name) { return platform::EqualsIgnoringCase(entry.szExeFile, name); }))
      continue;
    // A process of another account with higher rights cannot be opened: skipped.
    win::UniqueHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (!process) continue;
    wchar_t image[MAX_PATH * 2] = {};
    DWORD length = MAX_PATH * 2;
    if (!QueryFullProcessImageNameW(process.get(), 0, image, &length) || !inside(std::wstring(image, length))) continue;
    if (TerminateProcess(process.get(), 0)) ended.push_back(std::move(process));
  }
  const DWORD start = GetTickCount();
  for (const win::UniqueHandle& process : ended) {
    const DWORD spent = GetTickCount() - start;
    (void)WaitForSingleObject(process.get(), spent < waitMs ? waitMs - spent : 0);  // one still exiting fails later writes
  }
  return static_cast<int>(ended.size());
}
