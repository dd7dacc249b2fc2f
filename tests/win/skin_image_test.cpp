// Skin images from the executable's resources and from files, image slots, and background
// snapshots of a painted window.
#include "skin/skin_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "res/resource.h"

namespace {

using Gdiplus::Image;

// Reads a pixel of any image as 0xAARRGGBB by drawing it 1:1 into a 32-bit bitmap.
Gdiplus::ARGB PixelOf(Image* image, int x, int y) {
  const UINT width = image->GetWidth(), height = image->GetHeight();
  Gdiplus::Bitmap canvas(width, height, PixelFormat32bppARGB);
  {
    Gdiplus::Graphics graphics(&canvas);
    graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics.DrawImage(image, Gdiplus::Rect(0, 0, width, height));
  }
  Gdiplus::Color color;
  canvas.GetPixel(x, y, &color);
  return color.GetValue();
}

std::unique_ptr<Image> LoadId(int id) { return LoadSkinImage(MAKEINTRESOURCEW(id), kSkinImageType); }

// Every image exists for each display scale at its 100 % size times the scale (within the pixel
// that rounding a drawn set may add), drawn sets and reduced ones alike; the feature pictures let
// the band show through their corners.
TEST(SkinImage, EveryImageComesAtEveryScaleAtItsSizeTimesTheScale) {
  const int ids[] = {202, 203, 204, 205, 206, 207, 217, 218, 220, 221, 222, 223, 224, 225, 226};
  for (int id : ids) {
    std::unique_ptr<Image> base = LoadId(id);
    ASSERT_NE(base, nullptr) << id;
    for (int dpi : {96, 120, 144, 168, 192, 240}) {
      SCOPED_TRACE(testing::Message() << id << " at " << dpi << " dpi");
      std::unique_ptr<Image> scaled = LoadSkinImageForDpi(id, dpi);
      ASSERT_NE(scaled, nullptr);
      EXPECT_NEAR(scaled->GetWidth(), base->GetWidth() * dpi / 96.0, 1.5);
      EXPECT_NEAR(scaled->GetHeight(), base->GetHeight() * dpi / 96.0, 1.5);
    }
  }
  for (int id : {221, 224}) {
    std::unique_ptr<Image> feature = LoadSkinImageForDpi(id, 120);
    EXPECT_EQ(PixelOf(feature.get(), 0, 0) >> 24, 0u) << id << ": a transparent corner";
  }
}

TEST(SkinImage, MissingResourcesAndUnreadableFilesGiveNoImage) {
  EXPECT_EQ(LoadId(999), nullptr);
  EXPECT_EQ(LoadSkinImage(MAKEINTRESOURCEW(202), L"GIF"), nullptr);
  EXPECT_EQ(LoadSkinImage(nullptr, kSkinImageType), nullptr);
  EXPECT_EQ(LoadSkinImage(L"Z:\\no\\such\\skin.png", kSkinImageType), nullptr);
  // Bytes that are no image at all.
  const std::wstring notAnImage = std::wstring(TEST_SOURCE_DIR) + L"\\CMakeLists.txt";
  EXPECT_EQ(LoadSkinImage(notAnImage.c_str(), kSkinImageType), nullptr);
}

TEST(SkinImage, NamesAtOrAbove0x10000AreFilePaths) {
  const std::wstring path = std::wstring(TEST_SOURCE_DIR) + L"\\..\\res\\skin\\203.png";
  std::unique_ptr<Image> image = LoadSkinImage(path.c_str(), kSkinImageType);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->GetWidth(), 362u);
  EXPECT_EQ(image->GetHeight(), 50u);
}

TEST(SkinImageSlot, HoldsTheLastImageLoadedAndEmptiesOnFailure) {
  SkinImageSlot slot;
  EXPECT_TRUE(slot.IsEmpty());

  Image* first = slot.Load(MAKEINTRESOURCEW(IDB_CLOSE_BUTTON), kSkinImageType);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(slot.Get(), first);

  Image* second = slot.Load(MAKEINTRESOURCEW(IDB_INSTALL_BUTTON), kSkinImageType);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(slot.Get(), second);
  EXPECT_EQ(second->GetWidth(), 362u);

  EXPECT_EQ(slot.Load(MAKEINTRESOURCEW(999), kSkinImageType), nullptr);
  EXPECT_TRUE(slot.IsEmpty());

  ASSERT_NE(slot.Load(MAKEINTRESOURCEW(IDB_DIR_FIELD), kSkinImageType), nullptr);
  slot.Reset();
  EXPECT_EQ(slot.Get(), nullptr);
}

// A bordered popup that paints a pattern encoding each client pixel's position, into the DC
// given in wParam when there is one.
constexpr int kParentWidth = 400, kParentHeight = 150;

COLORREF PatternAt(int x, int y) { return RGB(x & 0xFF, y & 0xFF, 32 + 64 * (x >> 8)); }

