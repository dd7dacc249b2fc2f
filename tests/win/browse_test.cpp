// The change-folder button: the system folder picker is found and answered from another thread,
// and the install directory and its field follow the answer.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cwctype>
#include <memory>
#include <string>
#include <thread>

#include "app/ids.h"
#include "tests/win/support/suite_stand_ins.h"
#include "tests/win/support/window.h"

namespace {

using namespace testing_support;

// Polls `done` until it holds or 30 s have passed (a first start of the prefix is slow).
template <typename Condition>
bool WaitFor(Condition done) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(20))
    if (done()) return true;
  return done();
}

std::wstring SelectedItemText(HWND tree) {
  wchar_t text[MAX_PATH] = {};
  TVITEMW entry{};
  entry.mask = TVIF_TEXT;
  entry.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  entry.pszText = text;
  entry.cchTextMax = MAX_PATH;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
  return text;
}

// Answers the folder picker that the window's thread is about to show: waits for it and its
// folder tree, then presses OK (taking the folder the picker starts at, the install directory) or
// Cancel. Records the picker's title, its owner and whether the window was disabled meanwhile.
class PickerAnswer {
 public:
  // `shown`: part of the name of the folder the picker starts at; OK waits until its tree shows it.
  PickerAnswer(HWND main, bool accept, std::wstring shown = L"")
      : main_(main), accept_(accept), shown_(std::move(shown)) {
    worker_ = std::thread([this] { Run(); });
  }
  ~PickerAnswer() { worker_.join(); }

  std::wstring title;
  HWND owner = nullptr;
  bool windowDisabled = false;
  std::atomic<bool> answered{false};

 private:
  static BOOL CALLBACK FindPicker(HWND window, LPARAM context) {
    auto* self = reinterpret_cast<PickerAnswer*>(context);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (window == self->main_ || !IsWindowVisible(window) || std::wstring(name) != L"#32770") return TRUE;
    self->picker_ = window;
    return FALSE;
  }
  static BOOL CALLBACK FindTitle(HWND child, LPARAM context) {
    if (TextOf(child) == L"选择解压文件路径") *reinterpret_cast<std::wstring*>(context) = TextOf(child);
    return TRUE;
  }
  void Run() {
    const DWORD thread = GetWindowThreadProcessId(main_, nullptr);
    if (!WaitFor([&] { return !EnumThreadWindows(thread, &FindPicker, reinterpret_cast<LPARAM>(this)) && picker_; }))
      return;
    HWND tree = nullptr;
    WaitFor([&] {
      tree = FindWindowExW(picker_, nullptr, L"SysTreeView32", nullptr);
      return tree && SendMessageW(tree, TVM_GETCOUNT, 0, 0) > 0;
    });
    owner = GetWindow(picker_, GW_OWNER);
    windowDisabled = !IsWindowEnabled(main_);
    EnumChildWindows(picker_, &FindTitle, reinterpret_cast<LPARAM>(&title));
    if (!shown_.empty()) WaitFor([&] { return tree && SelectedItemText(tree).find(shown_) != std::wstring::npos; });
    const int button = accept_ ? IDOK : IDCANCEL;
    SendMessageW(picker_, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(picker_, button)));
    answered = true;
  }

  HWND main_;
  HWND picker_ = nullptr;
  bool accept_;
  std::wstring shown_;
  std::thread worker_;
};

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

TEST(InstallerWindowBrowse, TheDirectoryAndItsFieldFollowThePickersAnswer) {
  // A folder the picker's tree reaches in one step from the drive; removed at the end, also on failure.
  const std::wstring choice = L"C:\\picker-choice";
  RemoveTree(choice);
  CreateDirectoryW(choice.c_str(), nullptr);
  const std::unique_ptr<const std::wstring, void (*)(const std::wstring*)> removal(&choice, [](const std::wstring* f) { RemoveTree(*f); });
  InstallerWindow installer;
  HWND window = installer.hwnd();
  CMainDlg& dialog = installer.dialog();
  const std::wstring initial = dialog.m_strInstallDir;
  HWND field = GetDlgItem(FindWindowExW(window, nullptr, L"WTL_BitmapEditControl", nullptr), IDC_INSTALL_DIR);
  // The picker starts at the install directory; OK takes that folder back (choosing another one in
  // its tree from here races with the picker's own start selection).
  const struct {
    const char* what;
    std::wstring start, typed;
    bool accept;
    std::wstring shown, expected;
  } cases[] = {
      {"a folder taken gets its trailing backslash", choice + L"\\", L"", true, L"picker-choice", choice + L"\\"},
      {"a drive root keeps its single backslash", L"C:\\", L"", true, L"C:", L"C:\\"},
      {"cancel keeps the directory and resets typed text", initial, L"D:\\typed by the user", false, L"", initial},
      {"the directory is trimmed when shown", L"  C:\\Apps\\ \t", L"", false, L"", L"C:\\Apps\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    dialog.m_strInstallDir = c.start;
    if (!c.typed.empty()) SetWindowTextW(field, c.typed.c_str());
    PickerAnswer answer(window, c.accept, c.shown);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_BROWSE, BN_CLICKED), reinterpret_cast<LPARAM>(installer.item(IDC_BROWSE)));
    WaitFor([&] { return answer.answered.load(); });
    ASSERT_TRUE(answer.answered) << "no folder picker appeared";
    EXPECT_EQ(answer.title, L"选择解压文件路径");
    // Owned by the window, which is disabled meanwhile: no install can start under the picker.
    EXPECT_EQ(answer.owner, window);
    EXPECT_TRUE(answer.windowDisabled);
    EXPECT_EQ(Lower(dialog.m_strInstallDir), Lower(c.expected));
    EXPECT_EQ(TextOf(field), dialog.m_strInstallDir);
  }
}

}  // namespace
