// The skin: images at every display scale, background snapshots, the skinned button and directory
// field as the installer window sets them up, and the link's colours.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/ids.h"
#include "res/resource.h"
#include "skin/hyperlink.h"
#include "skin/skin_image.h"
#include "tests/win/support/window.h"

namespace {

using namespace testing_support;

BOOL CALLBACK CollectId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR ids) {
  if (IS_INTRESOURCE(name) && reinterpret_cast<ULONG_PTR>(name) < IDB_SCALE_150)
    reinterpret_cast<std::vector<int>*>(ids)->push_back(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
  return TRUE;
}

// Every image of the 100 % set comes for each scale at its size times the scale (within the pixel
// that rounding a drawn set may add); the feature pictures let the band show through their corners.
TEST(SkinImage, EveryImageComesAtEveryScaleAtItsSizeTimesTheScale) {
  std::vector<int> ids;
  EnumResourceNamesW(nullptr, kSkinImageType, &CollectId, reinterpret_cast<LONG_PTR>(&ids));
  ASSERT_GE(ids.size(), 10u);
  for (int id : ids) {
    std::unique_ptr<Gdiplus::Image> base = LoadSkinImage(MAKEINTRESOURCEW(id), kSkinImageType);
    ASSERT_NE(base, nullptr) << id;
    for (int dpi : {96, 120, 144, 168, 192, 240}) {
      std::unique_ptr<Gdiplus::Image> scaled = LoadSkinImageForDpi(id, dpi);
      ASSERT_NE(scaled, nullptr) << id << " at " << dpi;
      EXPECT_TRUE(std::abs(scaled->GetWidth() - base->GetWidth() * dpi / 96.0) <= 1.5 &&
                  std::abs(scaled->GetHeight() - base->GetHeight() * dpi / 96.0) <= 1.5)
          << id << " at " << dpi;
    }
  }
  for (int id : {IDB_FEATURE1, IDB_FEATURE4}) {
    std::unique_ptr<Gdiplus::Image> feature = LoadSkinImageForDpi(id, 120);
    Gdiplus::Bitmap canvas(8, 8, PixelFormat32bppARGB);
    Gdiplus::Graphics(&canvas).DrawImage(feature.get(), 0, 0);
    Gdiplus::Color corner;
    canvas.GetPixel(0, 0, &corner);
    EXPECT_EQ(corner.GetA(), 0) << id << ": a transparent corner";
  }
  EXPECT_EQ(LoadSkinImage(MAKEINTRESOURCEW(999), kSkinImageType), nullptr);
  EXPECT_EQ(LoadSkinImage(MAKEINTRESOURCEW(IDB_SETUP_BAND), L"GIF"), nullptr);
  // Names at or above 0x10000 are file paths; bytes that are no image give none.
  EXPECT_NE(LoadSkinImage(TEST_SOURCE_DIR L"\\..\\res\\skin\\203.png", kSkinImageType), nullptr);
  EXPECT_EQ(LoadSkinImage(TEST_SOURCE_DIR L"\\CMakeLists.txt", kSkinImageType), nullptr);
}

// A popup painting each client pixel's position as its colour, into the DC given in wParam if any.
COLORREF PatternAt(int x, int y) { return RGB(x & 0xFF, y & 0xFF, 32 + 64 * (x >> 8)); }

LRESULT CALLBACK PatternProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
  PAINTSTRUCT paint;
  HDC dc = wParam ? reinterpret_cast<HDC>(wParam) : BeginPaint(window, &paint);
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 400; ++x) SetPixelV(dc, x, y, PatternAt(x, y));
  if (!wParam) EndPaint(window, &paint);
  return 0;
}

TEST(BackgroundSnapshot, HoldsWhatTheParentPaintsUnderTheControlWhereverItIs) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = PatternProc;
  windowClass.lpszClassName = L"SnapshotPatternWindow";
  RegisterClassW(&windowClass);
  HWND parent = CreateWindowW(L"SnapshotPatternWindow", L"", WS_POPUP | WS_BORDER, 120, 90, 402, 152, nullptr,
                              nullptr, nullptr, nullptr);
  HWND child = CreateWindowW(L"STATIC", L"", WS_CHILD | WS_VISIBLE, 340, 40, 60, 30, parent, nullptr, nullptr, nullptr);
  BackgroundSnapshot snapshot;
  auto pixel = [&](int x, int y) {
    Gdiplus::Color colour;
    snapshot.GetBitmap()->GetPixel(x, y, &colour);
    return RGB(colour.GetR(), colour.GetG(), colour.GetB());
  };
  ASSERT_NE(snapshot.Capture(child, parent), nullptr);
  EXPECT_TRUE(snapshot.GetBitmap()->GetWidth() == 60u && snapshot.GetBitmap()->GetHeight() == 30u);
  for (POINT p : {POINT{0, 0}, POINT{59, 0}, POINT{0, 29}, POINT{59, 29}, POINT{17, 11}})
    EXPECT_EQ(pixel(p.x, p.y), PatternAt(340 + p.x, 40 + p.y)) << p.x << "," << p.y;
  EXPECT_NE(snapshot.GetPatternBrush(), nullptr);

  MoveWindow(child, 300, 100, 20, 20, FALSE);
  Gdiplus::TextureBrush* brush = snapshot.Capture(child, parent);
  ASSERT_NE(brush, nullptr);
  EXPECT_EQ(pixel(5, 5), PatternAt(305, 105)) << "captured again after a move";
  DestroyWindow(child);
  EXPECT_EQ(snapshot.Capture(child, parent), nullptr);
  EXPECT_EQ(snapshot.GetTextureBrush(), brush) << "a missing window keeps the previous snapshot";
  snapshot.Reset();
  EXPECT_TRUE(!snapshot.GetBitmap() && !snapshot.GetPatternBrush());
  DestroyWindow(parent);
}

