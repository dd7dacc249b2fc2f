// The skinned button's state pictures, read pixel by pixel, and its answers to custom drawing.
#include "skin/custom_button.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "res/resource.h"
#include "skin/skin_font.h"
#include "tests/win/support/dib_canvas.h"
#include "tests/win/support/painted_parent.h"

namespace {

constexpr COLORREF kParentColour = RGB(200, 0, 200);
constexpr COLORREF kInstallNormal = RGB(0x32, 0x9E, 0xD9);
constexpr COLORREF kInstallHover = RGB(0x34, 0xB7, 0xFF);
constexpr COLORREF kCloseBlue = RGB(0x46, 0x9D, 0xE2);
constexpr COLORREF kCloseRed = RGB(0xF3, 0x03, 0x03);

COLORREF PixelOf(Gdiplus::Bitmap* image, int x, int y) {
  Gdiplus::Color colour;
  image->GetPixel(x, y, &colour);
  return RGB(colour.GetR(), colour.GetG(), colour.GetB());
}

BYTE AlphaOf(Gdiplus::Bitmap* image, int x, int y) {
  Gdiplus::Color colour;
  image->GetPixel(x, y, &colour);
  return colour.GetA();
}

// Pixels of `image` close to white inside the rectangle.
int WhitePixels(Gdiplus::Bitmap* image, RECT area) {
  int count = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      if (NearColour(PixelOf(image, x, y), RGB(255, 255, 255), 40)) ++count;
  return count;
}

struct ButtonSetup {
  int strip;
  int frameCount;
  int normal, pressed, hover, disabled;
};

class CustomButtonTest : public ::testing::Test {
 protected:
  // The parent need not be shown: its painting is asked for directly.
  CustomButtonTest() : parent_(kParentColour, 300, 120, false) {}

  void Make(const RECT& rect, const ButtonSetup& setup, const wchar_t* text = nullptr) {
    ASSERT_NE(button_.Create(parent_.hwnd(), rect, text, WS_CHILD | WS_VISIBLE, 0, 1005), nullptr);
    button_.m_hWndParent = parent_.hwnd();
    button_.m_strip.Load(MAKEINTRESOURCEW(setup.strip), L"PNG");
    button_.m_nFrameCount = setup.frameCount;
    button_.m_nFrameNormal = setup.normal;
    button_.m_nFramePressed = setup.pressed;
    button_.m_nFrameHover = setup.hover;
    button_.m_nFrameDisabled = setup.disabled;
    button_.UpdateStateImages();
  }

  // Asks the button, as its parent would, to draw for `stage` into a canvas of its size.
  LRESULT CustomDraw(DWORD stage, UINT itemState, DibCanvas& canvas) {
    NMCUSTOMDRAW draw{};
    draw.hdr.hwndFrom = button_.m_hWnd;
    draw.hdr.idFrom = 1005;
    draw.hdr.code = static_cast<UINT>(NM_CUSTOMDRAW);
    draw.dwDrawStage = stage;
    draw.hdc = canvas.dc();
    draw.uItemState = itemState;
    return SendMessageW(parent_.hwnd(), WM_NOTIFY, 1005, reinterpret_cast<LPARAM>(&draw));
  }

