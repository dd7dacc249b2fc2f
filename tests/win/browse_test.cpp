// The change-folder button: the system folder picker is opened, found and answered from another
// thread, and the install directory and its field follow the answer.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <atomic>
#include <cwctype>
#include <string>
#include <thread>

#include "app/ids.h"
#include "tests/win/support/installer_window.h"

namespace {

using testing_support::ChildOfClass;
using testing_support::InstallerWindow;
using testing_support::Pump;
using testing_support::TextOf;

struct PickerSearch {
  HWND main;
  HWND found;
};

BOOL CALLBACK FindPicker(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<PickerSearch*>(context);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (window != search->main && IsWindowVisible(window) && std::wstring(name) == L"#32770") {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindTitle(HWND child, LPARAM context) {
  wchar_t text[128] = {};
  GetWindowTextW(child, text, 128);
  if (std::wstring(text) == L"选择解压文件路径") *reinterpret_cast<std::wstring*>(context) = text;
  return TRUE;
}

// Answers the folder picker that the window's thread is about to show: selects `folder` (unless
// empty) and presses OK, or presses Cancel. Records the picker's title.
class PickerAnswer {
 public:
  PickerAnswer(HWND main, std::wstring folder, bool accept)
      : main_(main), folder_(std::move(folder)), accept_(accept), thread_(GetWindowThreadProcessId(main, nullptr)) {
    worker_ = std::thread([this] { Run(); });
  }
  ~PickerAnswer() { worker_.join(); }

  std::wstring title;
  std::atomic<bool> answered{false};

 private:
  void Run() {
    PickerSearch search{main_, nullptr};
    for (int i = 0; i < 200 && !search.found; ++i) {
      Sleep(50);
      EnumThreadWindows(thread_, &FindPicker, reinterpret_cast<LPARAM>(&search));
    }
    if (!search.found) return;
    Sleep(300);  // let the picker fill its tree
    wchar_t text[128] = {};
    GetWindowTextW(search.found, text, 128);
    title = text;
    // The picker's static text above the tree holds the title passed by the window.
    EnumChildWindows(search.found, &FindTitle, reinterpret_cast<LPARAM>(&title));
    if (accept_ && !folder_.empty()) {
      // The picker may still be filling its tree and applying its own start selection: choose
      // a few times, a little apart, so the last choice is ours.
      for (int attempt = 0; attempt < 3; ++attempt) {
        Sleep(300);
        SendMessageW(search.found, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder_.c_str()));
      }
      Sleep(300);
    }
    SendMessageW(search.found, WM_COMMAND, MAKEWPARAM(accept_ ? IDOK : IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(search.found, accept_ ? IDOK : IDCANCEL)));
    answered = true;
  }

  HWND main_;
  std::wstring folder_;
  bool accept_;
  DWORD thread_;
  std::thread worker_;
};

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

HWND DirectoryEdit(HWND window) { return GetDlgItem(ChildOfClass(window, L"WTL_BitmapEditControl"), IDC_INSTALL_DIR); }

void PressBrowse(HWND window) {
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_BROWSE, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_BROWSE)));
}

TEST(InstallerWindowBrowse, ChosenFolderGetsATrailingBackslash) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  const std::wstring folder = L"C:\\picker-choice";
  CreateDirectoryW(folder.c_str(), nullptr);  // may exist from an earlier run

  {
    PickerAnswer answer(window, folder, true);
    PressBrowse(window);
    Pump(50);
    ASSERT_TRUE(answer.answered) << "no folder picker appeared";
    EXPECT_EQ(answer.title, L"选择解压文件路径");
  }
  EXPECT_EQ(Lower(installer.dialog().m_strInstallDir), Lower(folder + L"\\"));
  EXPECT_EQ(TextOf(DirectoryEdit(window)), installer.dialog().m_strInstallDir);
  RemoveDirectoryW(folder.c_str());
}

TEST(InstallerWindowBrowse, PickerStartsAtTheInstallDirectory) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  installer.dialog().m_strInstallDir = L"C:\\windows\\";
  {
    PickerAnswer answer(window, L"", true);  // OK on what the picker selected by itself
    PressBrowse(window);
    Pump(50);
    ASSERT_TRUE(answer.answered) << "no folder picker appeared";
  }
  EXPECT_EQ(Lower(installer.dialog().m_strInstallDir), L"c:\\windows\\");
}

TEST(InstallerWindowBrowse, DriveRootKeepsItsSingleBackslash) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  {
    PickerAnswer answer(window, L"C:\\", true);
    PressBrowse(window);
    Pump(50);
    ASSERT_TRUE(answer.answered) << "no folder picker appeared";
  }
  EXPECT_EQ(Lower(installer.dialog().m_strInstallDir), L"c:\\");
  EXPECT_EQ(TextOf(DirectoryEdit(window)), installer.dialog().m_strInstallDir);
}

TEST(InstallerWindowBrowse, CancelKeepsTheDirectoryAndResetsTypedText) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  const std::wstring before = installer.dialog().m_strInstallDir;
  SetWindowTextW(DirectoryEdit(window), L"D:\\typed by the user");
  {
    PickerAnswer answer(window, L"", false);
    PressBrowse(window);
    Pump(50);
    ASSERT_TRUE(answer.answered) << "no folder picker appeared";
  }
  EXPECT_EQ(installer.dialog().m_strInstallDir, before);
  EXPECT_EQ(TextOf(DirectoryEdit(window)), before);
}

TEST(InstallerWindowBrowse, DirectoryIsTrimmedWhenShown) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  installer.dialog().m_strInstallDir = L"  C:\\Apps\\ \t";
  {
    PickerAnswer answer(window, L"", false);
    PressBrowse(window);
    Pump(50);
    ASSERT_TRUE(answer.answered) << "no folder picker appeared";
  }
  EXPECT_EQ(installer.dialog().m_strInstallDir, L"C:\\Apps\\");
  EXPECT_EQ(TextOf(DirectoryEdit(window)), L"C:\\Apps\\");
}

}  // namespace
