#include "tests/win/support/screenshot.h"

#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <vector>

#include "platform/win/handles.h"

namespace {

bool PngEncoder(CLSID* clsid) {
  UINT count = 0, bytes = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::vector<unsigned char> buffer(bytes);
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (Gdiplus::GetImageEncoders(count, bytes, encoders) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (std::wstring(encoders[i].MimeType) == L"image/png") {
      *clsid = encoders[i].Clsid;
      return true;
    }
  }
  return false;
}

std::wstring ScreenshotDir() {
  wchar_t full[MAX_PATH] = {};
  GetFullPathNameW(SCREENSHOT_DIR, MAX_PATH, full, nullptr);
  CreateDirectoryW(full, nullptr);  // already there is fine
  return full;
}

}  // namespace

void PumpMessagesFor(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  }
}

bool SaveWindowScreenshot(HWND window, const std::wstring& name) {
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessagesFor(400);

  RECT rect{};
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  win::WindowDc screen(nullptr);
  win::UniqueDc memory(CreateCompatibleDC(screen.get()));
  win::UniqueBitmap picture(CreateCompatibleBitmap(screen.get(), width, height));
  if (!memory || !picture) return false;
  {
    win::SelectScope selection(memory.get(), picture.get());
    if (!BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY)) return false;
  }
  CLSID png{};
  if (!PngEncoder(&png)) return false;
  std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromHBITMAP(picture.get(), nullptr));
  if (!bitmap) return false;
  const std::wstring path = ScreenshotDir() + L"\\" + name + L".png";
  return bitmap->Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

COLORREF ScreenPixel(HWND window, POINT point) {
  ClientToScreen(window, &point);
  win::WindowDc screen(nullptr);
  return GetPixel(screen.get(), point.x, point.y);
}
