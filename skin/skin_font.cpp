#include "skin/skin_font.h"

#include <cstdlib>
#include <cwchar>

#include "platform/win/handles.h"

int SkinFontHeight(HDC dc, int pixelsPerInch, int tenthsOfPoint) noexcept {
  POINT points[2] = {{0, MulDiv(pixelsPerInch, tenthsOfPoint, 720)}, {0, 0}};
  DPtoLP(dc, points, 2);  // fails only for a bad DC; the device units are then used as they are
  return -std::abs(points[0].y - points[1].y);
}

HFONT CreateSkinFont(const std::wstring& face, int tenthsOfPoint, int dpi) noexcept {
  LOGFONTW font{};
  font.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);

  win::WindowDc screen(nullptr);
  if (dpi <= 0) dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
  font.lfHeight = SkinFontHeight(screen.get(), dpi, tenthsOfPoint);
  return CreateFontIndirectW(&font);
}
