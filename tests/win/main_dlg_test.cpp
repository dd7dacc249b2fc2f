// The installer window: every page at the prefix's display scale (run at 96, 120, 144 and 192 dpi
// by dpi_scales.sh), expanding, the option captions and the link, the progress display with its
// speed and retry notice, the taskbar, dragging and the quit paths.
#include "app/main_dlg.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/ids.h"
#include "app/taskbar.h"
#include "skin/dpi.h"
#include "tests/win/support/installer_window.h"
#include "tests/win/support/screenshot.h"

namespace {

using testing_support::ChildrenWithId;
using testing_support::ClickWithMouse;
using testing_support::InstallerWindow;
using testing_support::PressKey;
using testing_support::Pump;
using testing_support::RectInParent;
using testing_support::TextOf;
using testing_support::WindowSize;

bool Checked(HWND window, int id) { return SendMessageW(GetDlgItem(window, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Command(HWND window, int id) {
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

bool Visible(HWND window, int id) { return IsWindowVisible(GetDlgItem(window, id)) != FALSE; }

SIZE ClientSize(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return {client.right, client.bottom};
}

std::vector<HWND> VisibleChildren(HWND window) {
  std::vector<HWND> shown;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (IsWindowVisible(child)) shown.push_back(child);
  return shown;
}

// Labels of the status line that lie over the status text by design.
bool OverlapAllowed(HWND a, HWND b) {
  const int ids[] = {GetDlgCtrlID(a), GetDlgCtrlID(b)};
  bool text = false, percent = false;
  for (int id : ids) {
    text = text || id == IDC_PROGRESS_TEXT;
    percent = percent || id == IDC_DOWNLOAD_PERCENT || id == IDC_EXTRACT_PERCENT;
  }
  return text && percent;
}

// Channels of `a` that lie strictly between those of `from` and `to`, with some margin: a colour
// that a filter blended from the two.
bool Blended(COLORREF a, COLORREF from, COLORREF to) {
  auto between = [](int value, int x, int y) {
    return value > std::min(x, y) + 8 && value < std::max(x, y) - 8;
  };
  return between(GetRValue(a), GetRValue(from), GetRValue(to)) ||
         between(GetGValue(a), GetGValue(from), GetGValue(to)) ||
         between(GetBValue(a), GetBValue(from), GetBValue(to));
}

// Every view at the prefix's scale: the client is the 96-dpi size times the scale, every visible
// control lies inside it and none covers another, fonts follow the scale, and a screenshot of each
// view is saved as page-<view>-<dpi>.png.
TEST(InstallerWindowScale, EveryViewIsTheDesignLayoutTimesTheScale) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  CMainDlg& dialog = installer.dialog();
  const int dpi = dialog.Dpi();
  const double scale = dpi / 96.0;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor));
  RECT frame{};
  GetWindowRect(window, &frame);
  EXPECT_NEAR(frame.left - monitor.rcWork.left, monitor.rcWork.right - frame.right, 1) << "centred";
  EXPECT_NEAR(frame.top - monitor.rcWork.top, monitor.rcWork.bottom - frame.bottom, 1) << "centred";
  struct ViewCase {
    CMainDlg::View view;
    int height;
    const wchar_t* name;
  };
  const ViewCase views[] = {{CMainDlg::VIEW_SETUP, 398, L"setup-collapsed"},
                            {CMainDlg::VIEW_SETUP_EXPANDED, 598, L"setup-expanded"},
                            {CMainDlg::PAGE_DOWNLOADING, 398, L"downloading"},
                            {CMainDlg::PAGE_EXTRACTING, 398, L"extracting"},
                            {CMainDlg::PAGE_FINISHED, 398, L"finish"}};
  for (const ViewCase& view : views) {
    SCOPED_TRACE(testing::Message() << "view " << view.view << " at " << dpi << " dpi");
    if (view.view == CMainDlg::PAGE_FINISHED)
      SendMessageW(window, WM_EXTRACT_FINISHED, 0, 0);  // the finish page with its own caption
    else
      dialog.ShowPage(view.view);
    if (view.view == CMainDlg::PAGE_DOWNLOADING) SendMessageW(window, WM_DOWNLOAD_PROGRESS, 37, 0);
    if (view.view == CMainDlg::PAGE_EXTRACTING) SendMessageW(window, WM_EXTRACT_START, 0, 0);
    const SIZE client = ClientSize(window);
    EXPECT_NEAR(client.cx, 580 * scale, 2);
    EXPECT_NEAR(client.cy, view.height * scale, 2);
    EXPECT_EQ(WindowSize(window).cx, client.cx) << "a popup without frame";

    const std::vector<HWND> shown = VisibleChildren(window);
    for (HWND control : shown) {
      const RECT rect = RectInParent(control);
      EXPECT_TRUE(rect.left >= 0 && rect.top >= 0 && rect.right <= client.cx && rect.bottom <= client.cy)
          << "control " << GetDlgCtrlID(control) << " lies outside the window";
      for (HWND other : shown) {
        RECT overlap{};
        const RECT otherRect = RectInParent(other);
        // Neighbours may share a border line (the directory field and its button do).
        if (other != control && !OverlapAllowed(control, other) && IntersectRect(&overlap, &rect, &otherRect) &&
            std::min(overlap.right - overlap.left, overlap.bottom - overlap.top) > (dpi + 95) / 96)
          ADD_FAILURE() << "controls " << GetDlgCtrlID(control) << " and " << GetDlgCtrlID(other) << " overlap";
      }
    }
    std::wstring name = std::wstring(L"page-") + view.name + L"-" + std::to_wstring(dpi);
    EXPECT_TRUE(SaveWindowScreenshot(window, name));
  }
  // Fonts are sized for the window's DPI, not the template's.
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(window, IDC_OPTIONS_LABEL), WM_GETFONT, 0, 0)),
             sizeof(font), &font);
  EXPECT_EQ(font.lfHeight, -MulDiv(dpi, 100, 720));
  EXPECT_STREQ(font.lfFaceName, L"微软雅黑");
}

