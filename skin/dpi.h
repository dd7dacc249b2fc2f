// Display scale. The installer's layout, fonts and artwork are drawn for 96 dpi (100 %); at any
// other scale every length is the 96-dpi length times dpi / 96, rounded to the nearest pixel.
#pragma once

#include <windows.h>

namespace skin {

inline constexpr int kDesignDpi = 96;

// The DPI of the monitor `window` is on (GetDpiForWindow where the system has it, Windows 10
// 1607 and later), else the screen's. Never below 1.
[[nodiscard]] int WindowDpi(HWND window) noexcept;

// A 96-dpi length at `dpi`.
[[nodiscard]] inline int Scale(int length, int dpi) noexcept { return MulDiv(length, dpi, kDesignDpi); }
// A 96-dpi rectangle at `dpi`: each edge scaled, so neighbouring rectangles stay neighbours.
[[nodiscard]] inline RECT Scale(const RECT& rect, int dpi) noexcept {
  return {Scale(rect.left, dpi), Scale(rect.top, dpi), Scale(rect.right, dpi), Scale(rect.bottom, dpi)};
}

}  // namespace skin
