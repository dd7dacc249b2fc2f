// The installer window on its setup page: the controls it opens with, expanding and collapsing,
// the option captions and the link, the progress display, dragging and the quit paths.
#include "app/main_dlg.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include "app/ids.h"
#include "tests/win/support/installer_window.h"

namespace {

using testing_support::ChildOfClass;
using testing_support::ChildrenWithId;
using testing_support::ClassOf;
using testing_support::ClickWithMouse;
using testing_support::InstallerWindow;
using testing_support::Pump;
using testing_support::RectInParent;
using testing_support::TextOf;
using testing_support::WindowSize;

struct ExpectedControl {
  int id;
  const wchar_t* className;
  const wchar_t* text;  // null: not checked
  RECT rect;
  bool visible;
};

const ExpectedControl kSetupControls[] = {
    {IDC_INSTALL, L"CCustomButton", L"立即安装", {200, 303, 381, 353}, true},
    {IDC_AGREE, L"Button", nullptr, {18, 370, 31, 383}, true},
    {IDC_AGREE_LABEL, L"DhStatic", L"我同意", {34, 369, 70, 385}, true},
    {IDC_TERMS_LINK, L"Static", L"《用户协议》", {72, 370, 150, 390}, true},
    {IDC_CUSTOM_OPEN, L"CCustomButton", nullptr, {485, 375, 563, 386}, true},
    {IDC_CUSTOM_CLOSE, L"CCustomButton", nullptr, {485, 375, 563, 386}, false},
    {IDC_CLOSE, L"CCustomButton", nullptr, {532, 0, 580, 36}, true},
    {IDC_INSTALL_DIR_LABEL, L"Static", L"安装路径", {45, 418, 105, 435}, false},
    {IDC_BROWSE, L"CCustomButton", nullptr, {453, 445, 545, 478}, false},
    {IDC_OPTIONS_LABEL, L"Static", L"安装选项", {45, 500, 105, 517}, false},
    {IDC_DESKTOP_SHORTCUT, L"Button", nullptr, {66, 525, 79, 538}, false},
    {IDC_DESKTOP_LABEL, L"DhStatic", L"建立桌面快捷方式", {82, 524, 183, 540}, false},
    {IDC_AUTORUN, L"Button", nullptr, {305, 525, 318, 538}, false},
    {IDC_AUTORUN_LABEL, L"DhStatic", L"开机启动", {321, 524, 380, 540}, false},
    {IDC_STARTMENU_SHORTCUT, L"Button", nullptr, {66, 555, 79, 568}, false},
    {IDC_STARTMENU_LABEL, L"DhStatic", L"建立开始菜单快捷方式", {81, 554, 220, 570}, false},
    {IDC_FEATURE1, L"CCustomButton", nullptr, {58, 130, 123, 195}, false},
    {IDC_FEATURE4, L"CCustomButton", nullptr, {454, 130, 519, 195}, false},
    {IDC_FEATURE1_CAPTION, L"Static", L"文件管理", {58, 205, 138, 232}, false},
    {IDC_FEATURE2_CAPTION, L"Static", L"图片管理", {190, 205, 270, 232}, false},
    {IDC_FEATURE3_CAPTION, L"Static", L"铃音下载", {322, 205, 402, 232}, false},
    {IDC_FEATURE4_CAPTION, L"Static", L"软件游戏", {454, 205, 534, 232}, false},
    {IDC_PROGRESS_TEXT, L"Static", L"正在下载文件:", {20, 300, 150, 317}, false},
    {IDC_DOWNLOAD_PERCENT, L"Static", L"", {110, 300, 140, 317}, false},
    {IDC_PROGRESS, L"msctls_progress32", nullptr, {20, 335, 560, 345}, false},
};

bool Checked(HWND window, int id) { return SendMessageW(GetDlgItem(window, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Command(HWND window, int id) {
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

bool Visible(HWND window, int id) { return IsWindowVisible(GetDlgItem(window, id)) != FALSE; }

std::wstring ProgramFilesDir() {
  wchar_t path[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROGRAM_FILES, FALSE);
  return std::wstring(path) + L"\\";
}

TEST(InstallerWindowStart, ControlsHaveTheirIdsClassesTextsPlacesAndVisibility) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  ASSERT_NE(window, nullptr);
  for (const ExpectedControl& expected : kSetupControls) {
    SCOPED_TRACE(expected.id);
    HWND control = GetDlgItem(window, expected.id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(ClassOf(control), expected.className);
    if (expected.text) {
      EXPECT_EQ(TextOf(control), expected.text);
    }
    const RECT rect = RectInParent(control);
    EXPECT_EQ(rect.left, expected.rect.left);
    EXPECT_EQ(rect.top, expected.rect.top);
    EXPECT_EQ(rect.right, expected.rect.right);
    EXPECT_EQ(rect.bottom, expected.rect.bottom);
    EXPECT_EQ(IsWindowVisible(control) != FALSE, expected.visible);
  }
  for (int id : {IDC_AGREE, IDC_DESKTOP_SHORTCUT, IDC_AUTORUN, IDC_STARTMENU_SHORTCUT})
    EXPECT_TRUE(Checked(window, id)) << id;
  EXPECT_EQ(SendMessageW(GetDlgItem(window, IDC_PROGRESS), PBM_GETPOS, 0, 0), 0);
  EXPECT_EQ(installer.dialog().m_nPage, CMainDlg::PAGE_SETUP);
  EXPECT_FALSE(installer.dialog().m_bInstalled);
  EXPECT_EQ(TextOf(window), L"Tavo手机助手安装程序");
}

TEST(InstallerWindowStart, ClientIs580WideAndHidesTheOptionRowsUntilExpanded) {
  InstallerWindow installer;
  RECT client{};
  GetClientRect(installer.hwnd(), &client);
  EXPECT_EQ(client.right, 580);
  EXPECT_GT(client.bottom, 390);
  EXPECT_LE(client.bottom, 418);
}

TEST(InstallerWindowStart, Id1232FindsTheAgreeCaptionBeforeTheExtractPercentage) {
  InstallerWindow installer;
  EXPECT_EQ(TextOf(GetDlgItem(installer.hwnd(), 1232)), L"我同意");
  std::vector<HWND> both = ChildrenWithId(installer.hwnd(), 1232);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(ClassOf(both[1]), L"Static");
  EXPECT_FALSE(IsWindowVisible(both[1]));
  EXPECT_EQ(RectInParent(both[1]).left, 110);
}

TEST(InstallerWindowStart, DirectoryFieldHoldsTheProgramFilesFolderInAnInnerEdit) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  EXPECT_EQ(GetDlgItem(window, IDC_INSTALL_DIR), nullptr) << "the inner edit is not a child of the window";

  HWND field = ChildOfClass(window, L"WTL_BitmapEditControl");
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(GetDlgCtrlID(field), 0);
  const RECT rect = RectInParent(field);
  EXPECT_EQ(rect.left, 45);
  EXPECT_EQ(rect.top, 445);
  EXPECT_EQ(rect.right, 454);
  EXPECT_EQ(rect.bottom, 478);

  HWND edit = GetDlgItem(field, IDC_INSTALL_DIR);
  ASSERT_NE(edit, nullptr);
  // The field places its inner edit when it is first painted, that is once it is in view.
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_CUSTOM_OPEN, BN_CLICKED), 0);
  Pump(200);
  EXPECT_EQ(ClassOf(edit), L"Edit");
  EXPECT_EQ(GetWindowLongPtrW(edit, GWL_STYLE) & WS_BORDER, 0);
  const RECT inner = RectInParent(edit);
  EXPECT_EQ(inner.left, 5);
  EXPECT_EQ(inner.top, 5);
  EXPECT_EQ(inner.right, 406);
  EXPECT_EQ(inner.bottom, 30);

  const std::wstring expected = ProgramFilesDir();
  EXPECT_EQ(installer.dialog().m_strInstallDir, expected);
  EXPECT_EQ(expected.back(), L'\\');
  EXPECT_EQ(TextOf(edit), expected);
  EXPECT_EQ(installer.dialog().ReadInstallDir(), expected);

  SetWindowTextW(edit, L"");
  EXPECT_EQ(installer.dialog().ReadInstallDir(), L"");
}

TEST(InstallerWindowStart, FontsAreYaHeiAtTheirPointSizes) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  auto heightOf = [](HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_STREQ(font.lfFaceName, L"微软雅黑");
    EXPECT_EQ(font.lfCharSet, DEFAULT_CHARSET);
    return font.lfHeight;
  };
  EXPECT_EQ(heightOf(GetDlgItem(window, IDC_INSTALL)), -MulDiv(dpi, 150, 720));
  EXPECT_EQ(heightOf(GetDlgItem(window, IDC_AGREE_LABEL)), -MulDiv(dpi, 90, 720));
  EXPECT_EQ(heightOf(GetDlgItem(window, IDC_OPTIONS_LABEL)), -MulDiv(dpi, 100, 720));
  EXPECT_EQ(heightOf(GetDlgItem(window, IDC_FEATURE1_CAPTION)), -MulDiv(dpi, 130, 720));
  HWND edit = GetDlgItem(ChildOfClass(window, L"WTL_BitmapEditControl"), IDC_INSTALL_DIR);
  EXPECT_EQ(heightOf(edit), -MulDiv(dpi, 100, 720));
  EXPECT_NE(SendMessageW(edit, WM_GETFONT, 0, 0), SendMessageW(GetDlgItem(window, IDC_OPTIONS_LABEL), WM_GETFONT, 0, 0))
      << "the edit has a font object of its own";
}

TEST(InstallerWindowExpand, OnlyWithTheAgreementAndUncheckingLeavesItExpanded) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  RECT before{};
  GetWindowRect(window, &before);

