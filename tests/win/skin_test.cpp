// The skin: images at every display scale, background snapshots and the link's colours.
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

using namespace testsupport;

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