// Moved to a monitor of twice the scale, the window keeps its place from the system's suggestion
// and every control's rectangle doubles (within the pixel each edge rounds to).
TEST(InstallerWindowScale, MovingToAMonitorOfAnotherScaleLaysItOutAgain) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  const int dpi = installer.dialog().Dpi();
  std::vector<std::pair<HWND, RECT>> before;
  for (HWND control : VisibleChildren(window)) before.emplace_back(control, RectInParent(control));
  const SIZE client = ClientSize(window);
  RECT suggested{40, 30, 40 + 2 * client.cx, 30 + 2 * client.cy};
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(2 * dpi, 2 * dpi), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(installer.dialog().Dpi(), 2 * dpi);
  RECT frame{};
  GetWindowRect(window, &frame);
  EXPECT_EQ(frame.left, 40);
  EXPECT_EQ(frame.top, 30);
  EXPECT_NEAR(ClientSize(window).cx, 2 * client.cx, 1);
  EXPECT_NEAR(ClientSize(window).cy, 2 * client.cy, 1);
  for (const auto& [control, rect] : before) {
    const RECT now = RectInParent(control);
    SCOPED_TRACE(GetDlgCtrlID(control));
    EXPECT_NEAR(now.left, 2 * rect.left, 1);
    EXPECT_NEAR(now.top, 2 * rect.top, 1);
    EXPECT_NEAR(now.right, 2 * rect.right, 1);
    EXPECT_NEAR(now.bottom, 2 * rect.bottom, 1);
  }
  SaveWindowScreenshot(window, L"page-setup-moved-to-" + std::to_wstring(2 * dpi));
}

