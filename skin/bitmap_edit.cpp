#include "skin/bitmap_edit.h"

#include <vector>

#include "platform/win/handles.h"

const MessageMapEntry<CBitmapEdit> CBitmapEdit::kMessageMap[] = {
    {OnMessage(WM_CREATE), &CBitmapEdit::OnCreate},
    {OnMessage(WM_MOVE), &CBitmapEdit::OnMoveOrSize},
    {OnMessage(WM_SIZE), &CBitmapEdit::OnMoveOrSize},
    {OnMessage(WM_PAINT), &CBitmapEdit::OnPaint},
    {OnMessage(WM_PRINTCLIENT), &CBitmapEdit::OnPaint},
    {OnMessage(WM_ERASEBKGND), &CBitmapEdit::OnEraseBackground},
    {OnMessage(WM_CTLCOLOREDIT), &CBitmapEdit::OnCtlColorEdit},
    {OnMessage(WM_CTLCOLORSTATIC), &CBitmapEdit::OnCtlColorEdit},
};

bool CBitmapEdit::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  return DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result);
}

bool CBitmapEdit::GetEditText(std::wstring& text) const {
  text.clear();
  int length = GetWindowTextLengthW(m_hWndEdit);
  if (length <= 0) return true;
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  int copied = GetWindowTextW(m_hWndEdit, buffer.data(), length + 1);
  text.assign(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
  return true;
}

LRESULT CBitmapEdit::OnCreate(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  m_hWndEdit = CreateWindowExW(0, L"EDIT", L"", m_dwEditStyle, 1, 1, 0, 0, m_hWnd,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(m_nEditId)), GetModuleHandleW(nullptr),
                               nullptr);
  return DefWindowProc(message, wParam, lParam);
}

LRESULT CBitmapEdit::OnPaint(UINT, WPARAM wParam, LPARAM, BOOL&) {
  win::PaintGivenOrOwnDc(m_hWnd, wParam, [this](HDC dc) { Paint(dc); });
  return 0;
}

LRESULT CBitmapEdit::OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

void CBitmapEdit::ResizeToImage() {
  Gdiplus::Image* image = m_imgNormal.Get();
  if (!image) return;
  RECT frame{0, 0, static_cast<LONG>(image->GetWidth()), static_cast<LONG>(image->GetHeight())};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)));
  SetWindowPos(m_hWnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CBitmapEdit::Paint(HDC dc) {
  if (!IsWindowVisible(m_hWndParent)) return;
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  {
    Gdiplus::Graphics graphics(dc);
    if (!m_bkParent.GetTextureBrush()) m_bkParent.Capture(m_hWnd, m_hWndParent);
    if (Gdiplus::TextureBrush* background = m_bkParent.GetTextureBrush())
      graphics.FillRectangle(background, 0, 0, width, height);
    if (Gdiplus::Image* image = m_bFocus ? m_imgFocus.Get() : m_imgNormal.Get())
      graphics.DrawImage(image, Gdiplus::Rect(0, 0, width, height));
  }
  SetWindowPos(m_hWndEdit, nullptr, m_rcEdit.left, m_rcEdit.top, m_rcEdit.right - m_rcEdit.left,
               m_rcEdit.bottom - m_rcEdit.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

// The inner field fills its background with exactly the part of the box that lies under it.
LRESULT CBitmapEdit::OnCtlColorEdit(UINT, WPARAM wParam, LPARAM, BOOL&) {
  HDC dc = reinterpret_cast<HDC>(wParam);
  SetTextColor(dc, m_crText);
  SetBkMode(dc, TRANSPARENT);
  if (!m_bkEdit.GetPatternBrush()) m_bkEdit.Capture(m_hWndEdit, m_hWnd);
  return reinterpret_cast<LRESULT>(m_bkEdit.GetPatternBrush());
}

LRESULT CBitmapEdit::OnMoveOrSize(UINT, WPARAM, LPARAM, BOOL&) {
  m_bkParent.Reset();
  m_bkEdit.Reset();
  return 1;
}
