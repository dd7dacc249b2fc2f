// The installer window: every page at the prefix's display scale (run at 96, 120, 144 and 192 dpi
// by dpi_scales.sh), expanding, the option captions and the link, the progress display with its
// speed, retry notice and taskbar button, dragging, the keyboard alone (the tab order, Enter and
// Space) and the accessible names of the picture buttons.
#include "app/window/main_window.h"

#include <commctrl.h>
#include <oleacc.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/ids.h"
#include "app/prompt.h"
#include "app/window/taskbar.h"
#include "skin/dpi.h"
#include "tests/core/support/temp_dir.h"
#include "tests/win/support/system.h"
#include "tests/win/support/window.h"

namespace {

using namespace testsupport;

void Command(HWND window, int id) {
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

std::vector<HWND> VisibleChildren(HWND window) {
  std::vector<HWND> shown;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (IsWindowVisible(child)) shown.push_back(child);
  return shown;
}

// The percentage labels lie over the status text's line by design.
bool OverlapAllowed(HWND a, HWND b) {
  auto percent = [](HWND w) { return GetDlgCtrlID(w) == IDC_DOWNLOAD_PERCENT || GetDlgCtrlID(w) == IDC_EXTRACT_PERCENT; };
  return (GetDlgCtrlID(a) == IDC_PROGRESS_TEXT && percent(b)) || (GetDlgCtrlID(b) == IDC_PROGRESS_TEXT && percent(a));
}

// Every view at the prefix's scale: centred, the client is the 96-dpi size times the scale, every
// visible control lies inside it and none covers another, fonts follow the scale; a screenshot of
// each view is saved as page-<view>-<dpi>.png.
TEST(InstallerWindowScale, EveryViewIsTheDesignLayoutTimesTheScale) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  const int dpi = installer.window().Dpi();
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor));
  RECT frame{};
  GetWindowRect(window, &frame);
  EXPECT_NEAR(frame.left - monitor.rcWork.left, monitor.rcWork.right - frame.right, 1) << "centred";
  EXPECT_NEAR(frame.top - monitor.rcWork.top, monitor.rcWork.bottom - frame.bottom, 1) << "centred";
  const struct {
    View view;
    int height;
    const wchar_t* name;
  } views[] = {{kViewSetup, 398, L"setup-collapsed"}, {kViewSetupExpanded, 598, L"setup-expanded"},
               {kViewDownloading, 398, L"downloading"}, {kViewExtracting, 398, L"extracting"},
               {kViewFinished, 398, L"finish"}};
  for (const auto& view : views) {
    SCOPED_TRACE(testing::Message() << "view " << view.view << " at " << dpi << " dpi");
    if (view.view == kViewFinished)
      SendMessageW(window, WM_EXTRACT_FINISHED, 0, 0);  // the finish page with its own caption
    else
      installer.window().ShowPage(view.view);
    if (view.view == kViewDownloading) SendMessageW(window, WM_DOWNLOAD_PROGRESS, 37, 0);
    if (view.view == kViewExtracting) SendMessageW(window, WM_EXTRACT_START, 0, 0);
    const SIZE client = ClientSize(window);
    EXPECT_NEAR(client.cx, 580 * dpi / 96.0, 2);
    EXPECT_NEAR(client.cy, view.height * dpi / 96.0, 2);
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.right - frame.left, client.cx) << "a popup without frame";
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
    EXPECT_TRUE(SaveWindowScreenshot(window, std::wstring(L"page-") + view.name + L"-" + std::to_wstring(dpi)));
  }
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(installer.item(IDC_OPTIONS_LABEL), WM_GETFONT, 0, 0)),
             sizeof(font), &font);
  EXPECT_EQ(font.lfHeight, -MulDiv(dpi, 100, 720)) << "fonts follow the window's DPI, not the template's";
  EXPECT_STREQ(font.lfFaceName, L"微软雅黑");
}