// At 200 % the artwork is drawn for that size, not enlarged: the browse button's border meets its
// face without a colour in between, and the install button's edge meets the page in one step.
TEST(InstallerWindowScale, EdgesAreSharpWhereTheArtHasThem) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  if (installer.dialog().Dpi() != 192) GTEST_SKIP() << "checked at 192 dpi";
  Command(window, IDC_CUSTOM_OPEN);
  SaveWindowScreenshot(window, L"sharp-192");  // brings it to the front and paints it
  const RECT browse = RectInParent(GetDlgItem(window, IDC_BROWSE));
  const int row = (browse.top + browse.bottom) / 2;
  for (int x = browse.left; x < browse.left + 8; ++x) {
    const COLORREF pixel = ScreenPixel(window, {x, row});
    EXPECT_FALSE(Blended(pixel, RGB(0xB7, 0xB7, 0xB7), RGB(0xEE, 0xEE, 0xEE))) << "browse button at x " << x;
  }
  const RECT install = RectInParent(GetDlgItem(window, IDC_INSTALL));
  const int column = (install.left + install.right) / 2;
  for (int y = install.top - 3; y < install.top + 3; ++y) {
    const COLORREF pixel = ScreenPixel(window, {column, y});
    EXPECT_FALSE(Blended(pixel, RGB(0xF5, 0xF5, 0xF5), RGB(0x32, 0x9E, 0xD9))) << "install button at y " << y;
  }
}

TEST(InstallerWindowExpand, OnlyWithTheAgreementAndUncheckingLeavesItExpanded) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  RECT before{};
  GetWindowRect(window, &before);

  SendMessageW(GetDlgItem(window, IDC_AGREE), BM_SETCHECK, BST_UNCHECKED, 0);
  Command(window, IDC_CUSTOM_OPEN);
  EXPECT_EQ(WindowSize(window).cy, before.bottom - before.top) << "expanded without the agreement";

  SendMessageW(GetDlgItem(window, IDC_AGREE), BM_SETCHECK, BST_CHECKED, 0);
  Command(window, IDC_CUSTOM_OPEN);
  RECT expanded{};
  GetWindowRect(window, &expanded);
  EXPECT_EQ(expanded.bottom - expanded.top, before.bottom - before.top + skin::Scale(200, installer.dialog().Dpi()));
  EXPECT_EQ(expanded.top, before.top);
  EXPECT_EQ(expanded.left, before.left);
  EXPECT_FALSE(Visible(window, IDC_CUSTOM_OPEN));
  EXPECT_TRUE(Visible(window, IDC_STARTMENU_LABEL));

  // Taking the agreement back does not collapse; collapsing needs no agreement.
  SendMessageW(window, WM_OPTION_LABEL_CLICKED, 1, 0);
  EXPECT_FALSE(Checked(window, IDC_AGREE));
  EXPECT_EQ(WindowSize(window).cy, expanded.bottom - expanded.top);
  Command(window, IDC_CUSTOM_CLOSE);
  EXPECT_EQ(WindowSize(window).cy, before.bottom - before.top);
  EXPECT_TRUE(Visible(window, IDC_CUSTOM_OPEN));
  EXPECT_FALSE(Visible(window, IDC_STARTMENU_LABEL));

  // The progress page of an expanded window is drawn at the collapsed height.
  Command(window, IDC_CUSTOM_OPEN);
  installer.dialog().ShowPage(CMainDlg::PAGE_DOWNLOADING);
  EXPECT_EQ(WindowSize(window).cy, before.bottom - before.top);
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
  // Indices other than 1..4 change nothing.
  for (WPARAM index : {0u, 5u, 1232u}) SendMessageW(window, WM_OPTION_LABEL_CLICKED, index, 0);
  for (int box : boxes) EXPECT_FALSE(Checked(window, box)) << box;
}

