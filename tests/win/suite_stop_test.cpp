// Stopping the suite's service and processes against the real service control manager and real
// processes of the Wine prefix, with the stand-ins of tools/fixtures/demo.
#include "system/suite_stop.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/core/support/temp_dir.h"
#include "system/suite.h"
#include "tests/win/support/system.h"

namespace {

using namespace testsupport;

// The service opened for querying, with the manager it was opened through.
struct OpenedService {
  OpenedService() : manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)) {
    if (manager) service.reset(OpenServiceW(manager.get(), suite::kServiceName, SERVICE_QUERY_STATUS));
  }
  win::UniqueScHandle manager, service;
};

TEST(StopSuiteService, StopsTheRunningServiceAndIsFalseWithoutOne) {
  {
    InstalledSuiteService installed(false);
    ASSERT_TRUE(installed.running()) << "service did not start, error " << installed.error();
    OpenedService opened;
    ASSERT_TRUE(opened.service);
    SERVICE_STATUS status{};
    EXPECT_TRUE(WaitForServiceState(opened.service.get(), SERVICE_RUNNING, &status, 10000));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    // A limit of 0 is over before the first sleep: true, with the time-out as last error.
    SetLastError(0);
    EXPECT_TRUE(WaitForServiceState(opened.service.get(), SERVICE_STOPPED, &status, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));

    EXPECT_TRUE(StopSuiteService(suite::kServiceName));
    EXPECT_EQ(SuiteServiceState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(StopSuiteService(suite::kServiceName)) << "already stopped is stopped";
  }
  ASSERT_EQ(SuiteServiceState(), 0u);
  EXPECT_FALSE(StopSuiteService(suite::kServiceName));
}

// The stand-in hangs in STOP_PENDING with checkpoint 1: the wait gives up on the second read
// instead of running into its limit (which would answer true with ERROR_TIMEOUT).
TEST(StopSuiteService, GivesUpOnAServiceThatMakesNoProgress) {
  InstalledSuiteService installed(true);
  ASSERT_TRUE(installed.running()) << "service did not start, error " << installed.error();
  EXPECT_FALSE(StopSuiteService(suite::kServiceName));
  OpenedService opened;
  ASSERT_TRUE(opened.service);
  SERVICE_STATUS status{};
  EXPECT_FALSE(WaitForServiceState(opened.service.get(), SERVICE_STOPPED, &status, INFINITE));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
  EXPECT_EQ(status.dwCheckPoint, 1u);
}

TEST(KillSuiteProcesses, EndsExactlyTheProcessesOfTheListedNamesInTheSuitesFolders) {
  testsupport::TempDir scratch(L"TavoKillTest");
  // Separate folders: the file system does not tell adb.exe from ADB.EXE. The first four are
  // listed names in the suite's folders; the others are not listed or lie elsewhere.
  const std::pair<const wchar_t*, const wchar_t*> copies[] = {
      {L"lower", L"adb.exe"},       {L"upper", L"ADB.EXE"},          {L"tavo", L"Tavo.exe"}, {L"tavo", L"Tavo.exe"},
      {L"prefixed", L"myadb.exe"}, {L"suffixed", L"adb.exe.bak"}, {L"lowerelse", L"adb.exe"}};
  std::vector<Process> running;
  for (const auto& [folder, name] : copies) {
    running.push_back(RunningCopy(scratch.Wide() + folder, name));
    ASSERT_TRUE(running.back().started()) << "cannot start " << testing::PrintToString(std::wstring(name));
  }
  std::vector<std::wstring> folders;
  for (const wchar_t* folder : {L"lower\\", L"UPPER\\", L"tavo\\", L"prefixed\\", L"suffixed\\"})
    folders.push_back(scratch.Wide() + folder);
  EXPECT_EQ(KillSuiteProcesses({L"QXLD_Helper.exe", L"Tavo.exe", L"httpd.exe", L"http.exe", L"ZADAV2ad.exe",
                                L"adb.exe", L"aapt.exe"},
                               folders),
            4);
  for (size_t i = 0; i < running.size(); ++i) {
    const std::wstring name = copies[i].second;
    DWORD exitCode = 1;
    if (i < 4) {
      EXPECT_TRUE(running[i].WaitForExit(10000, &exitCode)) << testing::PrintToString(name) << " still runs";
      EXPECT_EQ(exitCode, 0u) << testing::PrintToString(name);
    } else {
      EXPECT_FALSE(running[i].WaitForExit(500, &exitCode)) << testing::PrintToString(name) << " was ended";
    }
  }
}

}  // namespace