// Moved to a monitor of twice the scale, the window takes the system's suggested place and every
// control's rectangle doubles (within the pixel each edge rounds to).
TEST(InstallerWindowScale, MovingToAMonitorOfTwiceTheScaleDoublesTheLayout) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  const int dpi = installer.window().Dpi();
  std::vector<std::pair<HWND, RECT>> before;
  for (HWND control : VisibleChildren(window)) before.emplace_back(control, RectInParent(control));
  const SIZE client = ClientSize(window);
  RECT suggested{40, 30, 40 + 2 * client.cx, 30 + 2 * client.cy};
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(2 * dpi, 2 * dpi), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(installer.window().Dpi(), 2 * dpi);
  RECT frame{};
  GetWindowRect(window, &frame);
  EXPECT_TRUE(frame.left == 40 && frame.top == 30) << "not at the suggested place";
  EXPECT_NEAR(ClientSize(window).cx, 2 * client.cx, 1);
  EXPECT_NEAR(ClientSize(window).cy, 2 * client.cy, 1);
  for (const auto& [control, rect] : before) {
    const RECT now = RectInParent(control);
    EXPECT_TRUE(std::abs(now.left - 2 * rect.left) <= 1 && std::abs(now.top - 2 * rect.top) <= 1 &&
                std::abs(now.right - 2 * rect.right) <= 1 && std::abs(now.bottom - 2 * rect.bottom) <= 1)
        << "control " << GetDlgCtrlID(control);
  }
}

// Expanding needs the agreement, taking it back does not collapse, collapsing needs none; the
// progress page of an expanded window is drawn at the collapsed height. Each caption toggles its
// own box and no other, by the mouse or by its index.
TEST(InstallerWindowOptions, ExpandingAndEachCaptionTogglesItsBoxOnly) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  const SIZE collapsed = ClientSize(window);
  SendMessageW(installer.item(IDC_AGREE), BM_SETCHECK, BST_UNCHECKED, 0);
  Command(window, IDC_CUSTOM_OPEN);
  EXPECT_EQ(ClientSize(window).cy, collapsed.cy) << "expanded without the agreement";
  SendMessageW(installer.item(IDC_AGREE), BM_SETCHECK, BST_CHECKED, 0);
  RECT before{}, expanded{};
  GetWindowRect(window, &before);
  Command(window, IDC_CUSTOM_OPEN);
  GetWindowRect(window, &expanded);
  EXPECT_EQ(expanded.bottom - expanded.top, collapsed.cy + skin::Scale(200, installer.window().Dpi()));
  EXPECT_TRUE(expanded.top == before.top && expanded.left == before.left) << "the expanded window moved";
  EXPECT_FALSE(IsWindowVisible(installer.item(IDC_CUSTOM_OPEN)));

  const int boxes[] = {IDC_AGREE, IDC_DESKTOP_SHORTCUT, IDC_AUTORUN, IDC_STARTMENU_SHORTCUT};
  const int captions[] = {IDC_AGREE_LABEL, IDC_DESKTOP_LABEL, IDC_AUTORUN_LABEL, IDC_STARTMENU_LABEL};
  for (int i = 0; i < 4; ++i) {
    ClickCenter(installer.item(captions[i]), Pump);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(Checked(installer.item(boxes[j])), j > i) << captions[i] << " " << boxes[j];
  }
  EXPECT_EQ(ClientSize(window).cy, expanded.bottom - expanded.top) << "collapsed with the agreement taken back";
  for (WPARAM index : {0u, 5u, 1232u, 1u}) SendMessageW(window, WM_OPTION_LABEL_CLICKED, index, 0);
  for (int box : boxes) EXPECT_EQ(Checked(installer.item(box)), box == IDC_AGREE) << "index out of 1..4 changed " << box;
  Command(window, IDC_CUSTOM_CLOSE);
  EXPECT_EQ(ClientSize(window).cy, collapsed.cy);
  EXPECT_TRUE(IsWindowVisible(installer.item(IDC_CUSTOM_OPEN)));
  EXPECT_FALSE(IsWindowVisible(installer.item(IDC_STARTMENU_LABEL)));
  Command(window, IDC_CUSTOM_OPEN);
  installer.window().ShowPage(kViewDownloading);
  EXPECT_EQ(ClientSize(window).cy, collapsed.cy);
}