// A click opens the terms and focuses the link without a mark; once the keyboard is used the
// focused link is framed, and the frame goes with the focus (it used to stay, drawn by XOR).
TEST(InstallerWindowOptions, TheLinkOpensTheTermsPageAndItsFocusMarkGoesWithTheFocus) {
  testing_support::RecordingShell shell;
  InstallerWindow installer;
  HWND window = installer.hwnd();
  HWND link = GetDlgItem(window, IDC_TERMS_LINK);
  ClickWithMouse(link);
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0], L"http://" VENDOR_SERVER L"/terms.html");
  ASSERT_EQ(GetFocus(), link);

  // The mark's top line runs along the link's top row, where the label's glyphs do not reach.
  const RECT rect = RectInParent(link);
  auto markInk = [&] {
    int ink = 0;
    for (int x = rect.left; x < rect.left + 20; ++x) ink += ScreenPixel(window, {x, rect.top}) != RGB(0xF5, 0xF5, 0xF5);
    return ink;
  };
  EXPECT_EQ(markInk(), 0) << "no mark after a click";
  ASSERT_TRUE(PressKey(VK_TAB, true, [&] { return GetFocus() == GetDlgItem(window, IDC_AGREE); }));
  ASSERT_TRUE(PressKey(VK_TAB, false, [&] { return GetFocus() == link; }));
  Pump(100);
  EXPECT_GT(markInk(), 0) << "the focused link is framed";
  ASSERT_TRUE(PressKey(VK_TAB, false, [&] { return GetFocus() != link; }));
  Pump(100);
  EXPECT_EQ(markInk(), 0) << "the frame went with the focus";
}

// Records what the window shows on its taskbar button, and the state while each box is open.
class RecordingTaskbar final : public ITaskbarProgress {
 public:
  RecordingTaskbar() { SetTaskbar(this); }
  ~RecordingTaskbar() { SetTaskbar(nullptr); }
  void SetState(HWND, State value) override { state = value; }
  void SetValue(HWND, std::uint64_t done, std::uint64_t total) override {
    values.push_back(static_cast<int>(done * 100 / (total ? total : 1)));
  }
  State state = State::kNone;
  std::vector<int> values;
};

class PromptRecordingTaskbar final : public IPrompt {
 public:
  explicit PromptRecordingTaskbar(const RecordingTaskbar& taskbar) : taskbar_(taskbar) { SetPrompt(this); }
  ~PromptRecordingTaskbar() { SetPrompt(nullptr); }
  int Show(HWND, const std::wstring&, const std::wstring&, UINT) override {
    statesWhileShown.push_back(taskbar_.state);
    return IDCANCEL;
  }
  std::vector<ITaskbarProgress::State> statesWhileShown;

 private:
  const RecordingTaskbar& taskbar_;
};

TEST(InstallerWindowProgress, BarTextAndTaskbarFollowTheDownloadAndExtraction) {
  RecordingTaskbar taskbar;
  PromptRecordingTaskbar prompt(taskbar);
  InstallerWindow installer;
  HWND window = installer.hwnd();
  installer.dialog().ShowPage(CMainDlg::PAGE_DOWNLOADING);
  SendMessageW(window, WM_DOWNLOAD_PROGRESS, 37, 0);
  EXPECT_EQ(SendMessageW(GetDlgItem(window, IDC_PROGRESS), PBM_GETPOS, 0, 0), 37);
  EXPECT_EQ(TextOf(GetDlgItem(window, IDC_DOWNLOAD_PERCENT)), L"37%");

  SendMessageW(window, WM_EXTRACT_START, 0, 0);
  HWND percent = ChildrenWithId(window, IDC_EXTRACT_PERCENT).at(1);
  for (auto [index, count, shown] : {std::tuple{1, 3, L"33%"}, std::tuple{2, 3, L"66%"},
                                     std::tuple{2999999, 3000000, L"99%"}, std::tuple{1, 0, L"99%"}}) {
    SendMessageW(window, WM_EXTRACT_PROGRESS, static_cast<WPARAM>(index), count);
    EXPECT_EQ(TextOf(percent), shown) << index << " of " << count;
  }
  EXPECT_EQ(TextOf(GetDlgItem(window, 1232)), L"我同意") << "the agree caption shares the id and is found first";
  EXPECT_EQ(taskbar.values, (std::vector<int>{37, 0, 33, 66, 99}));

  // A failure box is shown with the error state, which goes when it is answered.
  SendMessageW(window, WM_EXTRACT_FAILED, 4, 7);
  EXPECT_EQ(prompt.statesWhileShown,
            (std::vector<ITaskbarProgress::State>{ITaskbarProgress::State::kError, ITaskbarProgress::State::kError}));
  EXPECT_EQ(taskbar.state, ITaskbarProgress::State::kNone);
}