  SendMessageW(GetDlgItem(window, IDC_AGREE), BM_SETCHECK, BST_UNCHECKED, 0);
  Command(window, IDC_CUSTOM_OPEN);
  EXPECT_EQ(WindowSize(window).cy, before.bottom - before.top) << "expanded without the agreement";
  EXPECT_TRUE(Visible(window, IDC_CUSTOM_OPEN));

  SendMessageW(GetDlgItem(window, IDC_AGREE), BM_SETCHECK, BST_CHECKED, 0);
  Command(window, IDC_CUSTOM_OPEN);
  RECT expanded{};
  GetWindowRect(window, &expanded);
  EXPECT_EQ(expanded.bottom - expanded.top, before.bottom - before.top + 200);
  EXPECT_EQ(expanded.left, before.left);
  EXPECT_EQ(expanded.top, before.top);
  EXPECT_EQ(expanded.right - expanded.left, before.right - before.left);
  EXPECT_FALSE(Visible(window, IDC_CUSTOM_OPEN));
  EXPECT_TRUE(Visible(window, IDC_CUSTOM_CLOSE));
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_GE(client.bottom, 570) << "the option rows are inside the window";

  // Taking the agreement back does not collapse.
  SendMessageW(window, WM_OPTION_LABEL_CLICKED, 1, 0);
  EXPECT_FALSE(Checked(window, IDC_AGREE));
  EXPECT_EQ(WindowSize(window).cy, expanded.bottom - expanded.top);