// A click opens the terms and focuses the link without a mark; once the keyboard is used the
// focused link is framed, and the frame goes with the focus (it used to stay, drawn by XOR).
TEST(InstallerWindowOptions, TheLinkOpensTheTermsPageAndItsFocusMarkGoesWithTheFocus) {
  RecordingShell shell;
  InstallerWindow installer;
  HWND window = installer.hwnd();
  HWND link = installer.item(IDC_TERMS_LINK);
  ClickCenter(link, Pump);
  EXPECT_EQ(shell.opened, std::vector<std::wstring>{L"http://" VENDOR_SERVER L"/terms.html"});
  ASSERT_EQ(GetFocus(), link);
  // The mark's top line runs along the link's top row, where the label's glyphs do not reach.
  const RECT rect = RectInParent(link);
  const RECT topRow{rect.left, rect.top, rect.left + 20, rect.top + 1};
  const COLORREF page = ScreenPixel(window, {rect.left, rect.top - 2});
  EXPECT_EQ(InkIn(window, topRow, page), 0) << "no mark after a click";
  ASSERT_TRUE(PressKey(VK_TAB, true, [&] { return GetFocus() == installer.item(IDC_AGREE); }));
  ASSERT_TRUE(PressKey(VK_TAB, false, [&] { return GetFocus() == link; }));
  EXPECT_TRUE(PumpUntil([&] { return InkIn(window, topRow, page) > 0; })) << "the focused link is framed";
  ASSERT_TRUE(PressKey(VK_TAB, false, [&] { return GetFocus() != link; }));
  EXPECT_TRUE(PumpUntil([&] { return InkIn(window, topRow, page) == 0; })) << "the frame stayed";
}

// Records the taskbar button's progress, and its state while each box is shown (answered Cancel).
class RecordingTaskbar final : public ITaskbarProgress, public IPrompt {
 public:
  RecordingTaskbar() {
    SetTaskbar(this);
    SetPrompt(this);
  }
  ~RecordingTaskbar() {
    SetPrompt(nullptr);
    SetTaskbar(nullptr);
  }
  void SetState(HWND, State value) override { state = value; }
  void SetValue(HWND, std::uint64_t done, std::uint64_t total) override {
    values.push_back(static_cast<int>(done * 100 / (total ? total : 1)));
  }
  int Show(HWND, const std::wstring& text, const std::wstring&, UINT) override {
    statesWhileShown.push_back(state);
    texts.push_back(text);
    return IDCANCEL;
  }
  State state = State::kNone;
  std::vector<std::wstring> texts;
  std::vector<int> values;
  std::vector<State> statesWhileShown;
};

TEST(InstallerWindowProgress, BarTextAndTaskbarFollowTheDownloadExtractionAndFinish) {
  RecordingTaskbar taskbar;
  InstallerWindow installer;
  HWND window = installer.hwnd();
  installer.window().ShowPage(kViewDownloading);
  SendMessageW(window, WM_DOWNLOAD_PROGRESS, 37, 0);
  EXPECT_EQ(SendMessageW(installer.item(IDC_PROGRESS), PBM_GETPOS, 0, 0), 37);
  EXPECT_EQ(TextOf(installer.item(IDC_DOWNLOAD_PERCENT)), L"37%");

  SendMessageW(window, WM_EXTRACT_START, 0, 0);
  // The agree caption shares the percentage's id and comes first.
  HWND percent = GetWindow(installer.item(IDC_EXTRACT_PERCENT), GW_HWNDNEXT);
  while (percent && GetDlgCtrlID(percent) != IDC_EXTRACT_PERCENT) percent = GetWindow(percent, GW_HWNDNEXT);
  ASSERT_TRUE(percent);
  for (auto [index, count, shown] : {std::tuple{1, 3, L"33%"}, std::tuple{2, 3, L"66%"},
                                     std::tuple{2999999, 3000000, L"99%"}, std::tuple{1, 0, L"99%"}}) {
    SendMessageW(window, WM_EXTRACT_PROGRESS, static_cast<WPARAM>(index), count);
    EXPECT_EQ(TextOf(percent), shown) << index << " of " << count;
  }
  EXPECT_EQ(taskbar.values, (std::vector<int>{37, 0, 33, 66, 99}));

  // A failure box is shown with the error state, which goes when it is answered.
  SendMessageW(window, WM_EXTRACT_FAILED, 4, 7);
  EXPECT_EQ(taskbar.statesWhileShown, std::vector<ITaskbarProgress::State>(2, ITaskbarProgress::State::kError));
  EXPECT_EQ(taskbar.state, ITaskbarProgress::State::kNone);

  taskbar.state = ITaskbarProgress::State::kNormal;
  SendMessageW(window, WM_EXTRACT_FINISHED, 0, 0);
  EXPECT_EQ(taskbar.state, ITaskbarProgress::State::kNone) << "the finish page clears the taskbar";
  EXPECT_EQ(TextOf(installer.item(IDC_INSTALL)), L"立即体验");
  EXPECT_TRUE(IsWindowVisible(installer.item(IDC_INSTALL)));
  EXPECT_FALSE(IsWindowVisible(installer.item(IDC_PROGRESS)));
}

