#include "tests/win/support/painted_parent.h"

namespace {
const wchar_t kClassName[] = L"TestPaintedParent";
}

PaintedParent::PaintedParent(COLORREF colour, int width, int height, bool visible) : colour_(colour) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClassName;
  RegisterClassW(&wc);  // registered by an earlier test is fine
  window_ = CreateWindowExW(0, kClassName, L"", WS_POPUP | (visible ? WS_VISIBLE : 0), 100, 100, width, height,
                            nullptr, nullptr, GetModuleHandleW(nullptr), this);
}

PaintedParent::~PaintedParent() { DestroyWindow(window_); }

void PaintedParent::Paint(HDC dc) const {
  RECT client{};
  GetClientRect(window_, &client);
  HBRUSH brush = CreateSolidBrush(colour_);
  FillRect(dc, &client, brush);
  DeleteObject(brush);
}

LRESULT CALLBACK PaintedParent::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<PaintedParent*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && message == WM_PAINT) {
    if (wParam) {
      self->Paint(reinterpret_cast<HDC>(wParam));
    } else {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      self->Paint(dc);
      EndPaint(window, &paint);
    }
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;
  if (message == WM_NOTIFY) {
    // Reflect to the child as the installer window does, so custom drawing reaches the button.
    HWND child = reinterpret_cast<NMHDR*>(lParam)->hwndFrom;
    return SendMessageW(child, message + 0x2000, wParam, lParam);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
