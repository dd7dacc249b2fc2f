// The installer window with a keyboard alone and through a screen reader's eyes: the tab order,
// Enter and Space, and the accessible names of the picture buttons.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ids.h"
#include "tests/win/support/window.h"

namespace {

using namespace testing_support;

// The id of the window's child that holds the focus (the directory field's frame has id 0).
int FocusedId(HWND window) {
  HWND focus = GetFocus();
  while (focus && GetParent(focus) != window) focus = GetParent(focus);
  return !focus ? 0 : GetDlgCtrlID(focus) ? GetDlgCtrlID(focus) : IDC_INSTALL_DIR;
}

TEST(InstallerWindowKeyboard, TabGoesThroughTheControlsInOrderAndEnterAndSpacePressThem) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  CMainDlg& dialog = installer.dialog();
  SetFocus(installer.item(IDC_AGREE));
  EXPECT_TRUE(PressKey(VK_SPACE, false, [&] { return !Checked(installer.item(IDC_AGREE)); }));
  EXPECT_TRUE(PressKey(VK_RETURN, false, [&] { return Checked(installer.item(IDC_AGREE)); }));
  SetFocus(installer.item(IDC_CUSTOM_OPEN));
  EXPECT_TRUE(PressKey(VK_RETURN, false, [&] { return dialog.CurrentView() == CMainDlg::VIEW_SETUP_EXPANDED; }));
  EXPECT_EQ(GetFocus(), installer.item(IDC_CUSTOM_CLOSE)) << "the toggle keeps the focus";

  SetFocus(installer.item(IDC_INSTALL));
  const std::vector<int> order = {IDC_INSTALL,     IDC_AGREE,  IDC_TERMS_LINK,       IDC_CUSTOM_CLOSE,
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
  SetFocus(installer.item(IDC_CUSTOM_CLOSE));
  EXPECT_TRUE(PressKey(VK_SPACE, false, [&] { return dialog.CurrentView() == CMainDlg::VIEW_SETUP; }));
  EXPECT_EQ(GetFocus(), installer.item(IDC_CUSTOM_OPEN));
}

std::wstring AccessibleName(HWND control) {
  win::ComPtr<IAccessible> object;
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible, object.put_void())) ||
      FAILED(object->get_accName(self, &name)) || !name)
    return L"(none)";
  std::wstring text(name, SysStringLen(name));
  SysFreeString(name);
  return text;
}

TEST(InstallerWindowAccessibility, PictureButtonsAndTheInstallButtonHaveNames) {
  win::ComScope com;
  InstallerWindow installer;
  for (auto [id, name] : {std::pair{IDC_INSTALL, L"立即安装"}, std::pair{IDC_CLOSE, L"关闭"},
                          std::pair{IDC_FEATURE1, L"文件管理"}, std::pair{IDC_BROWSE, L"更换目录"}})
    EXPECT_EQ(AccessibleName(installer.item(id)), name) << id;
}

}  // namespace