  // Collapsing needs no agreement.
  Command(window, IDC_CUSTOM_CLOSE);
  RECT collapsed{};
  GetWindowRect(window, &collapsed);
  EXPECT_EQ(collapsed.bottom - collapsed.top, before.bottom - before.top);
  EXPECT_EQ(collapsed.top, before.top);
  EXPECT_TRUE(Visible(window, IDC_CUSTOM_OPEN));
  EXPECT_FALSE(Visible(window, IDC_CUSTOM_CLOSE));
}

TEST(InstallerWindowOptions, ClickingACaptionTogglesItsBoxAndOnlyThatBox) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  Command(window, IDC_CUSTOM_OPEN);  // bring the option rows into view
  Pump(100);
  const int boxes[] = {IDC_AGREE, IDC_DESKTOP_SHORTCUT, IDC_AUTORUN, IDC_STARTMENU_SHORTCUT};
  const int captions[] = {IDC_AGREE_LABEL, IDC_DESKTOP_LABEL, IDC_AUTORUN_LABEL, IDC_STARTMENU_LABEL};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(captions[i]);
    ClickWithMouse(GetDlgItem(window, captions[i]));
    for (int j = 0; j < 4; ++j) EXPECT_EQ(Checked(window, boxes[j]), j > i) << boxes[j];
  }
  ClickWithMouse(GetDlgItem(window, IDC_AUTORUN_LABEL));
  EXPECT_TRUE(Checked(window, IDC_AUTORUN));
  EXPECT_FALSE(Checked(window, IDC_AGREE));

  // Indices other than 1..4 change nothing.
  for (WPARAM index : {0u, 5u, 1232u}) SendMessageW(window, WM_OPTION_LABEL_CLICKED, index, 0);
  EXPECT_FALSE(Checked(window, IDC_AGREE));
  EXPECT_TRUE(Checked(window, IDC_AUTORUN));
  EXPECT_FALSE(Checked(window, IDC_DESKTOP_SHORTCUT));
}

