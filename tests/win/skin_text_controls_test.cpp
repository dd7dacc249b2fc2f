// Fonts from point sizes, the option caption's click message and the link's colours.
#include <gtest/gtest.h>

#include "app/ids.h"
#include "skin/dh_static.h"
#include "skin/hyperlink.h"
#include "skin/skin_font.h"
#include "tests/win/support/installer_window.h"

namespace {

TEST(SkinFont, HeightFollowsTheResolutionAndTheMappingMode) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(SkinFontHeight(dc, 96, 90), -12);
  EXPECT_EQ(SkinFontHeight(dc, 96, 100), -13);
  EXPECT_EQ(SkinFontHeight(dc, 96, 130), -17);
  EXPECT_EQ(SkinFontHeight(dc, 96, 150), -20);
  EXPECT_EQ(SkinFontHeight(dc, 120, 150), -25);

  // Two logical units per device pixel: the height doubles, still negative.
  SetMapMode(dc, MM_ANISOTROPIC);
  SetWindowExtEx(dc, 2, 2, nullptr);
  SetViewportExtEx(dc, 1, 1, nullptr);
  EXPECT_EQ(SkinFontHeight(dc, 120, 150), -50);
  // A flipped y axis still gives a negative height.
  SetViewportExtEx(dc, 1, -1, nullptr);
  EXPECT_EQ(SkinFontHeight(dc, 120, 150), -50);
  DeleteDC(dc);
}

TEST(SkinFont, FaceIsCutTo31CharactersWithDefaultCharset) {
  HFONT font = CreateSkinFont(std::wstring(40, L'x'), 90);
  ASSERT_NE(font, nullptr);
  LOGFONTW description{};
  GetObjectW(font, sizeof(description), &description);
  EXPECT_EQ(std::wstring(description.lfFaceName), std::wstring(31, L'x'));
  EXPECT_EQ(description.lfCharSet, DEFAULT_CHARSET);
  EXPECT_EQ(description.lfWeight, 0);
  EXPECT_FALSE(description.lfUnderline);
  DeleteObject(font);
}

TEST(HyperLink, ParsesBrowserColourValues) {
  COLORREF colour = RGB(1, 1, 1);
  EXPECT_TRUE(CHyperLink::ParseColour(L"0,0,255", &colour));
  EXPECT_EQ(colour, RGB(0, 0, 255));
  EXPECT_TRUE(CHyperLink::ParseColour(L" 12, 34 ,56", &colour));
  EXPECT_EQ(colour, RGB(12, 34, 56));
  for (const wchar_t* bad : {L"", L"1,2", L"1,2,3,4", L"256,0,0", L"a,b,c", L"1,,3", L"-1,0,0"}) {
    colour = RGB(9, 9, 9);
    EXPECT_FALSE(CHyperLink::ParseColour(bad, &colour)) << bad;
    EXPECT_EQ(colour, RGB(9, 9, 9)) << bad;
  }
}

// A plain parent window that records the option index its captions report.
LRESULT CALLBACK RecordingParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_OPTION_LABEL_CLICKED) {
    SetWindowLongPtrW(window, GWLP_USERDATA, static_cast<LONG_PTR>(wParam));
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateRecordingParent() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &RecordingParentProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"RecordingParent";
  RegisterClassW(&wc);  // already registered by an earlier test is fine
  return CreateWindowExW(0, L"RecordingParent", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

TEST(DhStaticCaption, PressSendsItsIndexToTheParentSynchronously) {
  testing_support::EnsureApplicationStarted();
  HWND parent = CreateRecordingParent();
  ASSERT_NE(parent, nullptr);
  {
    DhStatic caption;
    ASSERT_NE(caption.Create(parent, {10, 10, 80, 30}, L"我同意", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, 1232), nullptr);
    caption.m_nIndex = 3;
    caption.m_uClickMessage = WM_OPTION_LABEL_CLICKED;
    EXPECT_EQ(SendMessageW(caption.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5)), 0);
    EXPECT_EQ(GetWindowLongPtrW(parent, GWLP_USERDATA), 3);
    EXPECT_EQ(testing_support::TextOf(caption.m_hWnd), L"我同意");
  }
  DestroyWindow(parent);
}

TEST(HyperLink, TakesColoursFromTheBrowserSettingsAndTheIconTitleFont) {
  testing_support::EnsureApplicationStarted();
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\Settings", 0, nullptr, 0,
                            KEY_READ | KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const wchar_t value[] = L"10,20,30";
  RegSetValueExW(key, L"Anchor Color", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof(value));

  HWND parent = CreateRecordingParent();
  HWND label = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 80, 20, parent, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  {
    CHyperLink link;
    ASSERT_TRUE(link.SubclassWindow(label));
    EXPECT_EQ(link.m_clrLink, RGB(10, 20, 30));
    EXPECT_EQ(link.m_clrVisited, RGB(128, 0, 128));
    EXPECT_NE(GetWindowLongPtrW(label, GWL_STYLE) & SS_NOTIFY, 0);

    LOGFONTW iconTitle{}, normal{};
    SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(iconTitle), &iconTitle, 0);
    ASSERT_NE(link.m_hFont, nullptr);
    GetObjectW(link.m_hFont, sizeof(normal), &normal);
    EXPECT_STREQ(normal.lfFaceName, iconTitle.lfFaceName);
    EXPECT_FALSE(link.SubclassWindow(label)) << "a window is taken only once";
  }
  RegDeleteValueW(key, L"Anchor Color");
  RegCloseKey(key);
  DestroyWindow(parent);
}

}  // namespace
