// The installer window's start-up look (place, class style, icons) and the background of each
// page, painted into a given DC and on the screen, with a screenshot of every page saved under
// build/screenshots/.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "app/ids.h"
#include "app/main_dlg.h"
#include "tests/win/support/dib_canvas.h"
#include "tests/win/support/installer_window.h"
#include "tests/win/support/screenshot.h"

namespace {

using testing_support::ChildrenWithId;
using testing_support::InstallerWindow;
using testing_support::Pump;
using testing_support::RectInParent;

constexpr COLORREF kBandBlue = RGB(0x49, 0x9E, 0xDE);
constexpr COLORREF kGreyFill = RGB(0xF5, 0xF5, 0xF5);
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kUnpainted = RGB(0xFF, 0x00, 0xFF);

struct PageLook {
  int page;
  int band;
  COLORREF below;
};
constexpr PageLook kPages[] = {
    {CMainDlg::PAGE_SETUP, 274, kGreyFill},
    {CMainDlg::PAGE_PROGRESS, 260, kWhite},
    {CMainDlg::PAGE_FINISH, 274, kGreyFill},
};

// Points of the band clear of every band's texts and streaks, the band's last row included.
std::vector<POINT> BandPoints(int band) { return {{40, band - 4}, {560, band - 6}, {260, band - 1}}; }
std::vector<POINT> BelowPoints(int band, SIZE client) {
  return {{0, band}, {300, band}, {client.cx - 1, client.cy - 1}};
}

SIZE ClientSize(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return {client.right, client.bottom};
}

TEST(InstallerWindowLook, OpensCentredOnTheWorkAreaWithDropShadowAndBothIcons) {
  InstallerWindow window;
  HWND hwnd = window.hwnd();
  ASSERT_NE(hwnd, nullptr);

  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor));
  RECT frame{};
  GetWindowRect(hwnd, &frame);
  const RECT& work = monitor.rcWork;
  EXPECT_NEAR(frame.left - work.left, work.right - frame.right, 1);
  EXPECT_NEAR(frame.top - work.top, work.bottom - frame.bottom, 1);

  EXPECT_EQ(GetClassLongPtrW(hwnd, GCL_STYLE) & 0x20100, 0x20100u);

  struct IconKind {
    WPARAM kind;
    int metric;
  };
  for (IconKind icon : {IconKind{ICON_BIG, SM_CXICON}, IconKind{ICON_SMALL, SM_CXSMICON}}) {
    SCOPED_TRACE(icon.kind);
    auto handle = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, icon.kind, 0));
    ASSERT_NE(handle, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(handle, &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(icon.metric));
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
  }
  EXPECT_EQ(window.dialog().m_nLastExtractPercent, 0);
}

// Snapshots of the window's background (taken by its skinned controls) come through both
// messages with a DC in wParam; the erase request paints nothing and reports the work done.
TEST(InstallerWindowLook, EachPagePaintsItsBandAndFillIntoTheGivenDc) {
  InstallerWindow window;
  HWND hwnd = window.hwnd();
  const SIZE client = ClientSize(hwnd);
  for (UINT message : {UINT{WM_PRINTCLIENT}, UINT{WM_PAINT}}) {
    for (const PageLook& look : kPages) {
      SCOPED_TRACE(testing::Message() << "message " << message << ", page " << look.page);
      window.dialog().m_nPage = look.page;
      DibCanvas canvas(client.cx, client.cy, kUnpainted);
      EXPECT_EQ(SendMessageW(hwnd, message, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT), 0);
      for (POINT p : BandPoints(look.band)) {
        EXPECT_PRED3(NearColour, canvas.At(p.x, p.y), kBandBlue, 2) << p.x << "," << p.y;
      }
      for (POINT p : BelowPoints(look.band, client)) {
        EXPECT_EQ(canvas.At(p.x, p.y), look.below) << p.x << "," << p.y;
      }
    }
  }
  window.dialog().m_nPage = CMainDlg::PAGE_SETUP;

  DibCanvas canvas(client.cx, client.cy, kUnpainted);
  EXPECT_EQ(SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc()), 0), 1);
  EXPECT_EQ(canvas.At(300, 100), kUnpainted);
  EXPECT_EQ(canvas.At(300, 300), kUnpainted);
}