TEST(InstallerWindowOptions, TheLinkNotifiesOnClickAndSpaceAndTheTermsPageOpens) {
  testing_support::RecordingShell shell;
  InstallerWindow installer;
  HWND window = installer.hwnd();
  HWND link = GetDlgItem(window, IDC_TERMS_LINK);
  ClickWithMouse(link);
  ASSERT_EQ(shell.opened.size(), 1u);
  const std::wstring& address = shell.opened[0];
  EXPECT_EQ(address.rfind(L"http://", 0), 0u) << address.c_str();
  EXPECT_EQ(address.substr(address.size() - 11), L"/terms.html");
  EXPECT_EQ(address, L"http://" VENDOR_SERVER L"/terms.html");

  // The click gave the link the focus: Space activates it again, and it stays a link.
  EXPECT_EQ(GetFocus(), link);
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = VK_SPACE;
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, keys, sizeof(INPUT));
  Pump(200);
  EXPECT_EQ(shell.opened.size(), 2u);
  EXPECT_EQ(installer.dialog().m_nPage, CMainDlg::PAGE_SETUP);
}

TEST(InstallerWindowProgress, DownloadPercentageSetsBarAndText) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  SendMessageW(window, WM_DOWNLOAD_PROGRESS, 37, 0);
  EXPECT_EQ(SendMessageW(GetDlgItem(window, IDC_PROGRESS), PBM_GETPOS, 0, 0), 37);
  EXPECT_EQ(TextOf(GetDlgItem(window, IDC_DOWNLOAD_PERCENT)), L"37%");
  SendMessageW(window, WM_DOWNLOAD_PROGRESS, 100, 0);
  EXPECT_EQ(TextOf(GetDlgItem(window, IDC_DOWNLOAD_PERCENT)), L"100%");
}

TEST(InstallerWindowProgress, ExtractionShowsWholePercentagesOnlyWhenTheyChange) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  HWND bar = GetDlgItem(window, IDC_PROGRESS);
  HWND percent = ChildrenWithId(window, IDC_EXTRACT_PERCENT).at(1);
  SetWindowTextW(percent, L"0%");  // what the extracting display starts with

  SendMessageW(window, WM_EXTRACT_PROGRESS, 0, 3);
  EXPECT_EQ(TextOf(percent), L"0%");
  SendMessageW(window, WM_EXTRACT_PROGRESS, 1, 3);
  EXPECT_EQ(TextOf(percent), L"33%");
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 33);
  EXPECT_EQ(installer.dialog().m_nLastExtractPercent, 33);

  // The same entry again is the same percentage: neither the bar nor the text is touched.
  SetWindowTextW(percent, L"unchanged");
  SendMessageW(bar, PBM_SETPOS, 5, 0);
  SendMessageW(window, WM_EXTRACT_PROGRESS, 1, 3);
  EXPECT_EQ(TextOf(percent), L"unchanged");
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 5);

  SendMessageW(window, WM_EXTRACT_PROGRESS, 2, 3);
  EXPECT_EQ(TextOf(percent), L"66%");
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 66);
  EXPECT_EQ(TextOf(GetDlgItem(window, 1232)), L"我同意") << "the agree caption shares the id";

  // A large archive: the index goes through the unsigned range without overflow.
  SendMessageW(window, WM_EXTRACT_PROGRESS, 2999999, 3000000);
  EXPECT_EQ(TextOf(percent), L"99%");
  // A count of 0 shows nothing.
  SendMessageW(window, WM_EXTRACT_PROGRESS, 1, 0);
  EXPECT_EQ(TextOf(percent), L"99%");
}

