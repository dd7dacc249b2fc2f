// The change-folder button: the system folder picker is found and answered from another thread,
// and the install directory and its field follow the answer.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cwctype>
#include <string>
#include <thread>

#include "app/ids.h"
#include "tests/win/support/system.h"
#include "tests/win/support/window.h"

namespace {

using namespace testsupport;

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
// folder tree (a first start of the prefix is slow), then presses OK once the tree shows the
// folder named `shown` (the picker starts at the install directory), or Cancel when none is
// named. Records the picker's title, its owner and whether the window was disabled meanwhile.
class PickerAnswer {
 public:
  PickerAnswer(HWND main, std::wstring shown) : main_(main), shown_(std::move(shown)), worker_([this] { Run(); }) {}
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
    HWND tree = nullptr;
    if (!Eventually([&] { return !EnumThreadWindows(thread, &FindPicker, reinterpret_cast<LPARAM>(this)) && picker_; }, 30000) ||
        !Eventually([&] { return (tree = FindWindowExW(picker_, nullptr, L"SysTreeView32", nullptr)) &&
                                 SendMessageW(tree, TVM_GETCOUNT, 0, 0) > 0; }, 30000))
      return;
    owner = GetWindow(picker_, GW_OWNER);
    windowDisabled = !IsWindowEnabled(main_);
    EnumChildWindows(picker_, &FindTitle, reinterpret_cast<LPARAM>(&title));
    if (!shown_.empty()) Eventually([&] { return SelectedItemText(tree).find(shown_) != std::wstring::npos; }, 30000);
    const int button = shown_.empty() ? IDCANCEL : IDOK;
    SendMessageW(picker_, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(picker_, button)));
    answered = true;
  }

  HWND main_;
  HWND picker_ = nullptr;
  std::wstring shown_;
  std::thread worker_;
};

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

TEST(InstallerWindowBrowse, TheDirectoryAndItsFieldFollowThePickersAnswer) {
  // A folder the picker's tree reaches in one step from the drive; removed at the end, also on failure.
  struct Choice {
    Choice() { CreateDirectoryW(path.c_str(), nullptr); }
    ~Choice() { RemoveTree(path); }
    const std::wstring path = L"C:\\picker-choice\\";
  } choice;
  InstallerWindow installer;
  HWND window = installer.hwnd();
  MainWindow& dialog = installer.window();
  HWND field = GetDlgItem(FindWindowExW(window, nullptr, L"WTL_BitmapEditControl", nullptr), IDC_INSTALL_DIR);
  const struct {
    const char* what;
    std::wstring start, shown, expected;
  } cases[] = {
      {"a folder taken gets its trailing backslash", choice.path, L"picker-choice", choice.path},
      {"a drive root keeps its single backslash", L"C:\\", L"C:", L"C:\\"},
      {"cancel keeps the directory, trimmed, and drops typed text", L"  C:\\Apps\\ \t", L"", L"C:\\Apps\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    dialog.Options().SetDirectory(c.start);
    SetWindowTextW(field, L"D:\\typed by the user");
    PickerAnswer answer(window, c.shown);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_BROWSE, BN_CLICKED), reinterpret_cast<LPARAM>(installer.item(IDC_BROWSE)));
    Eventually([&] { return answer.answered.load(); }, 60000);
    ASSERT_TRUE(answer.answered) << "no folder picker appeared";
    EXPECT_EQ(answer.title, L"选择解压文件路径");
    // Owned by the window, which is disabled meanwhile: no install can start under the picker.
    EXPECT_EQ(answer.owner, window);
    EXPECT_TRUE(answer.windowDisabled);
    EXPECT_EQ(Lower(dialog.Options().Directory()), Lower(c.expected));
    EXPECT_EQ(TextOf(field), dialog.Options().Directory());
  }
}

}  // namespace
