#include "tests/e2e/support/screenshot.h"

#include <objidl.h>
#include <gdiplus.h>

#include <vector>

namespace e2e {
namespace {

bool PngEncoder(CLSID* encoder) {
  UINT count = 0, bytes = 0;
  Gdiplus::GetImageEncodersSize(&count, &bytes);
  if (bytes == 0) return false;
  std::vector<BYTE> buffer(bytes);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  Gdiplus::GetImageEncoders(count, bytes, codecs);
  for (UINT i = 0; i < count; ++i) {
    if (std::wstring(codecs[i].MimeType) == L"image/png") {
      *encoder = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

}  // namespace

bool SaveScreenshot(HWND window, const std::wstring& name) {
  RECT bounds{};
  if (!GetWindowRect(window, &bounds)) return false;
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;

  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
  bool saved = false;
  {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, bounds.left, bounds.top, SRCCOPY);
    SelectObject(memory, old);

    const std::wstring folder = SCREENSHOT_DIR;
    CreateDirectoryW(folder.c_str(), nullptr);  // exists after the first run
    CLSID png{};
    Gdiplus::Bitmap image(bitmap, nullptr);
    if (PngEncoder(&png)) saved = image.Save((folder + L"\\" + name + L".png").c_str(), &png, nullptr) == Gdiplus::Ok;

    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
  }
  Gdiplus::GdiplusShutdown(token);
  return saved;
}

}  // namespace e2e
