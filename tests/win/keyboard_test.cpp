// The installer window with a keyboard alone and through a screen reader's eyes: the tab order,
// Enter and Space, and the accessible names of the picture buttons.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ids.h"
#include "app/main_dlg.h"
#include "platform/win/handles.h"
#include "tests/win/support/installer_window.h"

namespace {

using testing_support::InstallerWindow;
using testing_support::PressKey;

bool Checked(HWND window, int id) { return SendMessageW(GetDlgItem(window, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

// The control that has the focus, as the id of the window's child that holds it.
int FocusedId(HWND window) {
  HWND focus = GetFocus();
  while (focus && GetParent(focus) != window) focus = GetParent(focus);
  if (!focus) return 0;
  const int id = GetDlgCtrlID(focus);
  return id != 0 ? id : IDC_INSTALL_DIR;  // the directory field's frame has id 0
}

TEST(InstallerWindowKeyboard, TabAndShiftTabGoThroughTheControlsInOrder) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  SendMessageW(window, WM_COMMAND, IDC_CUSTOM_OPEN, 0);
  SetFocus(GetDlgItem(window, IDC_INSTALL));
  const std::vector<int> order = {IDC_INSTALL,    IDC_AGREE,   IDC_TERMS_LINK,       IDC_CUSTOM_CLOSE,
                                  IDC_INSTALL_DIR, IDC_BROWSE, IDC_DESKTOP_SHORTCUT, IDC_AUTORUN,
                                  IDC_STARTMENU_SHORTCUT};
  for (size_t i = 1; i <= order.size(); ++i) {
    const int next = order[i % order.size()];
    EXPECT_TRUE(PressKey(VK_TAB, false, [&] { return FocusedId(window) == next; }))
        << "Tab to " << next << ", focus on " << FocusedId(window);
  }
  for (size_t i = order.size(); i-- > 0;) {
    const int previous = order[i];
    EXPECT_TRUE(PressKey(VK_TAB, true, [&] { return FocusedId(window) == previous; }))
        << "Shift+Tab to " << previous << ", focus on " << FocusedId(window);
  }
}

TEST(InstallerWindowKeyboard, EnterAndSpacePressTheFocusedControl) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  CMainDlg& dialog = installer.dialog();
  SetFocus(GetDlgItem(window, IDC_AGREE));
  EXPECT_TRUE(PressKey(VK_SPACE, false, [&] { return !Checked(window, IDC_AGREE); }));
  EXPECT_TRUE(PressKey(VK_RETURN, false, [&] { return Checked(window, IDC_AGREE); }));

  SetFocus(GetDlgItem(window, IDC_CUSTOM_OPEN));
  EXPECT_TRUE(PressKey(VK_RETURN, false, [&] { return dialog.CurrentView() == CMainDlg::VIEW_SETUP_EXPANDED; }));
  EXPECT_EQ(GetFocus(), GetDlgItem(window, IDC_CUSTOM_CLOSE)) << "the toggle keeps the focus";
  EXPECT_TRUE(PressKey(VK_SPACE, false, [&] { return dialog.CurrentView() == CMainDlg::VIEW_SETUP; }));
  EXPECT_EQ(GetFocus(), GetDlgItem(window, IDC_CUSTOM_OPEN));
}

std::wstring AccessibleName(HWND control) {
  win::ComPtr<IAccessible> object;
  if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                        object.put_void())))
    return L"(no accessible object)";
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  if (FAILED(object->get_accName(self, &name)) || !name) return L"";
  std::wstring text(name, SysStringLen(name));
  SysFreeString(name);
  return text;
}

TEST(InstallerWindowAccessibility, PictureButtonsAndTheInstallButtonHaveNames) {
  win::ComScope com;
  InstallerWindow installer;
  HWND window = installer.hwnd();
  const struct {
    int id;
    const wchar_t* name;
  } named[] = {{IDC_INSTALL, L"立即安装"}, {IDC_CLOSE, L"关闭"},       {IDC_FEATURE1, L"文件管理"},
               {IDC_FEATURE2, L"图片管理"}, {IDC_FEATURE3, L"铃音下载"}, {IDC_FEATURE4, L"软件游戏"},
               {IDC_BROWSE, L"更换目录"}};
  for (const auto& control : named)
    EXPECT_EQ(AccessibleName(GetDlgItem(window, control.id)), control.name) << control.id;
}

}  // namespace
