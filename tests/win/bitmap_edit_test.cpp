// The skinned directory field: its box over the parent's painting, the inner edit's text drawn
// on the box, its size from the image and its silence while the window is hidden.
#include "skin/bitmap_edit.h"

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/win/support/dib_canvas.h"
#include "tests/win/support/installer_window.h"
#include "tests/win/support/painted_parent.h"

namespace {

constexpr COLORREF kParentColour = RGB(200, 0, 200);
constexpr COLORREF kBorder = RGB(0xB7, 0xB7, 0xB7);
constexpr COLORREF kMarker = RGB(0, 255, 0);

class BitmapEditTest : public ::testing::Test {
 protected:
  explicit BitmapEditTest(bool visible = true) : parent_(kParentColour, 500, 80, visible) {
    edit_.m_hWndParent = parent_.hwnd();
    edit_.m_nEditId = 1214;
    EXPECT_NE(edit_.Create(parent_.hwnd(), nullptr, nullptr, WS_CHILD | WS_VISIBLE, 0, 0), nullptr);
    edit_.m_imgNormal.Load(MAKEINTRESOURCEW(IDB_DIR_FIELD), L"PNG");
    edit_.m_imgFocus.Load(MAKEINTRESOURCEW(IDB_DIR_FIELD), L"PNG");
    edit_.ResizeToImage();
    RECT client{};
    GetClientRect(edit_.m_hWnd, &client);
    edit_.m_rcEdit = {client.left + 5, client.top + 5, client.right - 3, client.bottom - 3};
    SetWindowPos(edit_.m_hWnd, nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }

  // The control's own painting, as WM_PRINTCLIENT draws it.
  void PaintControl(DibCanvas& canvas) {
    SendMessageW(edit_.m_hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
  }

  PaintedParent parent_;
  CBitmapEdit edit_;
};

TEST_F(BitmapEditTest, ClientTakesTheImageSizeAndTheInnerEditIsPlacedWhenPainted) {
  RECT client{};
  GetClientRect(edit_.m_hWnd, &client);
  EXPECT_EQ(client.right, 409);
  EXPECT_EQ(client.bottom, 33);
  ASSERT_NE(edit_.m_hWndEdit, nullptr);
  EXPECT_EQ(GetParent(edit_.m_hWndEdit), edit_.m_hWnd);
  EXPECT_EQ(GetDlgCtrlID(edit_.m_hWndEdit), 1214);

  DibCanvas canvas(409, 33, kMarker);
  PaintControl(canvas);
  RECT inner{};
  GetWindowRect(edit_.m_hWndEdit, &inner);
  MapWindowPoints(nullptr, edit_.m_hWnd, reinterpret_cast<POINT*>(&inner), 2);
  EXPECT_EQ(inner.left, 5);
  EXPECT_EQ(inner.top, 5);
  EXPECT_EQ(inner.right, 406);
  EXPECT_EQ(inner.bottom, 30);
  EXPECT_TRUE(IsWindowVisible(edit_.m_hWndEdit));
}

TEST_F(BitmapEditTest, TypedTextIsBlackOnTheWhiteBoxWithoutABorderOfItsOwn) {
  DibCanvas box(409, 33, kMarker);
  PaintControl(box);
  EXPECT_TRUE(NearColour(box.At(0, 16), kBorder, 6)) << "the box's border";
  EXPECT_TRUE(NearColour(box.At(200, 16), RGB(255, 255, 255), 4)) << "the box's inside";

  SetWindowTextW(edit_.m_hWndEdit, L"WWWWWWWW");
  DibCanvas field(401, 25, kMarker);
  SendMessageW(edit_.m_hWndEdit, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(field.dc()), PRF_CLIENT);
  int dark = 0, coloured = 0, besideText = 0;
  for (int y = 0; y < 25; ++y) {
    for (int x = 0; x < 401; ++x) {
      const COLORREF pixel = field.At(x, y);
      if (NearColour(pixel, RGB(0, 0, 0), 90)) ++dark;
      // Text is black, anti-aliased in greys: anything with a hue is the marker or the parent.
      if (!NearColour(pixel, RGB(GetRValue(pixel), GetRValue(pixel), GetRValue(pixel)), 24)) ++coloured;
      if (x >= 250 && !NearColour(pixel, RGB(255, 255, 255), 4)) ++besideText;
    }
  }
  EXPECT_GT(dark, 30) << "no black text";
  EXPECT_EQ(coloured, 0) << "the field lets something other than the box show";
  EXPECT_EQ(besideText, 0) << "the field's empty part is not the box's white";
  EXPECT_TRUE(NearColour(field.At(395, 12), RGB(255, 255, 255), 4));
  EXPECT_EQ(GetWindowLongPtrW(edit_.m_hWndEdit, GWL_STYLE) & WS_BORDER, 0);
  EXPECT_EQ(GetWindowLongPtrW(edit_.m_hWndEdit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
}

TEST_F(BitmapEditTest, GetEditTextOfAnEmptyFieldIsEmptyAndTrue) {
  std::wstring text = L"left over";
  EXPECT_TRUE(edit_.GetEditText(text));
  EXPECT_EQ(text, L"");
  SetWindowTextW(edit_.m_hWndEdit, L"C:\\Apps\\");
  EXPECT_TRUE(edit_.GetEditText(text));
  EXPECT_EQ(text, L"C:\\Apps\\");
}

TEST_F(BitmapEditTest, MovingDropsTheSnapshotsSoTheNextPaintCapturesAgain) {
  DibCanvas canvas(409, 33, kMarker);
  PaintControl(canvas);
  ASSERT_NE(edit_.m_bkParent.GetBitmap(), nullptr);
  SetWindowPos(edit_.m_hWnd, nullptr, 30, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(edit_.m_bkParent.GetBitmap(), nullptr);
  EXPECT_EQ(edit_.m_bkEdit.GetPatternBrush(), nullptr);
  PaintControl(canvas);
  EXPECT_NE(edit_.m_bkParent.GetBitmap(), nullptr);
}

class HiddenBitmapEditTest : public BitmapEditTest {
 protected:
  HiddenBitmapEditTest() : BitmapEditTest(false) {}
};

TEST_F(HiddenBitmapEditTest, PaintsNothingUntilTheWindowIsShown) {
  DibCanvas canvas(409, 33, kMarker);
  PaintControl(canvas);
  EXPECT_TRUE(NearColour(canvas.At(0, 16), kMarker, 0));
  EXPECT_TRUE(NearColour(canvas.At(200, 16), kMarker, 0));

  ShowWindow(parent_.hwnd(), SW_SHOWNOACTIVATE);
  PaintControl(canvas);
  EXPECT_TRUE(NearColour(canvas.At(0, 16), kBorder, 6));
  EXPECT_TRUE(NearColour(canvas.At(200, 16), RGB(255, 255, 255), 4));
}

}  // namespace