void PaintPattern(HDC dc) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = kParentWidth;
  info.bmiHeader.biHeight = -kParentHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  std::vector<std::uint32_t> pixels(kParentWidth * kParentHeight);
  for (int y = 0; y < kParentHeight; ++y) {
    for (int x = 0; x < kParentWidth; ++x) {
      COLORREF c = PatternAt(x, y);
      pixels[y * kParentWidth + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    }
  }
  SetDIBitsToDevice(dc, 0, 0, kParentWidth, kParentHeight, 0, 0, 0, kParentHeight, pixels.data(), &info,
                    DIB_RGB_COLORS);
}

LRESULT CALLBACK PatternWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    if (wParam) {
      PaintPattern(reinterpret_cast<HDC>(wParam));
    } else {
      win::PaintDc dc(window);
      PaintPattern(dc.get());
    }
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class BackgroundSnapshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = PatternWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"SnapshotPatternWindow";
    RegisterClassW(&windowClass);  // already registered by an earlier test is fine
    RECT frame{0, 0, kParentWidth, kParentHeight};
    AdjustWindowRect(&frame, WS_POPUP | WS_BORDER, FALSE);
    parent_ = CreateWindowW(L"SnapshotPatternWindow", L"", WS_POPUP | WS_BORDER, 120, 90,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override { DestroyWindow(parent_); }

  HWND Child(int x, int y, int width, int height) {
    return CreateWindowW(L"STATIC", L"", WS_CHILD | WS_VISIBLE, x, y, width, height, parent_, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
  }

  static COLORREF SnapshotPixel(const BackgroundSnapshot& snapshot, int x, int y) {
    Gdiplus::Color color;
    snapshot.GetBitmap()->GetPixel(x, y, &color);
    return RGB(color.GetR(), color.GetG(), color.GetB());
  }

  HWND parent_ = nullptr;
};

TEST_F(BackgroundSnapshotTest, HoldsExactlyWhatThePaintLeavesUnderAControlAtTheRightEdge) {
  constexpr int kLeft = kParentWidth - 60, kTop = 40, kWidth = 60, kHeight = 30;
  HWND child = Child(kLeft, kTop, kWidth, kHeight);
  ASSERT_NE(child, nullptr);

  BackgroundSnapshot snapshot;
  ASSERT_NE(snapshot.Capture(child, parent_), nullptr);
  ASSERT_NE(snapshot.GetBitmap(), nullptr);
  EXPECT_EQ(snapshot.GetBitmap()->GetWidth(), static_cast<UINT>(kWidth));
  EXPECT_EQ(snapshot.GetBitmap()->GetHeight(), static_cast<UINT>(kHeight));
  for (POINT p : {POINT{0, 0}, POINT{kWidth - 1, 0}, POINT{0, kHeight - 1}, POINT{kWidth - 1, kHeight - 1},
                  POINT{17, 11}}) {
    SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
    EXPECT_EQ(SnapshotPixel(snapshot, p.x, p.y), PatternAt(kLeft + p.x, kTop + p.y));
  }

  LOGBRUSH pattern{};
  ASSERT_NE(snapshot.GetPatternBrush(), nullptr);
  ASSERT_EQ(GetObjectW(snapshot.GetPatternBrush(), sizeof(pattern), &pattern), static_cast<int>(sizeof(pattern)));
  EXPECT_EQ(pattern.lbStyle, static_cast<UINT>(BS_PATTERN));

  snapshot.Reset();
  EXPECT_EQ(snapshot.GetTextureBrush(), nullptr);
  EXPECT_EQ(snapshot.GetBitmap(), nullptr);
  EXPECT_EQ(snapshot.GetPatternBrush(), nullptr);
}

TEST_F(BackgroundSnapshotTest, FollowsTheControlWhenCapturedAgainAfterAMove) {
  HWND child = Child(10, 10, 20, 20);
  BackgroundSnapshot snapshot;
  ASSERT_NE(snapshot.Capture(child, parent_), nullptr);
  EXPECT_EQ(SnapshotPixel(snapshot, 0, 0), PatternAt(10, 10));

  MoveWindow(child, 300, 100, 20, 20, FALSE);
  ASSERT_NE(snapshot.Capture(child, parent_), nullptr);
  EXPECT_EQ(SnapshotPixel(snapshot, 5, 5), PatternAt(305, 105));
}

TEST_F(BackgroundSnapshotTest, AMissingWindowKeepsThePreviousSnapshot) {
  HWND child = Child(100, 50, 40, 20);
  BackgroundSnapshot snapshot;
  Gdiplus::TextureBrush* brush = snapshot.Capture(child, parent_);
  ASSERT_NE(brush, nullptr);

  EXPECT_EQ(snapshot.Capture(nullptr, parent_), nullptr);
  EXPECT_EQ(snapshot.Capture(child, nullptr), nullptr);
  DestroyWindow(child);
  EXPECT_EQ(snapshot.Capture(child, parent_), nullptr);
  EXPECT_EQ(snapshot.GetTextureBrush(), brush);
  EXPECT_EQ(SnapshotPixel(snapshot, 0, 0), PatternAt(100, 50));
}

}  // namespace
