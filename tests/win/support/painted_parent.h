// A top-level window that paints its whole client area in one colour, also into a DC given in
// wParam of WM_PAINT, as the installer window does: a parent whose painting controls can capture.
#pragma once

#include <windows.h>

class PaintedParent {
 public:
  PaintedParent(COLORREF colour, int width, int height, bool visible = true);
  ~PaintedParent();
  PaintedParent(const PaintedParent&) = delete;
  PaintedParent& operator=(const PaintedParent&) = delete;

  [[nodiscard]] HWND hwnd() const { return window_; }
  // Later paints use `colour`; nothing is repainted by this alone.
  void SetColour(COLORREF colour) { colour_ = colour; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Paint(HDC dc) const;

  HWND window_ = nullptr;
  COLORREF colour_;
};
