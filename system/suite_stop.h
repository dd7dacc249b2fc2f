// Stopping what an earlier installation of the suite still runs: its Windows service and its
// processes, so that the new files can replace the old ones.
//
// Both steps are silent and best effort: the install command goes on whatever they achieve.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Asks the service `serviceName` to stop and waits up to 10 s for it. True when, afterwards, the
// service is found stopped; false when it is not installed, cannot be opened or has not stopped.
// Returns at once when the service cannot be opened.
[[nodiscard]] bool StopSuiteService(const wchar_t* serviceName) noexcept;

// Polls `service` (opened with SERVICE_QUERY_STATUS) until it reports `desiredState`, sleeping for
// the wait hint it reports, clamped to 1–10 s and never past the limit, between reads. True when
// the state was reached or `limitMs` ran out (then GetLastError() is ERROR_TIMEOUT); INFINITE
// means no limit. False when the status cannot be
// read or the service stays in one state without raising its checkpoint between two reads. The
// last status read is left in `status`.
[[nodiscard]] bool WaitForServiceState(SC_HANDLE service, DWORD desiredState, SERVICE_STATUS* status,
                                       DWORD limitMs) noexcept;

// Terminates, with exit code 0, every process whose executable file name equals one of `names`
// (ASCII letters compared without regard to case, whole name) and whose image lies inside one of
// `folders` (full paths ending with "\\"): another program's adb.exe elsewhere is left alone. Waits
// up to `waitMs` in all for the ended processes to exit, so that their files can be replaced.
// Processes that cannot be opened, or whose image path cannot be read, are skipped. Returns how
// many were ended.
int KillSuiteProcesses(const std::vector<std::wstring>& names, const std::vector<std::wstring>& folders,
                       DWORD waitMs = 5000) noexcept;