TEST(InstallerWindowProgress, FinishPageClearsTheTaskbarAndOffersTheSuite) {
  RecordingTaskbar taskbar;
  InstallerWindow installer;
  HWND window = installer.hwnd();
  taskbar.state = ITaskbarProgress::State::kNormal;
  SendMessageW(window, WM_EXTRACT_FINISHED, 0, 0);
  EXPECT_EQ(taskbar.state, ITaskbarProgress::State::kNone);
  EXPECT_EQ(TextOf(GetDlgItem(window, IDC_INSTALL)), L"立即体验");
  EXPECT_TRUE(Visible(window, IDC_INSTALL));
  EXPECT_FALSE(Visible(window, IDC_PROGRESS));
}

// The speed at the right of the status line, and the retry notice in place of the percentage while
// nothing arrives; the notice's longer text leaves nothing behind when it goes.
TEST(InstallerWindowProgress, StatusLineShowsSpeedAndTheRetryNoticeWhileStalled) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  CMainDlg& dialog = installer.dialog();
  dialog.ShowPage(CMainDlg::PAGE_DOWNLOADING);
  SendMessageW(window, WM_DOWNLOAD_PROGRESS, 10, 0);
  HWND text = GetDlgItem(window, IDC_PROGRESS_TEXT);
  HWND speed = GetDlgItem(window, IDC_DOWNLOAD_SPEED);
  const std::uint64_t total = 100ull << 20;
  std::uint32_t now = 5000;
  for (int i = 0; i <= 6; ++i, now += 500) dialog.ShowDownloadStatus(now, (10ull << 20) + i * (1ull << 20), total, false);
  EXPECT_EQ(TextOf(speed), L"2.0 MB/s · 剩余 42 秒");
  EXPECT_EQ(TextOf(text), L"正在下载文件:");

  dialog.ShowDownloadStatus(now, 16ull << 20, total, true);
  EXPECT_EQ(TextOf(text), L"网络连接中断，正在重试…");
  EXPECT_FALSE(Visible(window, IDC_DOWNLOAD_PERCENT));
  EXPECT_EQ(TextOf(speed), L"");

  dialog.ShowDownloadStatus(now + 500, 17ull << 20, total, false);
  EXPECT_EQ(TextOf(text), L"正在下载文件:");
  EXPECT_EQ(TextOf(GetDlgItem(window, IDC_DOWNLOAD_PERCENT)), L"10%");
  EXPECT_TRUE(Visible(window, IDC_DOWNLOAD_PERCENT));
}

// White pixels in `rect` of the window's client area, as the screen shows them.
int InkIn(HWND window, const RECT& rect) {
  int ink = 0;
  for (int x = rect.left; x < rect.right; ++x)
    for (int y = rect.top; y < rect.bottom; ++y) ink += ScreenPixel(window, {x, y}) != RGB(255, 255, 255);
  return ink;
}

// The width of `text` in `label`'s font.
int TextWidth(HWND label, const wchar_t* text) {
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  return size.cx;
}