  PaintedParent parent_;
  CCustomButton button_;
};

const ButtonSetup kInstall{IDB_INSTALL_BUTTON, 2, 0, 1, 1, 1};
// The close strip with pressed and hover on different frames, to see which one is drawn.
const ButtonSetup kCloseSplit{IDB_CLOSE_BUTTON, 2, 0, 1, 0, 1};

TEST_F(CustomButtonTest, InstallButtonShowsBlueFramesWithAWhiteCaption) {
  Make({10, 10, 191, 60}, kInstall);
  HFONT font = CreateSkinFont(kSkinFontFace, 150);
  SendMessageW(button_.m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  SetWindowTextW(button_.m_hWnd, L"立即安装");
  button_.m_crTextNormal = button_.m_crTextPressed = button_.m_crTextHover = button_.m_crTextDisabled =
      RGB(255, 255, 255);
  button_.UpdateStateImages();

  Gdiplus::Bitmap* normal = button_.GetStateImage(CCustomButton::kNormal);
  Gdiplus::Bitmap* hover = button_.GetStateImage(CCustomButton::kHover);
  ASSERT_NE(normal, nullptr);
  ASSERT_NE(hover, nullptr);
  EXPECT_EQ(normal->GetWidth(), 181u);
  EXPECT_EQ(normal->GetHeight(), 50u);
  EXPECT_TRUE(NearColour(PixelOf(normal, 4, 4), kInstallNormal, 4));
  EXPECT_TRUE(NearColour(PixelOf(hover, 4, 4), kInstallHover, 4));
  EXPECT_TRUE(NearColour(PixelOf(button_.GetStateImage(CCustomButton::kPressed), 4, 4), kInstallHover, 4));
  const RECT middle{40, 10, 141, 40};
  EXPECT_GT(WhitePixels(normal, middle), 40) << "no caption in the normal picture";
  EXPECT_GT(WhitePixels(hover, middle), 40) << "no caption in the hover picture";
  EXPECT_EQ(WhitePixels(normal, {0, 0, 30, 50}), 0) << "the caption is centred";
  DeleteObject(font);
}

TEST_F(CustomButtonTest, CustomDrawAnswersByStageAndPressedWinsOverHover) {
  Make({10, 10, 58, 46}, kCloseSplit);
  DibCanvas canvas(48, 36, RGB(0, 255, 0));
  EXPECT_EQ(CustomDraw(CDDS_PREPAINT, 0, canvas), CDRF_DOERASE);
  EXPECT_EQ(CustomDraw(CDDS_POSTPAINT, 0, canvas), CDRF_DODEFAULT);
  EXPECT_EQ(CustomDraw(CDDS_POSTERASE, 0, canvas), CDRF_DODEFAULT);
  EXPECT_TRUE(NearColour(canvas.At(5, 5), RGB(0, 255, 0), 0)) << "only the erase stage draws";

  EXPECT_EQ(CustomDraw(CDDS_PREERASE, CDIS_SELECTED | CDIS_HOT, canvas), CDRF_SKIPDEFAULT);
  EXPECT_TRUE(NearColour(canvas.At(3, 3), kCloseRed, 6));
  CustomDraw(CDDS_PREERASE, CDIS_HOT, canvas);
  EXPECT_TRUE(NearColour(canvas.At(3, 3), kCloseBlue, 6));
  CustomDraw(CDDS_PREERASE, CDIS_HOT | CDIS_DISABLED, canvas);
  EXPECT_TRUE(NearColour(canvas.At(3, 3), kCloseBlue, 6)) << "hot comes before disabled";
  CustomDraw(CDDS_PREERASE, CDIS_DISABLED, canvas);
  EXPECT_TRUE(NearColour(canvas.At(3, 3), kCloseRed, 6));
  CustomDraw(CDDS_PREERASE, 0, canvas);
  EXPECT_TRUE(NearColour(canvas.At(3, 3), kCloseBlue, 6));
}

TEST_F(CustomButtonTest, WiderThanItsFrameShowsTheParentBesideIt) {
  Make({10, 10, 58, 46}, {IDB_CLOSE_BUTTON, 2, 0, 1, 1, 1});
  Gdiplus::Bitmap* normal = button_.GetStateImage(CCustomButton::kNormal);
  ASSERT_NE(normal, nullptr);
  EXPECT_EQ(normal->GetWidth(), 48u);
  for (int y : {2, 18, 33}) {
    EXPECT_TRUE(NearColour(PixelOf(normal, 44, y), kCloseBlue, 6)) << y;
    EXPECT_TRUE(NearColour(PixelOf(normal, 46, y), kParentColour, 2)) << y;
    EXPECT_TRUE(NearColour(PixelOf(normal, 47, y), kParentColour, 2)) << y;
  }
}

TEST_F(CustomButtonTest, OneFrameStripUsesTheWholeWidth) {
  Make({10, 10, 75, 75}, {IDB_FEATURE1, 1, 0, 0, 0, 0});
  Gdiplus::Bitmap* normal = button_.GetStateImage(CCustomButton::kNormal);
  ASSERT_NE(normal, nullptr);
  // The picture reaches the right-hand side, and its corner lets the parent show through.
  EXPECT_FALSE(NearColour(PixelOf(normal, 63, 32), kParentColour, 30));
  EXPECT_TRUE(NearColour(PixelOf(normal, 63, 1), kParentColour, 30));
  // All four states show the same picture.
  for (auto state : {CCustomButton::kHover, CCustomButton::kPressed, CCustomButton::kDisabled})
    EXPECT_EQ(PixelOf(button_.GetStateImage(state), 32, 32), PixelOf(normal, 32, 32));
}

TEST_F(CustomButtonTest, CaptionChangesOnlyWithARebuildAndEmptyCaptionDrawsNoText) {
  Make({10, 10, 191, 60}, kInstall);
  Gdiplus::Bitmap* normal = button_.GetStateImage(CCustomButton::kNormal);
  ASSERT_NE(normal, nullptr);
  const RECT whole{0, 0, 181, 50};
  for (int x = 3; x < 178; x += 5)
    for (int y = 3; y < 47; y += 3) ASSERT_TRUE(NearColour(PixelOf(normal, x, y), kInstallNormal, 4)) << x << "," << y;

  HFONT font = CreateSkinFont(kSkinFontFace, 150);
  SendMessageW(button_.m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);  // rebuilds: still no text
  EXPECT_EQ(WhitePixels(button_.GetStateImage(CCustomButton::kNormal), whole), 0);

  button_.m_crTextNormal = RGB(255, 255, 255);
  SetWindowTextW(button_.m_hWnd, L"立即安装");
  EXPECT_EQ(WhitePixels(button_.GetStateImage(CCustomButton::kNormal), whole), 0) << "changed without a rebuild";
  button_.UpdateStateImages();
  EXPECT_GT(WhitePixels(button_.GetStateImage(CCustomButton::kNormal), whole), 40);
  DeleteObject(font);
}

TEST_F(CustomButtonTest, BackgroundIsKeptUntilTheSizeChanges) {
  Make({10, 10, 58, 46}, {IDB_CLOSE_BUTTON, 2, 0, 1, 1, 1});
  parent_.SetColour(RGB(0, 0, 255));
  button_.UpdateStateImages();
  EXPECT_TRUE(NearColour(PixelOf(button_.GetStateImage(CCustomButton::kNormal), 47, 10), kParentColour, 2))
      << "the snapshot is kept while the size stays";

  SetWindowPos(button_.m_hWnd, nullptr, 0, 0, 50, 36, SWP_NOMOVE | SWP_NOZORDER);
  button_.UpdateStateImages();
  Gdiplus::Bitmap* normal = button_.GetStateImage(CCustomButton::kNormal);
  EXPECT_EQ(normal->GetWidth(), 50u);
  EXPECT_TRUE(NearColour(PixelOf(normal, 49, 10), RGB(0, 0, 255), 2)) << "a new size captures the parent anew";
}

TEST_F(CustomButtonTest, WithoutAStripNothingIsBuiltAndTheStandardButtonDraws) {
  ASSERT_NE(button_.Create(parent_.hwnd(), {10, 10, 58, 46}, nullptr, WS_CHILD | WS_VISIBLE, 0, 1005), nullptr);
  button_.m_hWndParent = parent_.hwnd();
  button_.m_nFrameCount = 2;
  button_.UpdateStateImages();
  EXPECT_EQ(button_.GetStateImage(CCustomButton::kNormal), nullptr);
  DibCanvas canvas(48, 36, RGB(0, 255, 0));
  EXPECT_EQ(CustomDraw(CDDS_PREERASE, 0, canvas), CDRF_DODEFAULT);

  // A strip with a frame count of 0 builds nothing either.
  button_.m_strip.Load(MAKEINTRESOURCEW(IDB_CLOSE_BUTTON), L"PNG");
  button_.m_nFrameCount = 0;
  button_.UpdateStateImages();
  EXPECT_EQ(button_.GetStateImage(CCustomButton::kNormal), nullptr);
}

TEST_F(CustomButtonTest, NegativeFrameLeavesThatStateBlank) {
  Make({10, 10, 58, 46}, {IDB_CLOSE_BUTTON, 2, 0, -1, 1, 1});
  EXPECT_EQ(AlphaOf(button_.GetStateImage(CCustomButton::kPressed), 10, 10), 0);
  EXPECT_EQ(AlphaOf(button_.GetStateImage(CCustomButton::kNormal), 10, 10), 255);
}

}  // namespace
