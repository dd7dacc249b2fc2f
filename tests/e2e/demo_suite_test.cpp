// The demo suite that the installer delivers: Tavo.exe shows the folder it runs from, and
// TavoUnInstall.exe, once the user agrees, removes the suite's shortcuts, registry entries and
// folder, also while the suite is running, and touches nothing of anyone else.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/support/driver.h"
#include "tests/e2e/support/system_state.h"

namespace {

const std::wstring kSuiteBin = DEMO_SUITE_DIR;
const std::wstring kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavo手机助手";
const std::wstring kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// Where older installers put the logon entry; the uninstaller removes it as well.
const std::wstring kRunSubKey = kRunKey + L"\\Tavo手机助手";
const std::wstring kVersionKey = L"Software\\QXLDvesion";
const std::wstring kNeighbour = L"DemoSuiteTestNeighbour";

using e2e::Eventually;
using e2e::Exists;
using e2e::HasKey;
using e2e::HasValue;
using e2e::RemoveTree;
using e2e::SpecialFolder;

void PutFile(const std::wstring& path, const std::string& content) {
  ASSERT_TRUE(e2e::PutFile(path, content)) << "cannot create a file of the planted suite";
}

void SetString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& data) {
  ASSERT_EQ(RegSetKeyValueW(root, key.c_str(), name.c_str(), REG_SZ, data.c_str(),
                            static_cast<DWORD>(data.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

// Waits for the uninstaller's question and presses its button `buttonId` with the mouse.
void AnswerBox(const e2e::InstallerProcess& process, int buttonId) {
  HWND box = e2e::WaitForMessageBox(process.id());
  ASSERT_NE(box, nullptr) << "the uninstaller asked nothing";
  EXPECT_EQ(e2e::WindowText(box), L"Tavo手机助手卸载");
  HWND button = GetDlgItem(box, buttonId);
  ASSERT_NE(button, nullptr);
  e2e::ClickCenter(button);
}

// An installed demo suite: <temp>\demo-suite-test\<name> holding both programs, a data folder
// and a read-only file, with the shortcuts and registry entries the installer makes, and
// neighbours (another program's logon entry and desktop shortcut) that must survive.
class DemoSuite : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    temp_ = temp;
    base_ = temp_ + L"demo-suite-test";
    RemoveTree(base_);
    CreateDirectoryW(base_.c_str(), nullptr);
    desktop_ = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    startMenu_ = SpecialFolder(CSIDL_PROGRAMS) + L"\\Tavo手机助手";
    ASSERT_FALSE(desktop_.empty());
  }

  void TearDown() override {
    e2e::RemoveUninstallerCopies(temp_);
    RemoveTree(base_);
    DeleteFileW((desktop_ + L"\\" + kNeighbour + L".lnk").c_str());
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey.c_str(), kNeighbour.c_str());
    RemoveTree(startMenu_);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey.c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRunSubKey.c_str());
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey.c_str(), L"Tavo手机助手");
    RegDeleteTreeW(HKEY_CURRENT_USER, kVersionKey.c_str());
    DeleteFileW((desktop_ + L"\\Tavo手机助手.lnk").c_str());
  }

  // Plants the suite in a folder called `name`; returns the folder.
  std::wstring Plant(const std::wstring& name) {
    std::wstring folder = base_ + L"\\" + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\skin").c_str(), nullptr);
    for (const wchar_t* program : {L"Tavo.exe", L"TavoUnInstall.exe"}) {
      EXPECT_TRUE(CopyFileW((kSuiteBin + L"\\" + program).c_str(), (folder + L"\\" + program).c_str(), FALSE))
          << "the demo suite is not built";
    }
    PutFile(folder + L"\\skin\\main.png", "not really a picture");
    PutFile(folder + L"\\readme.txt", "read only");
    SetFileAttributesW((folder + L"\\readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    PutFile(desktop_ + L"\\Tavo手机助手.lnk", "link");
    PutFile(desktop_ + L"\\" + kNeighbour + L".lnk", "link");
    CreateDirectoryW(startMenu_.c_str(), nullptr);
    PutFile(startMenu_ + L"\\Tavo手机助手.lnk", "link");
    PutFile(startMenu_ + L"\\Tavo手机助手卸载.lnk", "link");

    SetString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName", L"Tavo手机助手");
    SetString(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString", folder + L"\\TavoUnInstall.exe");
    SetString(HKEY_LOCAL_MACHINE, kRunKey, L"Tavo手机助手", L"\"" + folder + L"\\Tavo.exe\"");
    SetString(HKEY_LOCAL_MACHINE, kRunSubKey, L"Tavo手机助手", folder + L"\\Tavo.exe");
    SetString(HKEY_LOCAL_MACHINE, kRunKey, kNeighbour, L"C:\\neighbour.exe");
    SetString(HKEY_CURRENT_USER, kVersionKey, L"CurrentVesion", L"1.07");
    return folder;
  }

  bool EntriesPresent() const {
    return Exists(desktop_ + L"\\Tavo手机助手.lnk") && Exists(startMenu_ + L"\\Tavo手机助手卸载.lnk") &&
           HasKey(HKEY_LOCAL_MACHINE, kUninstallKey) && HasKey(HKEY_LOCAL_MACHINE, kRunSubKey) &&
           HasValue(HKEY_LOCAL_MACHINE, kRunKey, L"Tavo手机助手") &&
           HasValue(HKEY_CURRENT_USER, kVersionKey, L"CurrentVesion");
  }

  void ExpectEntriesGone() const {
    EXPECT_FALSE(Exists(desktop_ + L"\\Tavo手机助手.lnk"));
    EXPECT_FALSE(Exists(startMenu_)) << "the start-menu folder stays";
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, kRunSubKey));
    EXPECT_FALSE(HasValue(HKEY_LOCAL_MACHINE, kRunKey, L"Tavo手机助手"));
    EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, kVersionKey));
    EXPECT_TRUE(Exists(desktop_ + L"\\" + kNeighbour + L".lnk")) << "another program's shortcut was removed";
    EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, kRunKey, kNeighbour)) << "another program's logon entry was removed";
  }

  std::wstring temp_;
  std::wstring base_;
  std::wstring desktop_;
  std::wstring startMenu_;
};