// The status text is drawn without a background: when it becomes shorter ("网络连接中断，正在重试…"
// back to "正在下载文件:", "正在下载文件:" to "正在解压文件") the parent repaints under it and
// nothing of the longer text stays on the screen.
TEST(InstallerWindowProgress, AShorterStatusTextLeavesNothingOfTheLongerOne) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  CMainDlg& dialog = installer.dialog();
  dialog.ShowPage(CMainDlg::PAGE_DOWNLOADING);
  SendMessageW(window, WM_DOWNLOAD_PROGRESS, 50, 0);
  SaveWindowScreenshot(window, L"status-downloading");  // in front and painted
  HWND label = GetDlgItem(window, IDC_PROGRESS_TEXT);
  const RECT line = RectInParent(label);
  const int percentEnd = RectInParent(GetDlgItem(window, IDC_DOWNLOAD_PERCENT)).right;

  dialog.ShowDownloadStatus(1000, 1, 100, true);
  Pump(100);
  const RECT tail{percentEnd, line.top, line.left + TextWidth(label, L"网络连接中断，正在重试…"), line.bottom};
  ASSERT_GT(InkIn(window, tail), 0) << "the retry notice is on screen";
  dialog.ShowDownloadStatus(1500, 2, 100, false);
  Pump(100);
  EXPECT_EQ(InkIn(window, tail), 0) << "the notice's tail stayed";

  const RECT colon{line.left + TextWidth(label, L"正在下载文件"), line.top,
                   line.left + TextWidth(label, L"正在下载文件:"), line.bottom};
  ASSERT_GT(InkIn(window, colon), 0) << "the colon is on screen while downloading";
  SendMessageW(window, WM_EXTRACT_START, 0, 0);
  Pump(100);
  EXPECT_EQ(InkIn(window, colon), 0) << "the colon stayed";
  SaveWindowScreenshot(window, L"status-extracting");
}

TEST(InstallerWindowMouse, BackgroundIsTheCaptionAndControlsAreNot) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  const SIZE client = ClientSize(window);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  auto hit = [&](HWND target, int x, int y) {
    return SendMessageW(target, WM_NCHITTEST, 0, MAKELPARAM(origin.x + x, origin.y + y));
  };
  EXPECT_EQ(hit(window, 0, 0), HTCAPTION);
  EXPECT_EQ(hit(window, client.cx - 1, client.cy - 1), HTCAPTION);
  EXPECT_EQ(hit(window, client.cx, 10), HTNOWHERE);
  EXPECT_EQ(hit(window, 10, client.cy), HTNOWHERE);
  // Buttons, captions and the link take the mouse; plain labels let it through to the window.
  for (int id : {IDC_INSTALL, IDC_AGREE, IDC_AGREE_LABEL, IDC_TERMS_LINK}) {
    const RECT rect = RectInParent(GetDlgItem(window, id));
    EXPECT_EQ(hit(GetDlgItem(window, id), rect.left + 2, rect.top + 2), HTCLIENT) << id;
  }
  const RECT label = RectInParent(GetDlgItem(window, IDC_OPTIONS_LABEL));
  EXPECT_EQ(hit(GetDlgItem(window, IDC_OPTIONS_LABEL), label.left + 2, label.top + 2), HTTRANSPARENT);
}

TEST(InstallerWindowQuit, CancelCommandChangesNothingAndQuitMessageEndsTheLoopWithTheExitCode) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  const SIZE size = WindowSize(window);
  SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
  SendMessageW(window, WM_COMMAND, IDOK, 0);
  Pump(100);
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(WindowSize(window).cy, size.cy);
  EXPECT_TRUE(Checked(window, IDC_AGREE));

  installer.dialog().m_wExitCode = 1005;
  PostMessageW(window, WM_INSTALLER_QUIT, 0, 0);
  EXPECT_EQ(installer.loop().Run(), 1005);
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