// The install command starts nothing without a usable directory (a box says so, no parent is
// made) or without the agreement (the one directory level is made, nothing else happens).
TEST(InstallerWindowProgress, AMissingParentOrAgreementStartsNothing) {
  RecordingTaskbar prompts;
  testsupport::TempDir base(L"TavoInstallCommand");
  InstallerWindow installer;
  HWND window = installer.hwnd();
  HWND field = GetDlgItem(FindWindowExW(window, nullptr, L"WTL_BitmapEditControl", nullptr), IDC_INSTALL_DIR);
  SetWindowTextW(field, (base.Wide() + L"missing\\child\\").c_str());
  Command(window, IDC_INSTALL);
  EXPECT_EQ(prompts.texts, std::vector<std::wstring>{L"未知的位置,请确定目录是否存在或手动创建目录"});
  EXPECT_FALSE(Exists(base.Wide() + L"missing")) << "a parent of the install directory was made";
  SendMessageW(installer.item(IDC_AGREE), BM_SETCHECK, BST_UNCHECKED, 0);
  SetWindowTextW(field, (base.Wide() + L"no-agreement").c_str());
  Command(window, IDC_INSTALL);
  EXPECT_TRUE(Exists(base.Wide() + L"no-agreement"));
  EXPECT_TRUE(IsWindowVisible(installer.item(IDC_INSTALL)) && !IsWindowVisible(installer.item(IDC_PROGRESS)));
  EXPECT_EQ(prompts.texts.size(), 1u);
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

// The speed at the right of the status line, and the retry notice in place of the percentage while
// nothing arrives. The status text is drawn without a background: when it becomes shorter (the
// notice back to "正在下载文件:", that to "正在解压文件") the parent repaints under it and nothing
// of the longer text stays on the screen.
TEST(InstallerWindowProgress, StatusLineShowsSpeedAndRetryNoticeAndLeavesNoOldText) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  MainWindow& dialog = installer.window();
  dialog.ShowPage(kViewDownloading);
  SendMessageW(window, WM_DOWNLOAD_PROGRESS, 10, 0);
  HWND text = installer.item(IDC_PROGRESS_TEXT);
  HWND speed = installer.item(IDC_DOWNLOAD_SPEED);
  constexpr std::uint64_t MiB = 1ull << 20;
  std::uint32_t now = 5000;
  for (int i = 0; i <= 6; ++i, now += 500) dialog.Status().ShowDownloadStatus(now, 10 * MiB + i * MiB, 100 * MiB, false);
  EXPECT_EQ(TextOf(speed), L"2.0 MB/s · 剩余 42 秒");
  EXPECT_EQ(TextOf(text), L"正在下载文件:");
  SaveWindowScreenshot(window, L"status-downloading");  // in front and painted

  const RECT line = RectInParent(text);
  const RECT tail{RectInParent(installer.item(IDC_DOWNLOAD_PERCENT)).right, line.top,
                  line.left + TextWidth(text, L"网络连接中断，正在重试…"), line.bottom};
  const RECT colon{line.left + TextWidth(text, L"正在下载文件"), line.top, line.left + TextWidth(text, L"正在下载文件:"),
                   line.bottom};
  const COLORREF white = RGB(255, 255, 255);
  dialog.Status().ShowDownloadStatus(now, 16 * MiB, 100 * MiB, true);
  EXPECT_EQ(TextOf(text), L"网络连接中断，正在重试…");
  EXPECT_FALSE(IsWindowVisible(installer.item(IDC_DOWNLOAD_PERCENT)));
  EXPECT_EQ(TextOf(speed), L"");
  EXPECT_TRUE(PumpUntil([&] { return InkIn(window, tail, white) > 0; })) << "the notice is not on screen";

  dialog.Status().ShowDownloadStatus(now + 500, 17 * MiB, 100 * MiB, false);
  EXPECT_EQ(TextOf(text), L"正在下载文件:");
  EXPECT_EQ(TextOf(installer.item(IDC_DOWNLOAD_PERCENT)), L"10%");
  EXPECT_TRUE(IsWindowVisible(installer.item(IDC_DOWNLOAD_PERCENT)));
  EXPECT_TRUE(PumpUntil([&] { return InkIn(window, tail, white) == 0; })) << "the notice's tail stayed";
  ASSERT_GT(InkIn(window, colon, white), 0) << "the colon is on screen while downloading";
  SendMessageW(window, WM_EXTRACT_START, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return InkIn(window, colon, white) == 0; })) << "the colon stayed";
  SaveWindowScreenshot(window, L"status-extracting");
}

