// Stopping the suite's service and processes against the real service control manager and real
// processes of the Wine prefix, with the stand-ins of tools/demo.
#include "system/suite_stop.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/win/support/suite_stand_ins.h"

namespace {

using namespace testing_support;

// The service for querying, with the manager it was opened through.
struct OpenedService {
  OpenedService() : manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)) {
    if (manager) service.reset(OpenServiceW(manager.get(), kSuiteServiceName, SERVICE_QUERY_STATUS));
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

    EXPECT_TRUE(StopSuiteService(kSuiteServiceName));
    EXPECT_EQ(SuiteServiceState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(StopSuiteService(kSuiteServiceName)) << "already stopped is stopped";
  }
  ASSERT_EQ(SuiteServiceState(), 0u);
  EXPECT_FALSE(StopSuiteService(kSuiteServiceName));
}

// The stand-in hangs in STOP_PENDING with checkpoint 1: the wait gives up on the second read
// instead of running into its limit (which would answer true with ERROR_TIMEOUT).
TEST(StopSuiteService, GivesUpOnAServiceThatMakesNoProgress) {
  InstalledSuiteService installed(true);
  ASSERT_TRUE(installed.running()) << "service did not start, error " << installed.error();
  EXPECT_FALSE(StopSuiteService(kSuiteServiceName));
  EXPECT_EQ(SuiteServiceState(), static_cast<DWORD>(SERVICE_STOP_PENDING));
  OpenedService opened;
  ASSERT_TRUE(opened.service);
  SERVICE_STATUS status{};
  EXPECT_FALSE(WaitForServiceState(opened.service.get(), SERVICE_STOPPED, &status, INFINITE));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
  EXPECT_EQ(status.dwCheckPoint, 1u);
}

TEST(KillSuiteProcesses, EndsExactlyTheProcessesOfTheListedNames) {
  ScratchFolder scratch(L"TavoKillTest");
  // Separate folders: the file system does not tell adb.exe from ADB.EXE.
  std::vector<RunningCopy> listed, unlisted;
  listed.emplace_back(scratch.path() + L"lower", L"adb.exe");
  listed.emplace_back(scratch.path() + L"upper", L"ADB.EXE");
  listed.emplace_back(scratch.path() + L"tavo", L"Tavo.exe");
  listed.emplace_back(scratch.path() + L"tavo", L"Tavo.exe");
  unlisted.emplace_back(scratch.path() + L"prefixed", L"myadb.exe");
  unlisted.emplace_back(scratch.path() + L"suffixed", L"adb.exe.bak");
  for (const auto* group : {&listed, &unlisted})
    for (const auto& copy : *group) ASSERT_TRUE(copy.started()) << "cannot start " << testing::PrintToString(copy.name());

  KillSuiteProcesses({L"QXLD_Helper.exe", L"Tavo.exe", L"httpd.exe", L"http.exe", L"ZADAV2ad.exe", L"adb.exe", L"aapt.exe"});
  for (const auto& copy : listed) {
    DWORD exitCode = 1;
    EXPECT_TRUE(copy.EndsWithin(10000, &exitCode)) << testing::PrintToString(copy.name()) << " still runs";
    EXPECT_EQ(exitCode, 0u) << testing::PrintToString(copy.name());
  }
  for (const auto& copy : unlisted) {
    DWORD exitCode = 0;
    EXPECT_FALSE(copy.EndsWithin(500, &exitCode)) << testing::PrintToString(copy.name()) << " was ended";
  }
}

}  // namespace