// The window's skinned buttons draw from the custom-draw requests the window reflects to them:
// only when erasing, and with the frame of the first of pressed, hot, disabled that applies.
TEST(CustomButton, DrawsTheFrameOfItsStateWhenErasing) {
  InstallerWindow installer;
  SendMessageW(installer.hwnd(), WM_COMMAND, IDC_CUSTOM_OPEN, 0);  // the closing toggle in view
  auto draw = [&](int id, DWORD stage, UINT state, LRESULT* answer = nullptr) {
    HWND button = installer.item(id);
    const SIZE size = ClientSize(button);
    DibCanvas canvas(size.cx, size.cy, RGB(0, 255, 0));
    NMCUSTOMDRAW request{{button, static_cast<UINT_PTR>(id), static_cast<UINT>(NM_CUSTOMDRAW)}, stage, canvas.dc()};
    request.uItemState = state;
    const LRESULT result = SendMessageW(installer.hwnd(), WM_NOTIFY, id, reinterpret_cast<LPARAM>(&request));
    if (answer) *answer = result;
    std::vector<COLORREF> pixels;
    for (int y = 0; y < size.cy; ++y)
      for (int x = 0; x < size.cx; ++x) pixels.push_back(canvas.At(x, y));
    return pixels;
  };
  LRESULT answer = 0;
  const SIZE size = ClientSize(installer.item(IDC_INSTALL));
  const std::vector<COLORREF> untouched(size.cx * size.cy, RGB(0, 255, 0));
  for (auto [stage, expected] : {std::pair{CDDS_PREPAINT, CDRF_DOERASE}, std::pair{CDDS_POSTERASE, CDRF_DODEFAULT}}) {
    EXPECT_EQ(draw(IDC_INSTALL, stage, 0, &answer), untouched) << stage;
    EXPECT_EQ(answer, expected) << stage;
  }
  const std::vector<COLORREF> normal = draw(IDC_INSTALL, CDDS_PREERASE, 0, &answer);
  EXPECT_TRUE(answer == CDRF_SKIPDEFAULT && normal != untouched);
  EXPECT_NE(draw(IDC_INSTALL, CDDS_PREERASE, CDIS_HOT), normal) << "hover has a frame of its own";
  // The closing toggle differs only when disabled.
  const std::vector<COLORREF> toggle = draw(IDC_CUSTOM_CLOSE, CDDS_PREERASE, 0);
  EXPECT_NE(draw(IDC_CUSTOM_CLOSE, CDDS_PREERASE, CDIS_DISABLED), toggle);
  EXPECT_EQ(draw(IDC_CUSTOM_CLOSE, CDDS_PREERASE, CDIS_DISABLED | CDIS_HOT), toggle) << "hot comes before disabled";
  EXPECT_EQ(draw(IDC_CUSTOM_CLOSE, CDDS_PREERASE, CDIS_DISABLED | CDIS_SELECTED), toggle) << "pressed comes first";
}

// The directory field's text is drawn black straight on the field's box: the inner edit has no
// border and paints the box's own picture under its text, nothing of the page or of what was there.
TEST(BitmapEdit, TextIsBlackOnTheBoxWithoutABorderOfItsOwn) {
  InstallerWindow installer;
  SendMessageW(installer.hwnd(), WM_COMMAND, IDC_CUSTOM_OPEN, 0);
  Pump(100);
  HWND edit = GetDlgItem(FindWindowExW(installer.hwnd(), nullptr, L"WTL_BitmapEditControl", nullptr), IDC_INSTALL_DIR);
  ASSERT_NE(edit, nullptr);
  EXPECT_FALSE((GetWindowLongPtrW(edit, GWL_STYLE) & WS_BORDER) || (GetWindowLongPtrW(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
  SetWindowTextW(edit, L"WWWWWWWW");
  const SIZE size = ClientSize(edit);
  const COLORREF marker = RGB(0, 255, 0);
  DibCanvas field(size.cx, size.cy, marker);
  SendMessageW(edit, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(field.dc()), PRF_CLIENT);
  const COLORREF box = field.At(size.cx - 4, size.cy / 2);
  int dark = 0, coloured = 0, besideText = 0;
  for (int y = 0; y < size.cy; ++y) {
    for (int x = 0; x < size.cx; ++x) {
      const COLORREF p = field.At(x, y);
      dark += GetRValue(p) < 90 && GetGValue(p) < 90 && GetBValue(p) < 90;
      // Text is black, anti-aliased in greys: anything with a hue is the marker or the page.
      coloured += std::abs(GetRValue(p) - GetGValue(p)) > 24 || std::abs(GetGValue(p) - GetBValue(p)) > 24;
      besideText += x > size.cx * 2 / 3 && p != box;
    }
  }
  EXPECT_GT(dark, 30) << "no black text";
  EXPECT_EQ(coloured, 0) << "the field lets something other than the box show";
  EXPECT_EQ(besideText, 0) << "the field's empty part is not the box's inside";
}

TEST(HyperLink, ParsesBrowserColourValuesAndRefusesAllElse) {
  COLORREF colour = RGB(1, 1, 1);
  EXPECT_TRUE(CHyperLink::ParseColour(L" 12, 34 ,56", &colour));
  EXPECT_EQ(colour, RGB(12, 34, 56));
  for (const wchar_t* bad : {L"", L"1,2", L"1,2,3,4", L"256,0,0", L"a,b,c", L"1,,3", L"-1,0,0"}) {
    EXPECT_FALSE(CHyperLink::ParseColour(bad, &colour)) << bad;
    EXPECT_EQ(colour, RGB(12, 34, 56)) << bad;
  }
}

}  // namespace
