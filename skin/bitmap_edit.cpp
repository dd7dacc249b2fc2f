#include "skin/bitmap_edit.h"

#include <vector>

#include "platform/win/handles.h"

const MessageMapEntry<CBitmapEdit> CBitmapEdit::kMessageMap[] = {
    {OnMessage(WM_CREATE), &CBitmapEdit::OnCreate},
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
  if (wParam) {
    Paint(reinterpret_cast<HDC>(wParam));
  } else {
    win::PaintDc dc(m_hWnd);
    Paint(dc.get());
  }
  return 0;
}

LRESULT CBitmapEdit::OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

void CBitmapEdit::Paint(HDC dc) {
  if (!IsWindowVisible(m_hWndParent)) return;
  RECT client{};
  GetClientRect(m_hWnd, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  win::UniqueBrush border(CreateSolidBrush(RGB(0xB7, 0xB7, 0xB7)));
  FrameRect(dc, &client, border.get());
  SetWindowPos(m_hWndEdit, nullptr, m_rcEdit.left, m_rcEdit.top, m_rcEdit.right - m_rcEdit.left,
               m_rcEdit.bottom - m_rcEdit.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

LRESULT CBitmapEdit::OnCtlColorEdit(UINT, WPARAM wParam, LPARAM, BOOL&) {
  HDC dc = reinterpret_cast<HDC>(wParam);
  SetTextColor(dc, m_crText);
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
}