// Shows exactly `shown` (and the close button, present on every page) among the window's
// direct children.
void ShowOnly(HWND window, std::initializer_list<HWND> shown) {
  HWND close = GetDlgItem(window, IDC_CLOSE);
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    bool show = child == close;
    for (HWND wanted : shown) show = show || child == wanted;
    ShowWindow(child, show ? SW_SHOWNA : SW_HIDE);
  }
}

HWND ExtractPercentLabel(HWND window) {
  for (HWND candidate : ChildrenWithId(window, IDC_EXTRACT_PERCENT)) {
    if (RectInParent(candidate).left == 110) return candidate;
  }
  return nullptr;
}

// Shows the page and checks on the screen that its band and fill are there.
void ExpectScreenShowsPage(HWND window, const PageLook& look) {
  const SIZE client = ClientSize(window);
  for (POINT p : BandPoints(look.band)) {
    EXPECT_PRED3(NearColour, ScreenPixel(window, p), kBandBlue, 2) << p.x << "," << p.y;
  }
  for (POINT p : BelowPoints(look.band, client)) {
    if (p.y < client.cy - 1) EXPECT_EQ(ScreenPixel(window, p), look.below) << p.x << "," << p.y;
  }
}

TEST(InstallerWindowLook, EveryPageOnTheScreenIsSavedAsAScreenshot) {
  InstallerWindow window;
  HWND hwnd = window.hwnd();
  CMainDlg& dialog = window.dialog();
  auto item = [hwnd](int id) { return GetDlgItem(hwnd, id); };

  ASSERT_TRUE(SaveWindowScreenshot(hwnd, L"page-setup-collapsed"));
  ExpectScreenShowsPage(hwnd, kPages[0]);

  SendMessageW(hwnd, WM_COMMAND, IDC_CUSTOM_OPEN, 0);
  ASSERT_TRUE(SaveWindowScreenshot(hwnd, L"page-setup-expanded"));
  ExpectScreenShowsPage(hwnd, kPages[0]);
  SendMessageW(hwnd, WM_COMMAND, IDC_CUSTOM_CLOSE, 0);

  // The progress page as the install command leaves it, with a download under way.
  dialog.m_nPage = CMainDlg::PAGE_PROGRESS;
  ShowOnly(hwnd, {item(IDC_FEATURE1), item(IDC_FEATURE2), item(IDC_FEATURE3), item(IDC_FEATURE4),
                  item(IDC_FEATURE1_CAPTION), item(IDC_FEATURE2_CAPTION), item(IDC_FEATURE3_CAPTION),
                  item(IDC_FEATURE4_CAPTION), item(IDC_PROGRESS_TEXT), item(IDC_DOWNLOAD_PERCENT),
                  item(IDC_PROGRESS)});
  InvalidateRect(hwnd, nullptr, FALSE);
  SendMessageW(hwnd, WM_DOWNLOAD_PROGRESS, 37, 0);
  ASSERT_TRUE(SaveWindowScreenshot(hwnd, L"page-downloading"));
  ExpectScreenShowsPage(hwnd, kPages[1]);

  HWND extractPercent = ExtractPercentLabel(hwnd);
  ASSERT_NE(extractPercent, nullptr);
  ShowWindow(item(IDC_DOWNLOAD_PERCENT), SW_HIDE);
  ShowWindow(extractPercent, SW_SHOWNA);
  SetWindowTextW(item(IDC_PROGRESS_TEXT), L"正在解压文件");
  SendMessageW(hwnd, WM_EXTRACT_PROGRESS, 2, 3);
  ASSERT_TRUE(SaveWindowScreenshot(hwnd, L"page-extracting"));

  dialog.m_nPage = CMainDlg::PAGE_FINISH;
  ShowOnly(hwnd, {item(IDC_INSTALL)});
  // The skinned button shows a new text once its pictures are rebuilt, which a font change does.
  HWND install = item(IDC_INSTALL);
  SetWindowTextW(install, L"立即体验");
  SendMessageW(install, WM_SETFONT, SendMessageW(install, WM_GETFONT, 0, 0), TRUE);
  InvalidateRect(hwnd, nullptr, FALSE);
  ASSERT_TRUE(SaveWindowScreenshot(hwnd, L"page-finish"));
  ExpectScreenShowsPage(hwnd, kPages[2]);
}

}  // namespace