BOOL CALLBACK CollectTexts(HWND child, LPARAM context) {
  wchar_t text[MAX_PATH] = {};
  GetWindowTextW(child, text, MAX_PATH);
  reinterpret_cast<std::vector<std::wstring>*>(context)->push_back(text);
  return TRUE;
}

TEST_F(DemoSuite, TavoShowsItsWindowWithTheFolderItRunsFrom) {
  const std::wstring folder = Plant(L"TavoPhoneAx");
  e2e::InstallerProcess tavo(folder + L"\\Tavo.exe");
  ASSERT_TRUE(tavo.started());
  HWND window = tavo.WaitForMainWindow();
  ASSERT_NE(window, nullptr) << "Tavo.exe shows no window";

  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  EXPECT_STREQ(title, L"Tavo手机助手");
  std::vector<std::wstring> texts;
  EnumChildWindows(window, &CollectTexts, reinterpret_cast<LPARAM>(&texts));
  EXPECT_NE(std::find(texts.begin(), texts.end(), folder), texts.end()) << "the install folder is not shown";

  PostMessageW(window, WM_CLOSE, 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(tavo.WaitForExit(5000, &code));
  EXPECT_EQ(code, 0u);
}

TEST_F(DemoSuite, UninstallerRemovesTheRunningSuiteAfterConsent) {
  const std::wstring folder = Plant(L"TavoPhoneAx");
  ASSERT_TRUE(EntriesPresent());
  e2e::InstallerProcess tavo(folder + L"\\Tavo.exe");
  ASSERT_NE(tavo.WaitForMainWindow(), nullptr);

  e2e::InstallerProcess uninstaller(folder + L"\\TavoUnInstall.exe");
  ASSERT_TRUE(uninstaller.started());
  AnswerBox(uninstaller, IDOK);
  DWORD code = 99;
  ASSERT_TRUE(uninstaller.WaitForExit(15000, &code));
  EXPECT_EQ(code, 0u);

  EXPECT_TRUE(tavo.WaitForExit(5000, &code)) << "the running suite was left running";
  ExpectEntriesGone();
  EXPECT_TRUE(Eventually([&] { return !Exists(folder); })) << "the suite's folder stays";
  EXPECT_TRUE(Exists(base_)) << "the folder above the suite's was removed";
}

TEST_F(DemoSuite, DecliningChangesNothingAndAForeignFolderIsKept) {
  const std::wstring folder = Plant(L"TavoPhoneAx");
  {
    e2e::InstallerProcess uninstaller(folder + L"\\TavoUnInstall.exe");
    AnswerBox(uninstaller, IDCANCEL);
    DWORD code = 99;
    ASSERT_TRUE(uninstaller.WaitForExit(15000, &code));
    EXPECT_EQ(code, 1u);
  }
  EXPECT_TRUE(EntriesPresent());
  EXPECT_TRUE(Exists(folder + L"\\skin\\main.png"));

  // Run from a folder that is not the suite's (a build folder, say): the entries go, the files stay.
  const std::wstring foreign = Plant(L"bin");
  e2e::InstallerProcess uninstaller(foreign + L"\\TavoUnInstall.exe");
  AnswerBox(uninstaller, IDOK);
  DWORD code = 99;
  ASSERT_TRUE(uninstaller.WaitForExit(15000, &code));
  EXPECT_EQ(code, 0u);
  ExpectEntriesGone();
  Sleep(1000);
  EXPECT_TRUE(Exists(foreign + L"\\TavoUnInstall.exe"));
  EXPECT_TRUE(Exists(foreign + L"\\skin\\main.png"));
}

}  // namespace
