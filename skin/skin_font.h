// Fonts of the installer window, given by face name and size in tenths of a point.
#pragma once

#include <windows.h>

#include <string>

// The face every text of the installer window uses.
inline constexpr wchar_t kSkinFontFace[] = L"微软雅黑";

// A font with `face` (cut to 31 characters), DEFAULT_CHARSET, every other field zero, and the
// height for `tenthsOfPoint` at `dpi` (0: the screen's). The caller owns the handle; null on
// failure.
[[nodiscard]] HFONT CreateSkinFont(const std::wstring& face, int tenthsOfPoint, int dpi = 0) noexcept;

// The LOGFONT height for `tenthsOfPoint` at `pixelsPerInch`, converted from device to logical
// units of `dc`: negative, so the font is chosen by character height.
[[nodiscard]] int SkinFontHeight(HDC dc, int pixelsPerInch, int tenthsOfPoint) noexcept;
