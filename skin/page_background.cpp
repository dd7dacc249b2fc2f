#include "skin/page_background.h"

#include <memory>

#include "res/resource.h"
#include "skin/dpi.h"

namespace {

struct PageLook {
  int bandHeight;
  Gdiplus::ARGB fill;
};

// Band heights and the colour below the band, by page.
constexpr PageLook kLooks[] = {
    {274, 0xFFF5F5F5},  // setup
    {260, 0xFFFFFFFF},  // progress
    {274, 0xFFF5F5F5},  // finish
};

const PageLook* LookOf(int page) {
  if (page < 0 || page >= static_cast<int>(sizeof(kLooks) / sizeof(kLooks[0]))) return nullptr;
  return &kLooks[page];
}

}  // namespace

void CPageBackground::LoadImages(int dpi) noexcept {
  m_dpi = dpi;
  // Failures leave the band empty; the page is then painted with its fill only.
  m_setupBand.LoadForDpi(IDB_SETUP_BAND, dpi);
  m_progressBand.LoadForDpi(IDB_PROGRESS_BAND, dpi);
  m_finishBand.LoadForDpi(IDB_FINISH_BAND, dpi);
}

int CPageBackground::BandHeight(int page) noexcept {
  const PageLook* look = LookOf(page);
  return look ? look->bandHeight : 0;
}

void CPageBackground::Paint(HDC dc, int page, int width, int height) const noexcept {
  const PageLook* look = LookOf(page);
  if (!dc || !look) return;
  const SkinImageSlot* bands[] = {&m_setupBand, &m_progressBand, &m_finishBand};
  Gdiplus::Image* band = bands[page]->Get();
  const int bandHeight = skin::Scale(look->bandHeight, m_dpi);

  Gdiplus::Graphics graphics(dc);
  if (height > bandHeight) {
    Gdiplus::SolidBrush fill{Gdiplus::Color(look->fill)};
    graphics.FillRectangle(&fill, 0, bandHeight, width, height - bandHeight);
  }
  if (!band || width <= 0) return;

  // The band is first scaled into an offscreen picture of the client's width, then that is
  // drawn at the layout's width. Edge pixels are mirrored rather than blended with nothing, so
  // the scaled band has no faded rim.
  Gdiplus::Bitmap offscreen(width, bandHeight, PixelFormat32bppARGB);
  {
    Gdiplus::Graphics canvas(&offscreen);
    Gdiplus::ImageAttributes edges;
    edges.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    canvas.DrawImage(band, Gdiplus::Rect(0, 0, width, bandHeight), 0, 0, static_cast<INT>(band->GetWidth()),
                     static_cast<INT>(band->GetHeight()),
                     Gdiplus::UnitPixel, &edges);
  }
  Gdiplus::ImageAttributes edges;
  edges.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
  graphics.DrawImage(&offscreen, Gdiplus::Rect(0, 0, skin::Scale(kDesignWidth, m_dpi), bandHeight), 0, 0, width, bandHeight,
                     Gdiplus::UnitPixel, &edges);
}