// The background drags the window (a caption hit); buttons, captions and the link take the mouse
// and plain labels let it through.
TEST(InstallerWindowMouse, BackgroundIsTheCaptionAndOnlyActiveControlsTakeTheMouse) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  const SIZE client = ClientSize(window);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  auto hit = [&](HWND target, int x, int y) { return SendMessageW(target, WM_NCHITTEST, 0, MAKELPARAM(origin.x + x, origin.y + y)); };
  EXPECT_EQ(hit(window, 0, 0), HTCAPTION);
  EXPECT_EQ(hit(window, client.cx - 1, client.cy - 1), HTCAPTION);
  EXPECT_EQ(hit(window, client.cx, 10), HTNOWHERE);
  for (int id : {IDC_INSTALL, IDC_AGREE, IDC_AGREE_LABEL, IDC_TERMS_LINK, IDC_OPTIONS_LABEL}) {
    const RECT rect = RectInParent(installer.item(id));
    EXPECT_EQ(hit(installer.item(id), rect.left + 2, rect.top + 2), id == IDC_OPTIONS_LABEL ? HTTRANSPARENT : HTCLIENT) << id;
  }
}

// ---- the keyboard alone and a screen reader ----

// The id of the window's child that holds the focus (the directory field's frame has id 0).
int FocusedId(HWND window) {
  HWND focus = GetFocus();
  while (focus && GetParent(focus) != window) focus = GetParent(focus);
  return !focus ? 0 : GetDlgCtrlID(focus) ? GetDlgCtrlID(focus) : IDC_INSTALL_DIR;
}

TEST(InstallerWindowKeyboard, TabGoesThroughTheControlsInOrderAndEnterAndSpacePressThem) {
  InstallerWindow installer;
  HWND window = installer.hwnd();
  MainWindow& dialog = installer.window();
  SetFocus(installer.item(IDC_AGREE));
  EXPECT_TRUE(PressKey(VK_SPACE, false, [&] { return !Checked(installer.item(IDC_AGREE)); }));
  EXPECT_TRUE(PressKey(VK_RETURN, false, [&] { return Checked(installer.item(IDC_AGREE)); }));
  SetFocus(installer.item(IDC_CUSTOM_OPEN));
  EXPECT_TRUE(PressKey(VK_RETURN, false, [&] { return dialog.CurrentView() == kViewSetupExpanded; }));
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
  EXPECT_TRUE(PressKey(VK_SPACE, false, [&] { return dialog.CurrentView() == kViewSetup; }));
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
