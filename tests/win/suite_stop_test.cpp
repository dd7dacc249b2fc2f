// Stopping the suite's service and processes against the real service control manager and real
// processes of the Wine prefix, with the stand-ins of tools/demo.
#include "system/suite_stop.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/win/support/suite_stand_ins.h"

namespace {

const std::vector<std::wstring> kSuiteProcesses = {L"QXLD_Helper.exe", L"Tavo.exe", L"httpd.exe", L"http.exe",
                                                  L"ZADAV2ad.exe",    L"adb.exe",  L"aapt.exe"};

win::UniqueScHandle OpenSuiteService(DWORD access, win::UniqueScHandle& manager) {
  manager.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  return win::UniqueScHandle(manager ? OpenServiceW(manager.get(), kSuiteServiceName, access) : nullptr);
}

TEST(StopSuiteService, StopsTheRunningService) {
  test::InstalledSuiteService service(false);
  ASSERT_TRUE(service.running()) << "service did not start, error " << service.error();

  EXPECT_TRUE(StopSuiteService(kSuiteServiceName));
  EXPECT_EQ(test::SuiteServiceState(), static_cast<DWORD>(SERVICE_STOPPED));

  // Already stopped: nothing to wait for, and still reported as stopped.
  EXPECT_TRUE(StopSuiteService(kSuiteServiceName));
}

TEST(StopSuiteService, IsFalseWithoutTheService) {
  test::RemoveSuiteService();
  ASSERT_EQ(test::SuiteServiceState(), 0u);
  EXPECT_FALSE(StopSuiteService(kSuiteServiceName));
}

// The stand-in hangs in STOP_PENDING with checkpoint 1: the wait gives up on the second read
// instead of running into its limit (which would answer true with ERROR_TIMEOUT).
TEST(StopSuiteService, GivesUpOnAServiceThatMakesNoProgress) {
  test::InstalledSuiteService service(true);
  ASSERT_TRUE(service.running()) << "service did not start, error " << service.error();

  EXPECT_FALSE(StopSuiteService(kSuiteServiceName));
  EXPECT_EQ(test::SuiteServiceState(), static_cast<DWORD>(SERVICE_STOP_PENDING));

  win::UniqueScHandle manager;
  win::UniqueScHandle handle = OpenSuiteService(SERVICE_QUERY_STATUS, manager);
  ASSERT_TRUE(handle);
  SERVICE_STATUS status{};
  EXPECT_FALSE(WaitForServiceState(handle.get(), SERVICE_STOPPED, &status, INFINITE));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
  EXPECT_EQ(status.dwCheckPoint, 1u);
}

TEST(WaitForServiceState, EndsAtTheDesiredStateOrTheLimit) {
  test::InstalledSuiteService service(false);
  ASSERT_TRUE(service.running()) << "service did not start, error " << service.error();
  win::UniqueScHandle manager;
  win::UniqueScHandle handle = OpenSuiteService(SERVICE_QUERY_STATUS, manager);
  ASSERT_TRUE(handle);

  SERVICE_STATUS status{};
  EXPECT_TRUE(WaitForServiceState(handle.get(), SERVICE_RUNNING, &status, 10000));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));

  // A limit of 0 is over before the first sleep: true, with the time-out as last error.
  SetLastError(0);
  EXPECT_TRUE(WaitForServiceState(handle.get(), SERVICE_STOPPED, &status, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
}

TEST(KillSuiteProcesses, EndsExactlyTheProcessesOfTheListedNames) {
  test::ScratchFolder scratch(L"TavoKillTest");
  // Separate folders: the file system does not tell adb.exe from ADB.EXE.
  std::vector<test::RunningCopy> listed;
  listed.emplace_back(scratch.path() + L"lower", L"adb.exe");
  listed.emplace_back(scratch.path() + L"upper", L"ADB.EXE");
  listed.emplace_back(scratch.path() + L"tavo", L"Tavo.exe");
  listed.emplace_back(scratch.path() + L"tavo", L"Tavo.exe");
  std::vector<test::RunningCopy> unlisted;
  unlisted.emplace_back(scratch.path() + L"prefixed", L"myadb.exe");
  unlisted.emplace_back(scratch.path() + L"suffixed", L"adb.exe.bak");
  for (const auto* group : {&listed, &unlisted})
    for (const auto& copy : *group) ASSERT_TRUE(copy.started()) << "cannot start " << testing::PrintToString(copy.name());

  KillSuiteProcesses(kSuiteProcesses);

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
