#include "tests/win/support/suite_stand_ins.h"

#include <shellapi.h>

namespace testing_support {
namespace {

constexpr wchar_t kServiceName[] = L"QXLD_Sever";
constexpr wchar_t kReleaseEvent[] = L"Global\\QXLD_Sever.release";

// Polls the service until `done` says yes for its state, for up to 30 s.
template <typename Done>
bool PollServiceState(Done done) {
  for (int i = 0; i < 300; ++i) {
    if (done(SuiteServiceState())) return true;
    Sleep(100);
  }
  return false;
}

}  // namespace

std::wstring StandInProgram(const wchar_t* fileName) { return std::wstring(DEMO_BIN_DIR) + L"\\" + fileName; }

ScratchFolder::ScratchFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + name + L"\\";
  RemoveTree(path_);
  CreateDirectoryW(path_.c_str(), nullptr);
}

void RemoveTree(const std::wstring& folder) {
  std::wstring from = folder;
  while (!from.empty() && from.back() == L'\\') from.pop_back();
  if (GetFileAttributesW(from.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  from.push_back(L'\0');  // the list of paths ends with an empty one
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NO_UI;
  SHFileOperationW(&operation);  // leftovers only clutter the temporary folder
}

DWORD SuiteServiceState() {
  win::UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return 0;
  win::UniqueScHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_QUERY_STATUS));
  SERVICE_STATUS status{};
  if (!service || !QueryServiceStatus(service.get(), &status)) return 0;
  return status.dwCurrentState;
}

void RemoveSuiteService() {
  // A stalled stop of an earlier test or run is let go first.
  win::UniqueHandle release(OpenEventW(EVENT_MODIFY_STATE, FALSE, kReleaseEvent));
  if (release) SetEvent(release.get());
  {
    win::UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return;
    win::UniqueScHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service) return;
    SERVICE_STATUS status{};
    ControlService(service.get(), SERVICE_CONTROL_STOP, &status);  // refused when already stopped
    PollServiceState([](DWORD state) { return state == SERVICE_STOPPED; });
    DeleteService(service.get());
  }
  PollServiceState([](DWORD state) { return state == 0; });
}

InstalledSuiteService::InstalledSuiteService(bool stallStop) {
  RemoveSuiteService();
  win::UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
  std::wstring command = L"\"" + StandInProgram(L"QXLD_Sever.exe") + L"\"";
  if (stallStop) command += L" --stall-stop";
  win::UniqueScHandle service;
  if (manager)
    service.reset(CreateServiceW(manager.get(), kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                 SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                 command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!service || !StartServiceW(service.get(), 0, nullptr)) {
    error_ = GetLastError();
    return;
  }
  running_ = PollServiceState([](DWORD state) { return state == SERVICE_RUNNING; });
}

RunningCopy::RunningCopy(const std::wstring& folder, const wchar_t* exeName) : name_(exeName) {
  CreateDirectoryW(folder.c_str(), nullptr);  // shared by several copies: may exist
  std::wstring path = folder + L"\\" + exeName;
  // A second process of the same name runs the same file, which cannot be overwritten while it runs.
  CopyFileW(StandInProgram(L"QXLD_Helper.exe").c_str(), path.c_str(), TRUE);
  std::wstring commandLine = L"\"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &info)) {
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    WaitForInputIdle(info.hProcess, 5000);  // up and in its message loop
  }
}

RunningCopy::~RunningCopy() {
  if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 5000);
  }
}

bool RunningCopy::EndsWithin(DWORD timeoutMs, DWORD* exitCode) const {
  if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
  return GetExitCodeProcess(process_.get(), exitCode) != 0;
}

}  // namespace testing_support
