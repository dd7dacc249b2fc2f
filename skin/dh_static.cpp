#include "skin/dh_static.h"

#include "platform/win/handles.h"
#include "skin/repaint.h"

const MessageMapEntry<DhStatic> DhStatic::kMessageMap[] = {
    {OnMessage(WM_LBUTTONDOWN), &DhStatic::OnLButtonDown},
    {OnMessage(WM_PAINT), &DhStatic::OnPaint},
};

bool DhStatic::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  return DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result);
}

LRESULT DhStatic::OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&) {
  if (m_uClickMessage != 0) SendMessageW(GetParent(m_hWnd), m_uClickMessage, static_cast<WPARAM>(m_nIndex), 0);
  return 0;
}

LRESULT DhStatic::OnPaint(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  const LRESULT result = DefWindowProc(message, wParam, lParam);
  if (m_hWndBox && GetFocus() == m_hWndBox && skin::KeyboardCuesShown(m_hWnd)) {
    win::WindowDc dc(m_hWnd);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    skin::DrawFocusMark(dc.get(), client, GetTextColor(dc.get()));
  }
  return result;
}
