// A 32-bit top-down DIB section selected into a memory DC, for painting tests that read pixels.
#pragma once

#include <windows.h>

#include <cstdint>

class DibCanvas {
 public:
  // Every pixel starts as `fill` (a COLORREF).
  DibCanvas(int width, int height, COLORREF fill);
  ~DibCanvas();
  DibCanvas(const DibCanvas&) = delete;
  DibCanvas& operator=(const DibCanvas&) = delete;

  [[nodiscard]] HDC dc() const { return dc_; }
  // The pixel at (x, y) as a COLORREF; GdiFlush is done first.
  [[nodiscard]] COLORREF At(int x, int y) const;

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  std::uint32_t* bits_ = nullptr;
};

// True when every channel of `a` and `b` differs by at most `tolerance`.
bool NearColour(COLORREF a, COLORREF b, int tolerance = 2);
