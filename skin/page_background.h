// The installer window's background: a skin band across the top, chosen by the page, and a flat
// fill below it. The window paints nothing else; every control paints itself.
#pragma once

#include <windows.h>

#include "skin/skin_image.h"

class CPageBackground {
 public:
  // Page numbers as the window keeps them.
  static constexpr int kSetup = 0;
  static constexpr int kProgress = 1;
  static constexpr int kFinish = 2;
  // The band is drawn this wide at 96 dpi whatever the client width; the layout is made for it.
  static constexpr int kDesignWidth = 580;

  // Loads the three bands (PNG 202, 218, 226) for a screen of `dpi`; the band's width and height
  // are then their 96-dpi sizes times dpi / 96. A band that fails to load stays empty and its
  // page is painted with the fill only.
  void LoadImages(int dpi = 96) noexcept;

  // Paints `page`'s background over a client area of `width` x `height` into `dc`. An unknown page
  // paints nothing.
  void Paint(HDC dc, int page, int width, int height) const noexcept;

  // The band's height on `page` at 96 dpi, 0 for an unknown page.
  [[nodiscard]] static int BandHeight(int page) noexcept;

 private:
  int m_dpi = 96;
  SkinImageSlot m_setupBand;
  SkinImageSlot m_progressBand;
  SkinImageSlot m_finishBand;
};
