// The change-folder button: the system folder picker is opened, found and answered from another
// thread, and the install directory and its field follow the answer.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

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

// Polls `done` until it holds or 30 s have passed (a first start of the prefix is slow).
template <typename Condition>
bool WaitFor(Condition done) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(20))
    if (done()) return true;
  return done();
}

HWND SelectedItem(HWND tree) { return reinterpret_cast<HWND>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)); }

std::wstring ItemText(HWND tree, HWND item) {
  wchar_t text[MAX_PATH] = {};
  TVITEMW entry{};
  entry.mask = TVIF_TEXT;
  entry.hItem = reinterpret_cast<HTREEITEM>(item);
  entry.pszText = text;
  entry.cchTextMax = MAX_PATH;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
  return text;
}

// Answers the folder picker that the window's thread is about to show, from another thread:
// waits for it and for its folder tree, selects `folder` (unless empty) and waits until the
// tree shows it, then presses OK, or presses Cancel. Records the picker's title, its owner and
// whether the window was disabled while it was open.
class PickerAnswer {
 public:
  PickerAnswer(HWND main, std::wstring folder, bool accept)
      : main_(main), folder_(std::move(folder)), accept_(accept), thread_(GetWindowThreadProcessId(main, nullptr)) {
    worker_ = std::thread([this] { Run(); });
  }
  ~PickerAnswer() { worker_.join(); }

  std::wstring title;
  HWND owner = nullptr;
  bool windowDisabled = false;
  std::atomic<bool> answered{false};

 private:
  void Run() {
    PickerSearch search{main_, nullptr};
    if (!WaitFor([&] {
          EnumThreadWindows(thread_, &FindPicker, reinterpret_cast<LPARAM>(&search));
          return search.found != nullptr;
        }))
      return;
    HWND picker = search.found;
    HWND tree = nullptr;
    WaitFor([&] {
      tree = FindWindowExW(picker, nullptr, L"SysTreeView32", nullptr);
      return tree && SendMessageW(tree, TVM_GETCOUNT, 0, 0) > 0;
    });
    owner = GetWindow(picker, GW_OWNER);
    windowDisabled = !IsWindowEnabled(main_);
    // The picker's static text above the tree holds the title passed by the window.
    EnumChildWindows(picker, &FindTitle, reinterpret_cast<LPARAM>(&title));
    if (accept_ && !folder_.empty()) {
      SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder_.c_str()));
      // The last part of the folder ("picker-choice", or "C:" of a drive) names the selected item.
      std::wstring name = folder_.substr(0, folder_.find_last_not_of(L'\\') + 1);
      name = name.substr(name.find_last_of(L'\\') + 1);
      WaitFor([&] { return tree && ItemText(tree, SelectedItem(tree)).find(name) != std::wstring::npos; });
    }
    SendMessageW(picker, WM_COMMAND, MAKEWPARAM(accept_ ? IDOK : IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(picker, accept_ ? IDOK : IDCANCEL)));
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
    // Owned by the window, which is disabled meanwhile: no install can start under the picker.
    EXPECT_EQ(answer.owner, window);
    EXPECT_TRUE(answer.windowDisabled);
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