TEST(InstallerWindowMouse, BackgroundIsTheCaptionAndControlsAreNot) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  RECT client{};
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  auto hit = [&](HWND target, int x, int y) {
    return SendMessageW(target, WM_NCHITTEST, 0, MAKELPARAM(origin.x + x, origin.y + y));
  };
  EXPECT_EQ(hit(window, 0, 0), HTCAPTION);
  EXPECT_EQ(hit(window, 100, 250), HTCAPTION);
  EXPECT_EQ(hit(window, client.right - 1, client.bottom - 1), HTCAPTION);
  EXPECT_EQ(hit(window, client.right, 10), HTNOWHERE);
  EXPECT_EQ(hit(window, 10, client.bottom), HTNOWHERE);
  EXPECT_EQ(hit(window, -1, 10), HTNOWHERE);

  // Buttons, captions and the link take the mouse; plain labels let it through to the window.
  for (int id : {IDC_INSTALL, IDC_AGREE, IDC_AGREE_LABEL, IDC_TERMS_LINK}) {
    const RECT rect = RectInParent(GetDlgItem(window, id));
    EXPECT_EQ(hit(GetDlgItem(window, id), rect.left + 2, rect.top + 2), HTCLIENT) << id;
  }
  const RECT label = RectInParent(GetDlgItem(window, IDC_OPTIONS_LABEL));
  EXPECT_EQ(hit(GetDlgItem(window, IDC_OPTIONS_LABEL), label.left + 2, label.top + 2), HTTRANSPARENT);
}

TEST(InstallerWindowMouse, StaticColoursAreTransparentWithAHollowBrush) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  HDC dc = GetDC(window);
  auto colour = [&](HWND control, int* mode, COLORREF* text) {
    SetBkMode(dc, OPAQUE);
    SetTextColor(dc, RGB(1, 2, 3));
    LRESULT brush = SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(control));
    *mode = GetBkMode(dc);
    *text = GetTextColor(dc);
    return reinterpret_cast<HGDIOBJ>(brush);
  };
  int mode = 0;
  COLORREF text = 0;
  EXPECT_EQ(colour(GetDlgItem(window, IDC_AGREE_LABEL), &mode, &text), GetStockObject(NULL_BRUSH));
  EXPECT_EQ(mode, TRANSPARENT);
  EXPECT_EQ(text, RGB(1, 2, 3));
  EXPECT_EQ(colour(GetDlgItem(window, IDC_FEATURE2_CAPTION), &mode, &text), GetStockObject(NULL_BRUSH));
  EXPECT_EQ(mode, TRANSPARENT);
  EXPECT_EQ(text, RGB(255, 255, 255));
  // The extraction percentage shares 1232 but is not the control found by it.
  EXPECT_EQ(colour(ChildrenWithId(window, 1232).at(1), &mode, &text), GetStockObject(NULL_BRUSH));
  EXPECT_EQ(mode, OPAQUE);
  ReleaseDC(window, dc);
}

TEST(InstallerWindowQuit, CancelCommandChangesNothingAndQuitMessageEndsTheLoopWithTheExitCode) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  const SIZE size = WindowSize(window);
  SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
  SendMessageW(window, WM_COMMAND, IDOK, 0);
  Pump(100);
  ASSERT_TRUE(IsWindow(window));
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(WindowSize(window).cy, size.cy);
  EXPECT_TRUE(Checked(window, IDC_AGREE));

  installer.dialog().m_wExitCode = 1005;
  PostMessageW(window, WM_INSTALLER_QUIT, 0, 0);
  EXPECT_EQ(installer.loop().Run(), 1005);
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
